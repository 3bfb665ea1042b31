#include "platform/strmSocket.h"

#include "platform/msgThread.h"
#include "platform/sockWatch.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

sockaddr_in Endpoint(in_addr address, unsigned int port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(static_cast<std::uint16_t>(port));
    endpoint.sin_addr = address;
    return endpoint;
}

// The IPv4 addresses of `host`: the address itself when it is dotted, else
// those a name lookup finds.
std::vector<in_addr> Addresses(const std::string& host) {
    in_addr dotted{};
    if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) {
        return {dotted};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<in_addr> addresses;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0) {
        for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
            addresses.push_back(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
        }
        ::freeaddrinfo(found);
    }
    return addresses;
}

} // namespace

strmSocket::strmSocket(msgThread& thread)
    : boundThread(thread),
      watch(std::make_unique<sockWatch>(thread, [this](int err) { OnReceive(err); })) {
    boundThread.Attach(this);
}

strmSocket::~strmSocket() {
    boundThread.Detach(this);
    Close();
}

bool strmSocket::Create(unsigned int port) {
    if (IsOpen()) {
        return false;
    }
    const int made = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (made < 0) {
        return false;
    }
    const sockaddr_in local = Endpoint(in_addr{htonl(INADDR_ANY)}, port);
    if (::bind(made, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(made);
        return false;
    }
    Opened(made);
    return true;
}

bool strmSocket::Connect(const std::string& host, unsigned int port) {
    if (!IsOpen()) {
        // The system binds it to a local address and port as it connects.
        const int made = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (made < 0) {
            return false;
        }
        Opened(made);
    }
    for (const in_addr address : Addresses(host)) {
        const sockaddr_in peer = Endpoint(address, port);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
            return true;
        }
        if (errno == EINTR) {
            // The connection goes on without us: wait until it is made or
            // has failed.
            pollfd probe{fd, POLLOUT, 0};
            int pending = 0;
            socklen_t size = sizeof pending;
            while (::poll(&probe, 1, -1) < 0 && errno == EINTR) {
            }
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0) {
                return true;
            }
        }
    }
    return false;
}

int strmSocket::Send(const std::uint8_t* bytes, int count) {
    if (count < 0 || !IsOpen()) {
        return -1;
    }
    int sent = 0;
    while (sent < count) {
        const ssize_t n =
            ::send(fd, bytes + sent, static_cast<std::size_t>(count - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Ended(errno);
            return -1;
        }
        sent += static_cast<int>(n);
    }
    return count;
}

int strmSocket::Receive(std::uint8_t* buffer, int count) {
    if (count <= 0 || !IsOpen()) {
        return -1;
    }
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, static_cast<std::size_t>(count), 0);
        if (n > 0) {
            return static_cast<int>(n);
        }
        if (n == 0) {
            Ended(0);
            return 0;
        }
        if (errno != EINTR) {
            Ended(errno);
            return -1;
        }
    }
}

void strmSocket::ArmReceive() {
    std::lock_guard<std::mutex> guard(fdLock);
    watch->Arm(fd);
}

void strmSocket::Shutdown() {
    std::lock_guard<std::mutex> guard(fdLock);
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

void strmSocket::Close() {
    int closing = -1;
    {
        std::lock_guard<std::mutex> guard(fdLock);
        std::swap(closing, fd);
    }
    watch->Reset();
    if (closing >= 0) {
        ::close(closing);
    }
}

bool strmSocket::IsOpen() const {
    std::lock_guard<std::mutex> guard(fdLock);
    return fd >= 0;
}

void strmSocket::OnReceive(int) {}

void strmSocket::OnClose(int) {}

// Takes over a freshly accepted connection, unless it was reset or failed while
// it waited to be accepted.
bool strmSocket::Adopt(int accepted) {
    int pending = 0;
    socklen_t size = sizeof(pending);
    if (::getsockopt(accepted, SOL_SOCKET, SO_ERROR, &pending, &size) != 0 || pending != 0) {
        ::close(accepted);
        return false;
    }
    Opened(accepted);
    return true;
}

// Every frame goes out in one Send, so small frames sent one after the other
// (a reply, then the next message) must not wait for the peer's delayed
// acknowledgement.
void strmSocket::Opened(int opened) {
    const int on = 1;
    ::setsockopt(opened, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard<std::mutex> guard(fdLock);
    fd = opened;
    ended = false;
}

void strmSocket::Ended(int err) {
    if (ended) {
        return;
    }
    ended = true;
    watch->Post([this, err] { OnClose(err); });
}
