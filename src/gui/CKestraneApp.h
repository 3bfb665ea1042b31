#pragma once

#include "platform/errOperator.h"

#include <filesystem>
#include <memory>

class CKestraneDoc;
class CMainFrame;
class boxOperator;

// The shop in window mode: start-up in the shop's order, the main window's
// run, and the clean stop once the window has closed. Needs the QApplication.
//
// Start-up: the operator becomes message boxes; the document is built from the
// working folder (a missing or unreadable file shows its box before any window
// exists); the main window and its view are created, the view becoming the
// sessions' drawing surface; the listener opens (if it cannot, the window is
// destroyed unseen and the reason goes to standard error); the view gets its
// first update; the window is shown.
class CKestraneApp {
public:
    static constexpr int EXIT_START_FAILED = 1;

    // `folder`: where the start-up files are; the working folder when empty.
    explicit CKestraneApp(std::filesystem::path folder = {});
    ~CKestraneApp();
    CKestraneApp(const CKestraneApp&) = delete;
    CKestraneApp& operator=(const CKestraneApp&) = delete;

    // True when the window is up and the shop is listening; false when the
    // program is to end with EXIT_START_FAILED.
    bool InitInstance();

    // Runs the event loop until the main window closes, then stops serving:
    // message boxes end (texts go to standard error from then on), every
    // session is stopped and waited for, and only then are the window and
    // the document destroyed. Returns the exit status, 0.
    int Run();

    // Ends the run as closing the main window does, with dialogs open too:
    // no box is shown from now on, and every window closes.
    void Close();

    CMainFrame* MainWindow() const { return frame.get(); }
    CKestraneDoc* Document() const { return doc.get(); }

private:
    void ExitInstance();

    std::filesystem::path folder;
    errOperator console;
    std::unique_ptr<boxOperator> boxes;
    std::unique_ptr<CKestraneDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

// The program without --headless: checks that there is a display (if not, says
// so on standard error, points at --headless and returns 2), makes the
// QApplication, starts up and runs the window. Returns the exit status.
int RunWindow(int argc, char** argv);
