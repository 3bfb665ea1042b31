#include "connServer.h"

#include "common/lineOut.h"
#include "common/tcpSocket.h"

#include <cerrno>
#include <exception>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

connServer::connServer(int listenDescriptor, std::size_t limit_, handler serve_, handler refuse_)
    : listenFd(listenDescriptor), limit(limit_), serve(std::move(serve_)),
      refuse(std::move(refuse_)) {}

connServer::~connServer() {
    Stop();
}

void connServer::Start() {
    acceptor = std::thread([this] { AcceptLoop(); });
}

void connServer::AcceptLoop() {
    for (;;) {
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory for now: wait a little (or
                // until Stop shuts the listener) and try again.
                pollfd wait{listenFd, 0, 0};
                poll(&wait, 1, 100);
                continue;
            }
            break; // the listener was shut down by Stop
        }
        tcpSocket::NoDelay(fd);
        std::unique_lock<std::mutex> hold(lock);
        Reap();
        if (stopping) {
            close(fd);
            break;
        }
        if (active >= limit) {
            hold.unlock();
            try {
                refuse(fd);
            } catch (const std::exception&) {
                // Telling the peer is a courtesy; it is closed all the same.
            }
            close(fd);
            continue;
        }
        ++active;
        conns.push_back(conn{fd, false, std::thread()});
        const auto entry = std::prev(conns.end());
        entry->thread = std::thread([this, entry, fd] { Serve(entry, fd); });
    }
}

void connServer::Serve(std::list<conn>::iterator entry, int fd) {
    try {
        serve(fd);
    } catch (const std::exception& e) {
        // Nothing a peer sends should get here; if anything does, this
        // connection ends and the others go on.
        lineOut::Print(std::string("Connection ended by an internal error: ") + e.what());
    }
    const std::lock_guard<std::mutex> hold(lock);
    close(fd);
    entry->fd = -1;
    entry->done = true;
    --active;
}

void connServer::Reap() {
    for (auto it = conns.begin(); it != conns.end();) {
        if (it->done) {
            it->thread.join();
            it = conns.erase(it);
        } else {
            ++it;
        }
    }
}

void connServer::Stop() {
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (stopping)
            return;
        stopping = true;
    }
    shutdown(listenFd, SHUT_RDWR);
    if (acceptor.joinable())
        acceptor.join();
    close(listenFd);
    std::vector<std::thread*> running;
    {
        const std::lock_guard<std::mutex> hold(lock);
        for (conn& c : conns) {
            if (c.fd >= 0)
                shutdown(c.fd, SHUT_RDWR);
            running.push_back(&c.thread);
        }
    }
    for (std::thread* thread : running)
        thread->join();
    conns.clear();
}
