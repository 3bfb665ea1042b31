#include "gui/CKestraneApp.h"
#include "gui/CKestraneView.h"
#include "gui/CMainFrame.h"
#include "gui/boxOperator.h"
#include "platform/msgThread.h"
#include "scriptedPeer.h"
#include "shell/CKestraneDoc.h"
#include "shopProcess.h"
#include "shownWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

bool AnyMainFrame() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<CMainFrame*>(window) != nullptr) {
            return true;
        }
    }
    return false;
}

// A working folder with the shop's start-up files (the payment vectors' keys),
// the bank on a port where nothing listens and the shop on `listenPort`.
class shopFolder {
public:
    explicit shopFolder(unsigned int listenPort = 0) {
        files.WriteVectorKeys();
        files.WriteAddresses(UnusedPort(), listenPort);
    }
    const std::filesystem::path& Path() const { return files.folder; }

private:
    shopProcess files; // never started here: only its folder is used
};

struct missingCase {
    const char* file;
    const char* message;
};

class appMissingFile : public testing::TestWithParam<missingCase> {};

// The box comes before any window, and the program then ends with status 1.
TEST_P(appMissingFile, ShowsItsBoxBeforeAnyWindowAndEnds) {
    shopFolder folder;
    std::filesystem::remove(folder.Path() / GetParam().file);
    QString text;
    bool windowExisted = true;
    shownWatcher<QMessageBox> answer([&](QMessageBox* box) {
        text = box->text();
        windowExisted = AnyMainFrame();
        box->button(QMessageBox::Ok)->click();
    });
    shownWatcher<CMainFrame> shown([](CMainFrame*) {});

    CKestraneApp app(folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(answer.Count(), 1);
    EXPECT_EQ(text.toStdString(), GetParam().message);
    EXPECT_FALSE(windowExisted);
    EXPECT_EQ(shown.Count(), 0);
    EXPECT_EQ(app.MainWindow(), nullptr);
}

// The first file, and the last one, read after the keys.
INSTANTIATE_TEST_SUITE_P(, appMissingFile,
                         testing::Values(missingCase{"kestpv.rsa", "Could not open kestpv.rsa"},
                                         missingCase{"ipaddr.kst", "Could not open ipaddr.kst"}),
                         [](const testing::TestParamInfo<missingCase>& testCase) {
                             std::string name = testCase.param.file;
                             std::erase(name, '.');
                             return name;
                         });

TEST(app, ListenerThatCannotOpenEndsWithoutShowingTheWindow) {
    scriptedListener taken;
    shopFolder folder(taken.Port());
    shownWatcher<QMessageBox> boxes([](QMessageBox* box) { box->reject(); });
    shownWatcher<CMainFrame> shown([](CMainFrame*) {});

    CKestraneApp app(folder.Path());
    EXPECT_FALSE(app.InitInstance());
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.Count(), 0);
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_FALSE(AnyMainFrame());
}

class appRunning : public testing::Test {
protected:
    appRunning() : app(folder.Path()) { started = app.InitInstance(); }

    shopFolder folder;
    CKestraneApp app;
    bool started = false;
};

TEST_F(appRunning, ShowsTheWindowListeningAndDrawsWhatSessionsReport) {
    ASSERT_TRUE(started);
    CMainFrame* frame = app.MainWindow();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Kestrane"));
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Ready"));
    const unsigned int port = app.Document()->ListeningPort();
    ASSERT_NE(port, 0u);

    // A consumer's key offer: its session reports on its own thread, and the
    // view draws the line.
    scriptedPeer consumer = scriptedPeer::Connect(port);
    consumer.Send(1, 0, byteVec(64, 0x5A));
    ASSERT_TRUE(consumer.Receive().has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->View().LastPainted().empty(); }));
    EXPECT_EQ(frame->View().LastPainted(),
              (std::vector<CKestraneView::placedLine>{{"Consumer connect request.", 0}}));

    // New keeps the open listener.
    QTest::keySequence(frame, QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(app.Document()->ListeningPort(), port);

    QMetaObject::invokeMethod(frame, &QWidget::close, Qt::QueuedConnection);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(app.Document(), nullptr);
}

// A session thread that asks the operator for a box as soon as it runs, and
// holds its thread until the box has been dealt with.
class askingSession : public msgThread {
protected:
    bool InitInstance() override {
        Operator().ShowMessage("SendPacket Error");
        return false;
    }
};

// Calls `act` on the GUI thread just before the first queued call to `target`.
class beforeQueuedCall : public QObject {
public:
    beforeQueuedCall(QObject& target, std::function<void()> onCall) : act(std::move(onCall)) {
        target.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MetaCall && act) {
            std::exchange(act, nullptr)();
        }
        return false;
    }

private:
    std::function<void()> act;
};

// Closing waits for every session; one that is waiting for a box which is
// still queued when the window closes is let go, and the run ends.
TEST_F(appRunning, ClosingWhileASessionWaitsForItsBoxEnds) {
    ASSERT_TRUE(started);
    auto* boxes = dynamic_cast<boxOperator*>(&Operator());
    ASSERT_NE(boxes, nullptr);
    shownWatcher<QMessageBox> answer([](QMessageBox* box) { box->reject(); });
    beforeQueuedCall closeFirst(*boxes, [&] { app.MainWindow()->close(); });
    ASSERT_TRUE((new askingSession)->Start());

    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(answer.Count(), 0);
}

// A stop signal closes the window with a session's box on the screen: the box
// goes too, the session is let go and the run ends.
TEST_F(appRunning, StoppingWithABoxOnTheScreenEnds) {
    ASSERT_TRUE(started);
    shownWatcher<QMessageBox> answer([&](QMessageBox*) { app.Close(); });
    ASSERT_TRUE((new askingSession)->Start());

    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(answer.Count(), 1);
}

} // namespace
