#include "scriptedPeer.h"

#include "common/msgCodes.h"
#include "common/tcpSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

scriptedPeer::scriptedPeer(int descriptor)
    : fd(descriptor), link(std::make_unique<peerLink>(descriptor)) {
    if (fd >= 0)
        tcpSocket::SetTimeouts(fd, GUARD_SECONDS);
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
    : fd(other.fd), link(std::move(other.link)) {
    other.fd = -1;
}

void scriptedPeer::Close() {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

bool scriptedPeer::Send(std::uint8_t type, std::uint8_t step, const bytes& data) {
    return link->Send(type, step, data);
}

bool scriptedPeer::SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain) {
    return link->SendSealed(type, step, plain);
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

bool scriptedPeer::PeerClosed() {
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

scriptedListener::scriptedListener() {
    std::string error;
    fd = tcpSocket::Listen("127.0.0.1", 0, 4, error);
    if (fd < 0)
        ADD_FAILURE() << error;
    port = tcpSocket::LocalPort(fd);
}

scriptedListener::~scriptedListener() {
    if (fd >= 0)
        close(fd);
}

scriptedPeer scriptedListener::Accept() {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(scriptedPeer::GUARD_SECONDS * 1000)) != 1) {
        ADD_FAILURE() << "no connection within the guard";
        return scriptedPeer(-1);
    }
    return scriptedPeer(accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
}
