#pragma once

#include "platform/msgThread.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A message thread for tests: calls `hook` for each message it handles, on the
// thread, then records the message; and runs tasks handed to it by Execute.
class probeThread : public msgThread {
public:
    struct entry {
        unsigned int message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    // Set before the loop runs.
    std::function<void(unsigned int message)> hook;

    // Runs `task` on the thread, after what is queued, and waits for it. Never
    // from the thread itself.
    void Execute(const std::function<void()>& task);

    std::vector<entry> Messages() const;
    std::vector<unsigned int> Numbers() const;
    // False if fewer than `count` messages were handled within a generous limit.
    bool WaitForCount(std::size_t count) const;

protected:
    void OnMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    mutable std::mutex lock;
    mutable std::condition_variable handled;
    std::vector<entry> messages;
};

// Runs a thread's loop on a std::thread while the object lives; stops the loop
// and waits for it when destroyed.
class loopRunner {
public:
    explicit loopRunner(msgThread& thread);
    ~loopRunner();
    loopRunner(const loopRunner&) = delete;
    loopRunner& operator=(const loopRunner&) = delete;

private:
    msgThread& looped;
    std::thread runner;
};

constexpr std::chrono::seconds TEST_GUARD{30};
