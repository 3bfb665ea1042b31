#pragma once

#include "platform/msgOperator.h"

#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

// The operator of the window: each text is shown in a modal message box
// titled "Kestrane" with an OK button, on the GUI thread. A call from the GUI
// thread shows the box at once; a call from any other thread has the GUI
// thread show it and waits until it is dismissed, while other threads go on.
//
// Once closing has begun the GUI thread no longer serves boxes: from then on
// texts go to `closingOperator` (standard error in the program), and threads
// still waiting for a box are released and do the same, so that stopping the
// sessions never waits for a box nobody will show.
class boxOperator : public QObject, public msgOperator {
    Q_OBJECT

public:
    explicit boxOperator(msgOperator& closingOperator, QObject* parent = nullptr);

    void ShowMessage(const std::string& text) override;

    // GUI thread: no more boxes from now on.
    void BeginClosing();

private:
    enum class boxState { QUEUED, SHOWING, DONE };
    struct boxRequest {
        std::string text;
        boxState state = boxState::QUEUED;
    };

    void ShowRequested(const std::shared_ptr<boxRequest>& request);
    static void ShowBox(const std::string& text);

    msgOperator& closingOperator;
    std::mutex lock;
    std::condition_variable answered;
    bool closing = false;
};
