#include "common/peerLink.h"

#include "common/tcpSocket.h"
#include "wire/mssgPacket.h"
#include "wire/packetFrame.h"

#include <climits>
#include <memory>
#include <sys/socket.h>

namespace {

// Collects what is sent into memory.
class memStream : public byteStream {
public:
    int Send(const std::uint8_t* data, int count) override {
        sent.insert(sent.end(), data, data + count);
        return count;
    }
    int Receive(std::uint8_t*, int) override { return 0; }

    bytes sent;
};

} // namespace

const char* LinkResultText(linkResult result) {
    switch (result) {
    case linkResult::PACKET:
        return "a packet arrived";
    case linkResult::CLOSED:
        return "the connection was closed";
    case linkResult::TIMED_OUT:
        return "nothing arrived in time";
    case linkResult::FAILED:
        return "the connection failed";
    case linkResult::REFUSED:
        return "a frame announced an impossible length";
    }
    return "?";
}

linkResult peerLink::Receive(packetIn& packet) {
    mssgPacket in;
    const rcvResult result = packetFrame::Receive(stream, in);
    switch (result) {
    case rcvResult::COMPLETE: {
        const std::unique_ptr<const std::uint8_t[]> owned(in.GetData());
        packet.type = in.GetType();
        packet.step = in.GetStep();
        packet.data.assign(owned.get(), owned.get() + in.GetLength());
        return linkResult::PACKET;
    }
    case rcvResult::CLOSED:
        return linkResult::CLOSED;
    case rcvResult::REFUSED:
        return linkResult::REFUSED;
    case rcvResult::FAILED:
        break;
    }
    return stream.TimedOut() ? linkResult::TIMED_OUT : linkResult::FAILED;
}

bool peerLink::Send(std::uint8_t type, std::uint8_t step, const bytes& data) {
    return SendRaw(Frame(type, step, data));
}

bool peerLink::SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain) {
    return Send(type, step, Seal(plain));
}

bool peerLink::SendRaw(const bytes& raw) {
    if (raw.size() > INT_MAX)
        return false;
    return stream.Send(raw.data(), static_cast<int>(raw.size())) >= 0;
}

void peerLink::Drain() {
    std::uint8_t sink[4096];
    while (stream.Receive(sink, sizeof sink) > 0) {
    }
}

void peerLink::Finish(unsigned seconds) {
    shutdown(fd, SHUT_WR);
    tcpSocket::SetTimeouts(fd, seconds);
    Drain();
}

void peerLink::SetKey(const std::uint8_t* text, std::size_t length) {
    key = std::make_unique<SymKey>(text, length);
}

bytes peerLink::Seal(const bytes& plain) const {
    const int length = plain.size() > INT_MAX / 2 ? 0 : SymKey::SealedLength(int(plain.size()));
    if (key == nullptr || length == 0)
        return {};
    bytes sealed(static_cast<std::size_t>(length));
    key->EncryptMessage(plain.data(), sealed.data(), static_cast<int>(plain.size()));
    return sealed;
}

std::optional<bytes> peerLink::Open(const bytes& sealed) const {
    if (key == nullptr || sealed.empty() || sealed.size() % 8 != 0 || sealed.size() > INT_MAX)
        return std::nullopt;
    bytes plain(sealed.size());
    const int length =
        key->DecryptMessage(sealed.data(), plain.data(), static_cast<int>(sealed.size()));
    if (length <= 0)
        return std::nullopt;
    plain.resize(static_cast<std::size_t>(length));
    return plain;
}

bytes peerLink::Frame(std::uint8_t type, std::uint8_t step, const bytes& data) {
    mssgPacket packet;
    packet.SetPacket(type, step, data.data(), static_cast<std::int32_t>(data.size()));
    memStream out;
    packetFrame::Send(out, packet);
    return out.sent;
}
