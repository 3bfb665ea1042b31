#include "platform/sockWatch.h"

#include "platform/msgThread.h"

#include <utility>

sockWatch::sockWatch(msgThread& boundThread, std::function<void(int err)> onReady)
    : thread(boundThread), ready(std::move(onReady)) {}

sockWatch::~sockWatch() {
    Reset();
}

void sockWatch::Arm(int descriptor) {
    thread.ArmWatch(*this, descriptor);
}

void sockWatch::Post(std::function<void()> call) {
    thread.Enqueue([alive = std::weak_ptr<int>(life), call = std::move(call)] {
        if (!alive.expired()) {
            call();
        }
    });
}

void sockWatch::Reset() {
    thread.DisarmWatch(*this);
}
