#pragma once

#include "platform/byteStream.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class msgThread;

// One TCP connection over IPv4, bound to a message thread: its notifications
// are delivered on that thread, and stopping that thread shuts the connection
// down. Send and Receive block.
//
// Threading. The socket is used by one thread at a time: its creator until the
// bound thread handles its notifications, then the bound thread, which also
// destroys it (before the thread object itself is deleted). ArmReceive and
// Shutdown may be called from any thread while the socket is alive.
//
// Arrival notification. ArmReceive() asks for one OnReceive, raised on the
// bound thread as soon as unread data is waiting, the peer has closed, or the
// connection has failed; it is raised also when that was already so when
// armed. Nothing re-arms it but a further ArmReceive(), so the reader arms it
// again only once it has consumed what the notification announced: no
// notification is ever raised for bytes already read. A connection is not
// armed when it is made.
class strmSocket : public byteStream {
public:
    explicit strmSocket(msgThread& thread);
    ~strmSocket() override;
    strmSocket(const strmSocket&) = delete;
    strmSocket& operator=(const strmSocket&) = delete;

    // Opens the socket, bound to every local address and to `port` modulo
    // 65536 (0: a port the system chooses). False if it is already open or
    // cannot be opened or bound.
    bool Create(unsigned int port = 0);

    // Connects to `host`, a dotted IPv4 address or a host name to look up, at
    // `port` modulo 65536, opening the socket first if needed. Blocks until
    // connected or failed.
    bool Connect(const std::string& host, unsigned int port);

    int Send(const std::uint8_t* bytes, int count) override;
    int Receive(std::uint8_t* buffer, int count) override;

    void ArmReceive();

    // Shuts the connection down in both directions: a blocked Send or Receive
    // returns at once (Receive with 0). Any thread.
    void Shutdown();

    // Closes the socket; a pending notification is dropped.
    void Close();

    bool IsOpen() const;

    // True once a Send or Receive has found the connection closed by the peer,
    // failed or shut down.
    bool HasEnded() const { return ended; }

    msgThread& BoundThread() const { return boundThread; }

protected:
    // Raised by ArmReceive. The default does nothing.
    virtual void OnReceive(int err);
    // Raised once, after a Send or Receive has found the connection ended;
    // `err` is 0 when the peer closed it. The default does nothing.
    virtual void OnClose(int err);

private:
    friend class acptSocket;
    struct impl;

    bool Adopt(int fd);
    void Opened();
    void Ended(int err);

    msgThread& boundThread;
    std::unique_ptr<impl> io;
    std::mutex fdLock; // Shutdown may come from another thread
    int openFd = -1;   // the descriptor Shutdown acts on, -1 when closed
    bool ended = false;
};
