#pragma once

#include <asio/io_context.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>

// The event queue of a message thread, kept in a pool for the next thread.
//
// An io_context grows its reactor (an epoll set, an eventfd, a timer) with
// its first socket; a session that takes a pooled one pays for none of that.
// Handlers that an owner queues carry the owner's serial (`serial` when it
// took the context) and do nothing once it has changed: Give moves it on and
// runs what is still queued, so that nothing of an owner that is gone runs
// for the next one.
class poolCtx {
public:
    // Contexts kept at most; one more given back is destroyed.
    static constexpr std::size_t MAX_POOLED = 64;
    // The descriptors a context that has had a socket holds: its epoll set,
    // its eventfd and its timer.
    static constexpr std::size_t DESCRIPTORS = 3;

    asio::io_context io{1}; // run by one thread at a time
    std::uint64_t serial = 0;

    // A context ready to run, from the pool or new. Any thread.
    static std::unique_ptr<poolCtx> Take();

    // Takes a context back once its owner's loop has ended and its sockets
    // are closed; on the thread that last ran the loop, or one that has
    // synchronised with it.
    static void Give(std::unique_ptr<poolCtx> context);
};
