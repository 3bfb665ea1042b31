#include "common/tcpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

int tcpSocket::Connect(const std::string& host, std::uint16_t port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot resolve " + host + ": " + gai_strerror(status);
        return -1;
    }
    int fd = -1;
    error = "cannot connect to " + host + " port " + service;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int result;
        do {
            result = connect(fd, a->ai_addr, a->ai_addrlen);
        } while (result < 0 && errno == EINTR);
        if (result < 0) {
            error = "cannot connect to " + host + " port " + service + ": " + std::strerror(errno);
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd >= 0)
        NoDelay(fd);
    return fd;
}

int tcpSocket::Listen(const std::string& address, std::uint16_t port, int backlog,
                      std::string& error) {
    sockaddr_storage storage{};
    socklen_t size = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        size = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        size = sizeof *v6;
    } else {
        error = "not an IP address: " + address;
        return -1;
    }
    const int fd = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot make a socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), size) < 0 || listen(fd, backlog) < 0) {
        error = "cannot listen on " + address + " port " + std::to_string(port) + ": " +
                std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

std::uint16_t tcpSocket::LocalPort(int descriptor) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&storage), &size) < 0)
        return 0;
    if (storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    if (storage.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
    return 0;
}

void tcpSocket::NoDelay(int descriptor) {
    const int on = 1;
    setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void tcpSocket::SetTimeouts(int descriptor, unsigned seconds) {
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(seconds);
    setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool tcpSocket::ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(text);
    if (value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}
