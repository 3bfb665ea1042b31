#pragma once

#include <memory>
#include <system_error>

class msgThread;
class sockWatch;
class strmSocket;

// A listening TCP socket on every local IPv4 address, bound to a message
// thread: OnAccept is raised on that thread when a connection is waiting, and
// the handler takes it with Accept, possibly into a stream socket bound to
// another thread. The next OnAccept is armed by Accept, whether it succeeds or
// fails, so a handler that does not call Accept gets no further notification.
//
// Threading: Listen may be called from any thread before the bound thread
// handles the socket's notifications; Accept and Close run on the bound
// thread, which also destroys the socket.
class acptSocket {
public:
    explicit acptSocket(msgThread& thread);
    virtual ~acptSocket();
    acptSocket(const acptSocket&) = delete;
    acptSocket& operator=(const acptSocket&) = delete;

    // Opens, binds to `port` modulo 65536 (0: a port the system chooses) with
    // address reuse, and listens with `backlog`. False if any step fails, for
    // instance when another socket is listening on the port; `failure`, if
    // given, then says why.
    bool Listen(unsigned int port, int backlog, std::error_code* failure = nullptr);

    // Takes a waiting connection into `target`, which must not be open and may
    // be bound to another thread (that thread must not use it meanwhile). False
    // when no connection is waiting or the one waiting has already been reset
    // or failed; `target` then stays closed. Never blocks.
    bool Accept(strmSocket& target);

    void Close();

    // The local port while listening, else 0.
    unsigned int LocalPort() const;

protected:
    // Raised on the bound thread when a connection is waiting. The default
    // does nothing.
    virtual void OnAccept(int err);

private:
    std::unique_ptr<sockWatch> watch;
    int fd = -1; // the listening socket, -1 when closed
};
