#pragma once

#include <sys/types.h>

#include <chrono>
#include <set>
#include <string>

// The open descriptors and the threads of a running process, as /proc lists
// them, so that a test can check that a process gives back what its sessions
// took.
class procWatch {
public:
    struct usage {
        std::set<std::string> descriptors; // entries of /proc/PID/fd
        std::set<pid_t> threads;           // entries of /proc/PID/task
    };

    explicit procWatch(pid_t process) : pid(process) {}

    usage Now() const;

    // True while the process runs (it exists and has not ended).
    bool Running() const;

    // Waits until the process holds the sockets and files of `before` again
    // (a session closes its connections as it ends) and no more threads and
    // event queues than `before` and what the message threads keep for the
    // next sessions (parked workers, pooled io_contexts), then returns true.
    // False when that has not come within `guard`, which only fails a hung
    // or leaking test.
    bool ReturnsTo(const usage& before, std::chrono::seconds guard) const;

    // What differs from `before`, for a failure message.
    std::string Difference(const usage& before) const;

private:
    pid_t pid;
};
