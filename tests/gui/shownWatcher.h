#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <functional>

// Waits for the next window of type T to be shown, then hands it to `act` from
// the event loop that shows it (a modal dialog's own loop), so that a test can
// answer a dialog that the code under test runs with exec().
template <typename T> class shownWatcher : public QObject {
public:
    explicit shownWatcher(std::function<void(T*)> onShown) : act(std::move(onShown)) {
        qApp->installEventFilter(this);
    }

    // How many windows of type T have been handed to `act`.
    int Count() const { return count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            T* window = qobject_cast<T*>(watched);
            if (window != nullptr && window->isWindow()) {
                ++count;
                QPointer<T> guard(window);
                QMetaObject::invokeMethod(
                    this,
                    [this, guard] {
                        if (guard) {
                            act(guard.data());
                        }
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    std::function<void(T*)> act;
    int count = 0;
};
