#include "platform/msgThread.h"

#include "platform/sockWatch.h"
#include "platform/strmSocket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
    worker() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~worker() {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
    }
    worker(const worker&) = delete;
    worker& operator=(const worker&) = delete;

    const int wakeFd; // lent to the loop of every object the worker runs
    std::condition_variable wake;
    msgThread* job = nullptr; // the next object to run, guarded by the registry's lock
    bool retire = false;      // end instead of waiting for a job
};

// Parked threads kept at most; a thread that ends a loop when as many are
// parked ends too.
constexpr std::size_t MAX_PARKED = 64;

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

msgThread::msgThread() = default;

msgThread::~msgThread() = default;

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
        if (fresh->wakeFd < 0) {
            delete fresh;
            return false;
        }
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
            std::lock_guard<std::mutex> state(stateLock);
            stopping = true;
        }
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Loop(wake);
    if (wake >= 0) {
        ::close(wake);
    }
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
        job->Loop(me->wakeFd);
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

void msgThread::Loop(int wake) {
    {
        std::lock_guard<std::mutex> state(stateLock);
        wakeFd = wake; // drained whenever a wait ends: empty when the loop ends
    }
    if (InitInstance()) {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard<std::mutex> state(stateLock);
                if (stopping || quitting) {
                    break;
                }
                if (!queue.empty()) {
                    next = std::move(queue.front());
                    queue.pop_front();
                }
            }
            if (next) {
                next();
            } else {
                WaitForWork();
            }
        }
    }
    ExitInstance();
}

void msgThread::WaitForWork() {
    std::vector<pollfd> probes;
    std::vector<sockWatch*> watched;
    {
        std::lock_guard<std::mutex> state(stateLock);
        if (!queue.empty() || stopping) {
            return;
        }
        probes.push_back({wakeFd, POLLIN, 0});
        for (sockWatch* watch : armed) {
            probes.push_back({watch->fd, POLLIN, 0});
            watched.push_back(watch);
        }
        waiting = true;
    }
    int ready = 0;
    do {
        ready = ::poll(probes.data(), probes.size(), -1);
    } while (ready < 0 && errno == EINTR);

    std::lock_guard<std::mutex> state(stateLock);
    waiting = false;
    if (woken) {
        std::uint64_t count = 0;
        while (::read(wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
        }
        woken = false;
    }
    for (std::size_t i = 0; i < watched.size(); ++i) {
        if (probes[i + 1].revents == 0) {
            continue;
        }
        // Only this thread disarms its watches, so a watch polled is still
        // armed.
        sockWatch* watch = watched[i];
        armed.erase(std::find(armed.begin(), armed.end(), watch));
        watch->armed = false;
        queue.push_back([watch, alive = std::weak_ptr<int>(watch->life), arm = watch->generation] {
            if (!alive.expired() && arm == watch->generation) {
                watch->ready(0);
            }
        });
    }
}

void msgThread::Enqueue(std::function<void()> call) {
    std::lock_guard<std::mutex> state(stateLock);
    queue.push_back(std::move(call));
    WakeLocked();
}

void msgThread::WakeLocked() {
    if (waiting && !woken) {
        woken = true;
        const std::uint64_t one = 1;
        while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

void msgThread::ArmWatch(sockWatch& watch, int fd) {
    std::lock_guard<std::mutex> state(stateLock);
    if (watch.armed || fd < 0) {
        return;
    }
    watch.armed = true;
    watch.fd = fd;
    armed.push_back(&watch);
    WakeLocked();
}

void msgThread::DisarmWatch(sockWatch& watch) {
    std::lock_guard<std::mutex> state(stateLock);
    ++watch.generation;
    if (watch.armed) {
        watch.armed = false;
        armed.erase(std::find(armed.begin(), armed.end(), &watch));
    }
}

void msgThread::PostThreadMessage(unsigned int message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    Enqueue([this, message, wParam, lParam] { OnMessage(message, wParam, lParam); });
}

void msgThread::Quit() {
    std::lock_guard<std::mutex> state(stateLock);
    quitting = true;
}

void msgThread::Stop() {
    {
        std::lock_guard<std::mutex> state(stateLock);
        stopping = true;
        WakeLocked();
    }
    std::lock_guard<std::mutex> guard(socketLock);
    for (strmSocket* socket : sockets) {
        socket->Shutdown();
    }
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
