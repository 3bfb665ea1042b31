#include "scriptedPeer.h"

#include "shopProcess.h"
#include "wire/packetCrc.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace {
using clock = std::chrono::steady_clock;

sockaddr_in Loopback(unsigned int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool WaitReadable(int fd, clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        pollfd probe{fd, POLLIN, 0};
        const int ready = ::poll(&probe, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

void AppendCrc(byteVec& bytes, std::size_t from) {
    const std::uint16_t crc = packetCrc().ComputeCrc(
        0, bytes.data() + from, static_cast<std::int32_t>(bytes.size() - from));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc));
}
} // namespace

byteVec FrameOf(std::uint8_t type, std::uint8_t step, const byteVec& data) {
    const auto length = static_cast<std::uint32_t>(data.size());
    byteVec frame{type,
                  step,
                  static_cast<std::uint8_t>(length),
                  static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length >> 16),
                  static_cast<std::uint8_t>(length >> 24)};
    AppendCrc(frame, 0);
    frame.insert(frame.end(), data.begin(), data.end());
    AppendCrc(frame, 8);
    return frame;
}

scriptedPeer::~scriptedPeer() {
    Close();
}

scriptedPeer::scriptedPeer(scriptedPeer&& other) noexcept : fd(std::exchange(other.fd, -1)) {}

scriptedPeer& scriptedPeer::operator=(scriptedPeer&& other) noexcept {
    std::swap(fd, other.fd);
    return *this;
}

scriptedPeer scriptedPeer::Connect(unsigned int port) {
    scriptedPeer peer(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(port);
    if (peer.fd < 0 ||
        ::connect(peer.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("connect");
    }
    peer.NoDelay();
    return peer;
}

void scriptedPeer::NoDelay() const {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void scriptedPeer::Send(std::uint8_t type, std::uint8_t step, const byteVec& data) const {
    SendRaw(FrameOf(type, step, data));
}

void scriptedPeer::SendRaw(const byteVec& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            throw std::runtime_error("send");
        }
        sent += static_cast<std::size_t>(n);
    }
}

bool scriptedPeer::ReadExact(std::uint8_t* into, std::size_t count) const {
    const auto deadline = clock::now() + E2E_GUARD;
    std::size_t got = 0;
    while (got < count) {
        if (!WaitReadable(fd, deadline)) {
            return false;
        }
        const ssize_t n = ::recv(fd, into + got, count - got, 0);
        if (n == 0 || (n < 0 && errno != EINTR)) {
            return false;
        }
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        }
    }
    return true;
}

std::optional<wireFrame> scriptedPeer::Receive() const {
    wireFrame frame;
    frame.wire.resize(8);
    if (!ReadExact(frame.wire.data(), 8)) {
        return std::nullopt;
    }
    frame.type = frame.wire[0];
    frame.step = frame.wire[1];
    const std::uint32_t length = frame.wire[2] | frame.wire[3] << 8 | frame.wire[4] << 16 |
                                 static_cast<std::uint32_t>(frame.wire[5]) << 24;
    if (length > (1u << 20)) {
        return std::nullopt;
    }
    frame.wire.resize(8 + length + 2);
    if (!ReadExact(frame.wire.data() + 8, length + 2)) {
        return std::nullopt;
    }
    frame.data.assign(frame.wire.begin() + 8, frame.wire.end() - 2);
    return frame;
}

bool scriptedPeer::ReceivesEnd() const {
    if (!WaitReadable(fd, clock::now() + E2E_GUARD)) {
        return false;
    }
    std::uint8_t byte = 0;
    return ::recv(fd, &byte, 1, 0) == 0;
}

void scriptedPeer::Reset() {
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    Close();
}

void scriptedPeer::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

scriptedListener::scriptedListener() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("listen");
    }
    port = ntohs(address.sin_port);
}

scriptedListener::~scriptedListener() {
    Close();
}

std::optional<scriptedPeer> scriptedListener::Accept() const {
    if (fd < 0 || !WaitReadable(fd, clock::now() + E2E_GUARD)) {
        return std::nullopt;
    }
    const int accepted = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) {
        return std::nullopt;
    }
    scriptedPeer peer(accepted);
    peer.NoDelay();
    return peer;
}

void scriptedListener::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

unsigned int UnusedPort() {
    scriptedListener probe;
    return probe.Port();
}
