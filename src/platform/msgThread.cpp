#include "platform/msgThread.h"

#include "platform/poolCtx.h"
#include "platform/strmSocket.h"

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>

#include <condition_variable>
#include <map>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {
// An operating-system thread that runs started thread objects, one after the
// other: when a loop has ended and its object is deleted, the thread parks
// and waits for the next Start() instead of ending, so that a session does
// not pay for making and ending a thread (its stack is faulted in already).
struct worker {
    std::condition_variable wake;
    msgThread* job = nullptr; // the next object to run, guarded by the registry's lock
    bool retire = false;      // end instead of waiting for a job
};

// Every live thread object of the process and every worker thread. A thread
// object leaves `live` under the lock before it is deleted, so one found in
// `live` under the lock can be stopped safely.
struct threadRegistry {
    std::mutex lock;
    std::condition_variable changed;
    std::set<msgThread*> live;
    std::size_t busy = 0;                   // started objects not yet deleted
    std::vector<worker*> parked;            // workers waiting for a job
    std::map<worker*, std::thread> workers; // handles of the workers not yet ended
    std::vector<std::thread> finished;      // ended, not yet joined
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

msgThread::msgThread() : context(poolCtx::Take()) {}

msgThread::~msgThread() {
    poolCtx::Give(std::move(context));
}

bool msgThread::Start() {
    JoinFinished();
    threadRegistry& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.lock);
    if (reg.stopping || launched) {
        return false;
    }
    if (!reg.parked.empty()) {
        worker* parked = reg.parked.back();
        reg.parked.pop_back();
        parked->job = this;
        parked->wake.notify_one();
    } else {
        auto* fresh = new worker;
        auto slot = reg.workers.emplace(fresh, std::thread()).first;
        try {
            slot->second = std::thread(&msgThread::WorkerMain, fresh, this);
        } catch (const std::system_error&) {
            reg.workers.erase(slot);
            delete fresh;
            return false;
        }
    }
    reg.live.insert(this);
    ++reg.busy;
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
            context->io.stop();
        }
    }
    Loop();
    {
        std::lock_guard<std::mutex> guard(reg.lock);
        reg.live.erase(this);
    }
    reg.changed.notify_all();
}

void msgThread::WorkerMain(void* self, msgThread* first) {
    auto* me = static_cast<worker*>(self);
    threadRegistry& reg = Registry();
    msgThread* job = first;
    std::unique_lock<std::mutex> guard(reg.lock, std::defer_lock);
    while (job != nullptr) {
        job->Loop();
        guard.lock();
        reg.live.erase(job);
        guard.unlock();
        delete job;
        guard.lock();
        --reg.busy;
        reg.changed.notify_all();
        job = nullptr;
        if (!reg.stopping && reg.parked.size() < MAX_PARKED) {
            reg.parked.push_back(me);
            me->wake.wait(guard, [&] { return me->job != nullptr || me->retire; });
            job = std::exchange(me->job, nullptr);
        }
        guard.unlock();
    }
    guard.lock();
    auto slot = reg.workers.find(me);
    reg.finished.push_back(std::move(slot->second));
    reg.workers.erase(slot);
    delete me;
    reg.changed.notify_all();
}

void msgThread::Loop() {
    if (InitInstance()) {
        auto keepRunning = asio::make_work_guard(context->io);
        context->io.run();
    }
    ExitInstance();
}

void msgThread::PostThreadMessage(unsigned int message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    poolCtx* queue = context.get();
    asio::post(queue->io, [this, queue, owner = queue->serial, message, wParam, lParam] {
        if (owner == queue->serial) {
            OnMessage(message, wParam, lParam);
        }
    });
}

void msgThread::Quit() {
    context->io.stop();
}

void msgThread::Stop() {
    context->io.stop();
    std::lock_guard<std::mutex> guard(socketLock);
    for (strmSocket* socket : sockets) {
        socket->Shutdown();
    }
}

asio::io_context& msgThread::Context() {
    return context->io;
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
        reg.changed.wait(guard, [&] { return reg.live.empty() && reg.busy == 0; });
        // Every worker is parked or ending now: the parked ones end too.
        for (worker* parked : reg.parked) {
            parked->retire = true;
            parked->wake.notify_one();
        }
        reg.parked.clear();
        reg.changed.wait(guard, [&] { return reg.workers.empty(); });
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
