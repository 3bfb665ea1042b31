#pragma once

#include <sys/types.h>

#include <cstdint>

// What the kernel tells of a running process, read from /proc: its CPU time
// (user + system, from /proc/PID/stat) and its resident memory (VmRSS, from
// /proc/PID/status).
class procProbe {
public:
    struct cpuTime {
        double user = -1; // seconds; negative when it cannot be read
        double system = -1;
        double Total() const { return user + system; }
    };
    // CPU time used so far (all threads, ended ones included).
    static cpuTime CpuSeconds(pid_t pid);
    // Resident memory in KiB; -1 when it cannot be read.
    static long ResidentKib(pid_t pid);
    // Threads of the process; -1 when it cannot be read.
    static long Threads(pid_t pid);
};
