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

    // Waits until every thread that is not in `before` has ended (told by
    // the kernel through a descriptor of each thread, or, where the kernel
    // cannot tell, by looking again), then returns whether the process holds
    // the threads and descriptors of `before` again. False when the threads
    // have not ended within `guard`, which only fails a hung test.
    bool ReturnsTo(const usage& before, std::chrono::seconds guard) const;

    // What differs from `before`, for a failure message.
    std::string Difference(const usage& before) const;

private:
    pid_t pid;
};
