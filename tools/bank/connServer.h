#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// Serves the connections of one listening socket, each on a thread of its
// own, at most `limit` at once. A connection beyond the limit is handed to
// `refuse` on the accepting thread instead (which may tell the peer) and
// closed. The server owns the listening socket and the connections' sockets:
// a connection is closed when its `serve` returns. Stop() closes the
// listener, shuts every open connection down (so that `serve` returns soon)
// and waits for all threads.
class connServer {
public:
    using handler = std::function<void(int descriptor)>;

    connServer(int listenDescriptor, std::size_t limit, handler serve, handler refuse);
    ~connServer();
    connServer(const connServer&) = delete;
    connServer& operator=(const connServer&) = delete;

    void Start();
    void Stop();

private:
    struct conn {
        int fd;
        bool done = false;
        std::thread thread;
    };

    void AcceptLoop();
    void Serve(std::list<conn>::iterator entry, int fd);
    // Joins the threads of finished connections; the lock is held.
    void Reap();

    int listenFd;
    std::size_t limit;
    handler serve;
    handler refuse;
    std::mutex lock;
    bool stopping = false;
    std::size_t active = 0;
    std::list<conn> conns;
    std::thread acceptor;
};
