#pragma once

#include <signal.h>

// The stop signals of a server process (SIGINT and SIGTERM), taken by one
// thread that waits for them.
class stopWaiter {
public:
    // Blocks SIGINT and SIGTERM in the calling thread, so that every thread
    // started from then on inherits the mask and only Wait takes them, and
    // ignores SIGPIPE, so that a peer or a reader that has gone fails a write
    // instead of ending the process. Made before any thread is started.
    stopWaiter();

    // Returns once SIGINT or SIGTERM has arrived.
    void Wait() const;

private:
    sigset_t stopSignals;
};
