#include "platform/msgThread.h"

#include "platform/strmSocket.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <condition_variable>
#include <map>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {
// Every live thread of the process. A thread leaves `live` under the lock
// before its object is deleted, so a thread found in `live` under the lock can
// be stopped safely.
struct threadRegistry {
    std::mutex lock;
    std::condition_variable changed;
    std::set<msgThread*> live;
    std::map<std::uint64_t, std::thread> running; // handles of started threads
    std::vector<std::thread> finished;            // ended, not yet joined
    std::uint64_t nextSerial = 0;
    bool stopping = false;
};

threadRegistry& Registry() {
    // Never destroyed: threads still running when main returns end with the
    // process instead of finding their registry gone.
    static threadRegistry* const registry = new threadRegistry;
    return *registry;
}

void JoinFinished() {
    threadRegistry& reg = Registry();
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        done.swap(reg.finished);
    }
    for (std::thread& t : done) {
        t.join();
    }
}
} // namespace

msgThread::msgThread() : context(std::make_unique<asio::io_context>()) {}

msgThread::~msgThread() = default;

bool msgThread::Start() {
    JoinFinished();
    threadRegistry& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.lock);
    if (reg.stopping || launched) {
        return false;
    }
    const std::uint64_t serial = reg.nextSerial++;
    auto slot = reg.running.emplace(serial, std::thread()).first;
    reg.live.insert(this);
    try {
        slot->second = std::thread(&msgThread::ThreadMain, this, serial);
    } catch (const std::system_error&) {
        reg.live.erase(this);
        reg.running.erase(slot);
        return false;
    }
    launched = true;
    return true;
}

void msgThread::Run() {
    threadRegistry& reg = Registry();
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        if (launched) {
            return;
        }
        launched = true;
        reg.live.insert(this);
        if (reg.stopping) {
            context->stop();
        }
    }
    Loop();
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        reg.live.erase(this);
    }
    reg.changed.notify_all();
}

void msgThread::ThreadMain(msgThread* self, std::uint64_t serial) {
    self->Loop();
    threadRegistry& reg = Registry();
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        reg.live.erase(self);
    }
    delete self;
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        auto slot = reg.running.find(serial);
        reg.finished.push_back(std::move(slot->second));
        reg.running.erase(slot);
    }
    reg.changed.notify_all();
}

void msgThread::Loop() {
    if (InitInstance()) {
        auto keepRunning = asio::make_work_guard(*context);
        context->run();
    }
    ExitInstance();
}

void msgThread::PostThreadMessage(unsigned int message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    asio::post(*context, [this, message, wParam, lParam] { OnMessage(message, wParam, lParam); });
}

void msgThread::Quit() {
    context->stop();
}

void msgThread::Stop() {
    context->stop();
    std::lock_guard<std::mutex> guard(socketLock);
    for (strmSocket* socket : sockets) {
        socket->Shutdown();
    }
}

asio::io_context& msgThread::Context() {
    return *context;
}

void msgThread::StopAll() {
    threadRegistry& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.lock);
    reg.stopping = true;
    for (msgThread* thread : reg.live) {
        thread->Stop();
    }
}

void msgThread::WaitAll() {
    threadRegistry& reg = Registry();
    {
        std::unique_lock<std::mutex> guard(reg.lock);
        reg.changed.wait(guard, [&] { return reg.live.empty() && reg.running.empty(); });
        reg.stopping = false;
    }
    JoinFinished();
}

bool msgThread::InitInstance() {
    return true;
}

void msgThread::ExitInstance() {}

void msgThread::OnMessage(unsigned int, std::uintptr_t, std::intptr_t) {}

void msgThread::Attach(strmSocket* socket) {
    std::lock_guard<std::mutex> guard(socketLock);
    sockets.insert(socket);
}

void msgThread::Detach(strmSocket* socket) {
    std::lock_guard<std::mutex> guard(socketLock);
    sockets.erase(socket);
}
