#include "procWatch.h"

#include "platform/msgThread.h"
#include "platform/poolCtx.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <vector>

namespace {
// pidfd_open of a single thread (Linux 6.9 and later).
constexpr unsigned int PIDFD_THREAD_FLAG = O_EXCL;

std::string Target(const std::filesystem::path& link) {
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::read_symlink(link, ec);
    return ec ? std::string("?") : target.string();
}

// An epoll set, an eventfd or a timer: what an event queue holds.
bool QueueDescriptor(const std::string& entry) {
    return entry.find(" -> anon_inode:") != std::string::npos;
}

// A pipe. The shop opens none beyond the standard streams it is given; the
// sanitizer runtime opens one for a moment whenever it probes whether memory
// is readable (a dynamic type check does), so a snapshot can catch one that
// is gone a moment later. Pipes are left out of the comparison.
bool Transient(const std::string& entry) {
    return entry.find(" -> pipe:") != std::string::npos;
}

// True when `now` holds what `before` held, and beyond it only what the
// message threads keep for reuse.
bool Back(const procWatch::usage& before, const procWatch::usage& now) {
    std::size_t newQueueDescriptors = 0;
    for (const std::string& d : now.descriptors) {
        if (before.descriptors.count(d) != 0 || Transient(d)) {
            continue;
        }
        if (!QueueDescriptor(d)) {
            return false;
        }
        ++newQueueDescriptors;
    }
    for (const std::string& d : before.descriptors) {
        if (now.descriptors.count(d) == 0 && !Transient(d)) {
            return false;
        }
    }
    std::size_t newThreads = 0;
    for (const pid_t thread : now.threads) {
        newThreads += before.threads.count(thread) == 0 ? 1 : 0;
    }
    return newThreads <= msgThread::MAX_PARKED &&
           newQueueDescriptors <= poolCtx::MAX_POOLED * poolCtx::DESCRIPTORS;
}
} // namespace

bool procWatch::Running() const {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // "PID (name) S ...": the state follows the last parenthesis.
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' &&
           text[close + 2] != 'X';
}

procWatch::usage procWatch::Now() const {
    usage now;
    const std::filesystem::path proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(proc / "fd", ec)) {
        // The descriptor number and what it is, so that one closed and
        // reopened as something else counts as a change.
        now.descriptors.insert(entry.path().filename().string() + " -> " + Target(entry.path()));
    }
    for (const auto& entry : std::filesystem::directory_iterator(proc / "task", ec)) {
        now.threads.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return now;
}

bool procWatch::ReturnsTo(const usage& before, std::chrono::seconds guard) const {
    const auto deadline = std::chrono::steady_clock::now() + guard;
    for (;;) {
        const usage now = Now();
        if (Back(before, now)) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        // Looks again when one of the new threads ends (its descriptor turns
        // readable), or after a short while: a session that closes its
        // connections and parks its thread ends no thread.
        std::vector<pollfd> exits;
        for (const pid_t thread : now.threads) {
            if (before.threads.count(thread) == 0) {
                const int fd =
                    static_cast<int>(::syscall(SYS_pidfd_open, thread, PIDFD_THREAD_FLAG));
                if (fd >= 0) {
                    exits.push_back({fd, POLLIN, 0});
                }
            }
        }
        ::poll(exits.data(), exits.size(), static_cast<int>(std::min<long>(left.count(), 10)));
        for (const pollfd& exit : exits) {
            ::close(exit.fd);
        }
    }
}

std::string procWatch::Difference(const usage& before) const {
    const usage now = Now();
    std::string text;
    for (const std::string& d : now.descriptors) {
        if (before.descriptors.count(d) == 0) {
            text += "  new descriptor " + d + "\n";
        }
    }
    for (const std::string& d : before.descriptors) {
        if (now.descriptors.count(d) == 0) {
            text += "  lost descriptor " + d + "\n";
        }
    }
    text += "  threads: " + std::to_string(before.threads.size()) + " before, " +
            std::to_string(now.threads.size()) + " now\n";
    // Where each new thread waits, to tell a hang from a leak.
    for (const pid_t thread : now.threads) {
        if (before.threads.count(thread) == 0) {
            std::ifstream wchan("/proc/" + std::to_string(pid) + "/task/" + std::to_string(thread) +
                                "/wchan");
            std::string where;
            std::getline(wchan, where);
            text += "  new thread " + std::to_string(thread) + " waits in " + where + "\n";
        }
    }
    return text;
}
