#include "gui/CKestraneApp.h"

#include "gui/CKestraneView.h"
#include "gui/CMainFrame.h"
#include "gui/appIcon.h"
#include "gui/boxOperator.h"
#include "gui/displayCheck.h"
#include "gui/stopSignals.h"
#include "shell/CKestraneDoc.h"

#include <QApplication>

#include <cstdio>
#include <string>

namespace {
constexpr int EXIT_NO_DISPLAY = 2;
}

CKestraneApp::CKestraneApp(std::filesystem::path workFolder) : folder(std::move(workFolder)) {}

CKestraneApp::~CKestraneApp() {
    ExitInstance();
}

bool CKestraneApp::InitInstance() {
    boxes = std::make_unique<boxOperator>(console);
    SetOperator(boxes.get());

    doc = CKestraneDoc::Open(folder);
    if (!doc) {
        return false;
    }
    frame =
        std::make_unique<CMainFrame>(doc->activityLines, [this] { return doc->OnNewDocument(); });
    doc->surface = &frame->View();
    QObject::connect(frame.get(), &CMainFrame::Closing, boxes.get(), &boxOperator::BeginClosing);

    std::string why;
    if (!doc->OnNewDocument(&why)) {
        console.ShowMessage(why);
        frame.reset();
        return false;
    }
    frame->View().OnUpdate();
    frame->show();
    console.ShowMessage("Listening on port " + std::to_string(doc->ListeningPort()));
    return true;
}

void CKestraneApp::Close() {
    if (boxes) {
        boxes->BeginClosing();
    }
    QApplication::closeAllWindows();
}

int CKestraneApp::Run() {
    QApplication::exec();
    ExitInstance();
    return 0;
}

// The view is the sessions' drawing surface and the boxes their operator:
// both stay until every session has ended.
void CKestraneApp::ExitInstance() {
    if (boxes) {
        boxes->BeginClosing();
    }
    if (doc) {
        doc->StopServing();
    }
    frame.reset();
    doc.reset();
    if (boxes) {
        SetOperator(nullptr);
        boxes.reset();
    }
}

int RunWindow(int argc, char** argv) {
    if (const std::optional<std::string> problem = DisplayProblem()) {
        std::fprintf(stderr, "kestrane: %s; run 'kestrane --headless' to serve without a window.\n",
                     problem->c_str());
        return EXIT_NO_DISPLAY;
    }
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication qtApp(argc, argv);
    QApplication::setWindowIcon(AppIcon());

    CKestraneApp app;
    const stopSignals closer([&app] { app.Close(); });
    if (!app.InitInstance()) {
        return CKestraneApp::EXIT_START_FAILED;
    }
    return app.Run();
}
