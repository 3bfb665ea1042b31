#include "rawSocket.h"

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
sockaddr_in Loopback(unsigned int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(what);
}

bool Listed(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote;
        fields >> slot >> local >> remote;
        const auto portOf = [](const std::string& end) {
            return std::stoul(end.substr(end.find(':') + 1), nullptr, 16);
        };
        if (portOf(local) == port || portOf(remote) == port) {
            return true;
        }
    }
    return false;
}
} // namespace

rawSocket::~rawSocket() {
    Close();
}

rawSocket::rawSocket(rawSocket&& other) noexcept : fd(other.fd) {
    other.fd = -1;
}

rawSocket& rawSocket::operator=(rawSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

rawSocket rawSocket::ConnectTo(unsigned int port) {
    rawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(port);
    if (s.fd < 0 ||
        ::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        Fail("connect");
    }
    return s;
}

void rawSocket::SendAll(const std::vector<std::uint8_t>& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            Fail("send");
        }
        sent += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> rawSocket::ReadExact(std::size_t count) const {
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::recv(fd, bytes.data() + got, count - got, 0);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::vector<std::uint8_t> rawSocket::ReadToEnd() const {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0) {
            return bytes;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}

std::uint16_t rawSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t size = sizeof(address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

void rawSocket::Reset() {
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    Close();
}

void rawSocket::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

rawListener::rawListener() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port(0) {
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        Fail("listen");
    }
    port = ntohs(address.sin_port);
}

rawListener::~rawListener() {
    ::close(fd);
}

rawSocket rawListener::Accept() const {
    rawSocket s(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
    if (s.fd < 0) {
        Fail("accept");
    }
    return s;
}

void WaitUntilGone(std::uint16_t port) {
    while (Listed(port)) {
        std::this_thread::yield();
    }
}
