#include "gui/boxOperator.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

boxOperator::boxOperator(msgOperator& afterClosing, QObject* parent)
    : QObject(parent), closingOperator(afterClosing) {}

void boxOperator::ShowMessage(const std::string& text) {
    if (QThread::currentThread() == thread()) {
        if (closing) {
            closingOperator.ShowMessage(text);
        } else {
            ShowBox(text);
        }
        return;
    }

    auto request = std::make_shared<boxRequest>(boxRequest{text});
    std::unique_lock<std::mutex> guard(lock);
    if (!closing) {
        QMetaObject::invokeMethod(
            this, [this, request] { ShowRequested(request); }, Qt::QueuedConnection);
        answered.wait(guard, [&] { return request->state == boxState::DONE || closing; });
    }
    // A box already on the screen has reached the operator; any other text is
    // still told, the way closing allows.
    const bool told = request->state != boxState::QUEUED;
    request->state = boxState::DONE;
    guard.unlock();
    if (!told) {
        closingOperator.ShowMessage(text);
    }
}

void boxOperator::BeginClosing() {
    {
        std::lock_guard<std::mutex> guard(lock);
        closing = true;
    }
    answered.notify_all();
}

void boxOperator::ShowRequested(const std::shared_ptr<boxRequest>& request) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (closing || request->state != boxState::QUEUED) {
            return;
        }
        request->state = boxState::SHOWING;
    }
    ShowBox(request->text);
    {
        std::lock_guard<std::mutex> guard(lock);
        request->state = boxState::DONE;
    }
    answered.notify_all();
}

void boxOperator::ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kestrane"),
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowIcon(QApplication::windowIcon());
    box.exec();
}
