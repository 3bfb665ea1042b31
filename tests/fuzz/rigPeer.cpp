#include "rigPeer.h"

#include "fuzzCheck.h"
#include "wire/packetCrc.h"
#include "wire/packetFrame.h"

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::size_t HEADER = 8;

std::uint32_t LengthField(const std::uint8_t* header) {
    return static_cast<std::uint32_t>(header[2]) | static_cast<std::uint32_t>(header[3]) << 8 |
           static_cast<std::uint32_t>(header[4]) << 16 |
           static_cast<std::uint32_t>(header[5]) << 24;
}
} // namespace

rigPeer::~rigPeer() {
    if (fd >= 0) {
        ::close(fd);
    }
}

void rigPeer::Attach(int descriptor) {
    fd = descriptor;
    attached = true;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Each move goes out at once, so that the session finds it when it next
    // looks (loopback delivers within the send).
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void rigPeer::Write(const std::vector<std::uint8_t>& bytes) {
    if (fd < 0 || finished) {
        return;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // The inputs are small and the session keeps up: a full buffer would
        // mean it has stopped reading, and the rest is of no interest.
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    Follow(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(sent)));
}

void rigPeer::Finish() {
    if (fd >= 0 && !finished) {
        ::shutdown(fd, SHUT_WR);
        finished = true;
    }
}

void rigPeer::Reset() {
    if (fd < 0) {
        return;
    }
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd);
    fd = -1;
    finished = true;
}

bool rigPeer::Settled() const {
    return finished || refused || (header.empty() && dataLeft == 0);
}

void rigPeer::Follow(const std::vector<std::uint8_t>& bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && !refused) {
        if (dataLeft > 0) {
            const std::size_t n = std::min<std::uint64_t>(dataLeft, bytes.size() - i);
            dataLeft -= n;
            i += n;
            continue;
        }
        header.push_back(bytes[i++]);
        if (header.size() == HEADER) {
            const auto length = static_cast<std::int32_t>(LengthField(header.data()));
            refused = length < 0 || length > MAX_PACKET_LENGTH;
            dataLeft = static_cast<std::uint64_t>(length) + 2;
            header.clear();
        }
    }
}

bool rigPeer::Drain() {
    if (fd < 0) {
        return false;
    }
    bool moved = false;
    bool orderly = false;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            received.insert(received.end(), buffer, buffer + n);
            moved = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            orderly = n == 0;
            peerClosed = true;
            moved = true;
        }
        break;
    }
    TakeFrames();
    // The shop sends every frame whole. (A reset, which a socket closed with
    // unread bytes sends, may drop bytes on the way.)
    FUZZ_CHECK(!orderly || received.empty());
    if (peerClosed) {
        Reset();
    }
    return moved;
}

void rigPeer::TakeFrames() {
    const packetCrc crc;
    std::size_t at = 0;
    while (received.size() - at >= HEADER) {
        const std::uint8_t* head = received.data() + at;
        FUZZ_CHECK(crc.CheckCrc(head, HEADER));
        const std::uint32_t length = LengthField(head);
        FUZZ_CHECK(length <= static_cast<std::uint32_t>(MAX_PACKET_LENGTH));
        if (received.size() - at < HEADER + length + 2) {
            break;
        }
        FUZZ_CHECK(crc.CheckCrc(head + HEADER, static_cast<std::int32_t>(length) + 2));
        frames.push_back(
            {head[0], head[1], std::vector<std::uint8_t>(head + HEADER, head + HEADER + length)});
        at += HEADER + length + 2;
    }
    received.erase(received.begin(), received.begin() + static_cast<long>(at));
}
