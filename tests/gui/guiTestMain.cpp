#include <QApplication>

#include <gtest/gtest.h>

// The window tests run on Qt's offscreen platform, so they need no display and
// never depend on one: the platform is chosen here unless the caller chose it.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
