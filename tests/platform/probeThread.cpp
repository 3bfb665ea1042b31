#include "probeThread.h"

#include <future>

namespace {
constexpr unsigned int RUN_TASK = 0xFFFF0000u;

struct taskCall {
    const std::function<void()>& task;
    std::promise<void> done;
};
} // namespace

void probeThread::Execute(const std::function<void()>& task) {
    taskCall call{task, {}};
    std::future<void> done = call.done.get_future();
    PostThreadMessage(RUN_TASK, 0, reinterpret_cast<std::intptr_t>(&call));
    done.get();
}

std::vector<probeThread::entry> probeThread::Messages() const {
    std::lock_guard<std::mutex> guard(lock);
    return messages;
}

std::vector<unsigned int> probeThread::Numbers() const {
    std::vector<unsigned int> numbers;
    for (const entry& e : Messages()) {
        numbers.push_back(e.message);
    }
    return numbers;
}

bool probeThread::WaitForCount(std::size_t count) const {
    std::unique_lock<std::mutex> guard(lock);
    return handled.wait_for(guard, TEST_GUARD, [&] { return messages.size() >= count; });
}

void probeThread::OnMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == RUN_TASK) {
        auto* call = reinterpret_cast<taskCall*>(lParam);
        call->task();
        call->done.set_value();
        return;
    }
    if (hook) {
        hook(message);
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        messages.push_back({message, wParam, lParam});
    }
    handled.notify_all();
}

loopRunner::loopRunner(msgThread& thread) : looped(thread), runner([&thread] { thread.Run(); }) {}

loopRunner::~loopRunner() {
    looped.Stop();
    runner.join();
}
