#pragma once

// The process limits that bound how many sessions the server can hold at
// once. Each session is a thread with two connections (the consumer's and the
// bank's) and three descriptors for its event queue; the usual soft limit of
// 1024 open descriptors would stop the server at a few hundred sessions,
// although the hard limit allows far more.
class procLimits {
public:
    // Raises the soft limits on open descriptors (RLIMIT_NOFILE) and on the
    // user's threads (RLIMIT_NPROC) to their hard limits. Called once at
    // start, before any thread is made; a limit that cannot be changed stays.
    static void RaiseForServing();
};
