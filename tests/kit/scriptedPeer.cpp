#include "scriptedPeer.h"

#include "common/msgCodes.h"
#include "common/tcpSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace {

bool Listed(std::uint16_t port, std::uint16_t peerPort) {
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
        const auto near = portOf(local);
        const auto far = portOf(remote);
        if ((near == port && far == peerPort) || (near == peerPort && far == port))
            return true;
    }
    return false;
}

} // namespace

bytes FrameOf(std::uint8_t type, std::uint8_t step, const bytes& data) {
    return peerLink::Frame(type, step, data);
}

scriptedPeer::scriptedPeer(int descriptor)
    : fd(descriptor), link(std::make_unique<peerLink>(descriptor)) {
    if (fd < 0)
        return;
    tcpSocket::SetTimeouts(fd, static_cast<unsigned>(GUARD.count()));
    tcpSocket::NoDelay(fd);
}

scriptedPeer scriptedPeer::Connect(std::uint16_t port) {
    std::string error;
    const int fd = tcpSocket::Connect("127.0.0.1", port, error);
    if (fd < 0)
        ADD_FAILURE() << error;
    return scriptedPeer(fd);
}

scriptedPeer::~scriptedPeer() {
    Close();
}

scriptedPeer::scriptedPeer(scriptedPeer&& other) noexcept
    : fd(std::exchange(other.fd, -1)), link(std::move(other.link)) {}

scriptedPeer& scriptedPeer::operator=(scriptedPeer&& other) noexcept {
    std::swap(fd, other.fd);
    std::swap(link, other.link);
    return *this;
}

std::uint16_t scriptedPeer::LocalPort() const {
    return tcpSocket::LocalPort(fd);
}

bool scriptedPeer::Send(std::uint8_t type, std::uint8_t step, const bytes& data) const {
    return link->Send(type, step, data);
}

bool scriptedPeer::SendRaw(const bytes& raw) const {
    return link->SendRaw(raw);
}

bool scriptedPeer::SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain) const {
    return link->SendSealed(type, step, plain);
}

std::optional<wireFrame> scriptedPeer::Receive() const {
    wireFrame frame;
    frame.wire = ReadExact(8);
    if (frame.wire.size() != 8)
        return std::nullopt;
    frame.type = frame.wire[0];
    frame.step = frame.wire[1];
    const std::uint32_t length = byteUtil::GetLe32(frame.wire.data() + 2);
    if (length > (1u << 20))
        return std::nullopt;
    const bytes rest = ReadExact(length + 2);
    if (rest.size() != length + 2)
        return std::nullopt;
    frame.wire.insert(frame.wire.end(), rest.begin(), rest.end());
    frame.data.assign(frame.wire.begin() + 8, frame.wire.end() - 2);
    return frame;
}

bytes scriptedPeer::Expect(std::uint8_t type, std::uint8_t step) {
    packetIn packet;
    const linkResult result = link->Receive(packet);
    if (result != linkResult::PACKET) {
        ADD_FAILURE() << "waiting for (" << int(type) << ", " << int(step)
                      << "): " << LinkResultText(result);
        return {};
    }
    if (packet.type != type || packet.step != step) {
        ADD_FAILURE() << "expected (" << int(type) << ", " << int(step) << "), got ("
                      << int(packet.type) << ", " << int(packet.step) << ") "
                      << byteUtil::PrintableText(packet.data);
        return {};
    }
    return packet.data;
}

bytes scriptedPeer::ExpectSealed(std::uint8_t type, std::uint8_t step) {
    const bytes data = Expect(type, step);
    if (data.empty())
        return {};
    const auto plain = link->Open(data);
    if (!plain) {
        ADD_FAILURE() << "(" << int(type) << ", " << int(step) << ") does not open";
        return {};
    }
    return *plain;
}

std::string scriptedPeer::ExpectError(std::uint8_t step) {
    return byteUtil::PrintableText(Expect(msgCodes::PKT_ERROR, step));
}

bytes scriptedPeer::ReadExact(std::size_t count) const {
    bytes got(count);
    std::size_t have = 0;
    while (have < count) {
        const ssize_t n = recv(fd, got.data() + have, count - have, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    got.resize(have);
    return got;
}

bytes scriptedPeer::ReadToEnd() const {
    bytes got;
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return got;
        got.insert(got.end(), chunk, chunk + n);
    }
}

bool scriptedPeer::PeerClosed() const {
    std::uint8_t byte;
    for (;;) {
        const ssize_t n = recv(fd, &byte, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return n == 0;
    }
}

bool scriptedPeer::Quiet() const {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, 0) == 0;
}

void scriptedPeer::Reset() {
    const linger abortive{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    Close();
}

void scriptedPeer::Close() {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

scriptedListener::scriptedListener() {
    std::string error;
    fd = tcpSocket::Listen("127.0.0.1", 0, 16, error);
    if (fd < 0)
        ADD_FAILURE() << error;
    port = tcpSocket::LocalPort(fd);
}

scriptedListener::~scriptedListener() {
    Close();
}

scriptedPeer scriptedListener::Accept() const {
    pollfd ready{fd, POLLIN, 0};
    const auto guard = std::chrono::duration_cast<std::chrono::milliseconds>(scriptedPeer::GUARD);
    if (fd < 0 || poll(&ready, 1, static_cast<int>(guard.count())) != 1) {
        ADD_FAILURE() << "no connection within the guard";
        return scriptedPeer(-1);
    }
    return scriptedPeer(accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
}

void scriptedListener::Close() {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

std::uint16_t UnusedPort() {
    scriptedListener probe;
    return probe.Port();
}

void WaitUntilGone(std::uint16_t port, std::uint16_t peerPort) {
    while (Listed(port, peerPort))
        std::this_thread::yield();
}
