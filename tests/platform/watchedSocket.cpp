#include "watchedSocket.h"

#include "probeThread.h"

std::vector<std::string> watchedSocket::Events() const {
    std::lock_guard<std::mutex> guard(lock);
    return events;
}

std::vector<std::thread::id> watchedSocket::Threads() const {
    std::lock_guard<std::mutex> guard(lock);
    return threads;
}

bool watchedSocket::WaitForCount(std::size_t count) const {
    std::unique_lock<std::mutex> guard(lock);
    return raised.wait_for(guard, TEST_GUARD, [&] { return events.size() >= count; });
}

void watchedSocket::OnReceive(int) {
    Record("receive");
}

void watchedSocket::OnClose(int err) {
    Record("close " + std::to_string(err));
}

void watchedSocket::Record(const std::string& event) {
    {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(event);
        threads.push_back(std::this_thread::get_id());
    }
    raised.notify_all();
}

std::vector<bool> acceptProbe::Results() const {
    std::lock_guard<std::mutex> guard(lock);
    return results;
}

bool acceptProbe::WaitForCount(std::size_t count) const {
    std::unique_lock<std::mutex> guard(lock);
    return accepted.wait_for(guard, TEST_GUARD, [&] { return results.size() >= count; });
}

void acceptProbe::OnAccept(int) {
    std::size_t next = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        next = results.size();
    }
    if (next >= targets.size()) {
        return;
    }
    const bool ok = Accept(*targets[next]);
    if (ok) {
        targets[next]->ArmReceive();
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        results.push_back(ok);
    }
    accepted.notify_all();
}
