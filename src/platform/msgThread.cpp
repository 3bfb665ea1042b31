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

msgThread::msgThread() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

msgThread::~msgThread() {
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
}

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
            std::lock_guard<std::mutex> state(stateLock);
            stopping = true;
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
