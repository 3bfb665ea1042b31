#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a call of `onStop` on the GUI thread, so that
// a window started from a terminal or stopped by a service manager ends as
// cleanly as one the user closes. The signal handler only writes a byte to a
// socket pair; the GUI thread reads it. One instance at a time; the default
// handlers come back when it is destroyed.
class stopSignals : public QObject {
    Q_OBJECT

public:
    explicit stopSignals(std::function<void()> onStop);
    ~stopSignals() override;
    stopSignals(const stopSignals&) = delete;
    stopSignals& operator=(const stopSignals&) = delete;

private:
    void OnSignal();

    std::function<void()> act;
    QSocketNotifier* notifier = nullptr;
};
