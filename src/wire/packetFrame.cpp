#include "wire/packetFrame.h"

#include "platform/byteStream.h"
#include "platform/msgOperator.h"
#include "wire/mssgPacket.h"
#include "wire/packetCrc.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {
constexpr int HEADER_SIZE = 8;
constexpr int CRC_SIZE = 2;

rcvResult ReadAll(byteStream& stream, std::uint8_t* buffer, int count) {
    int got = 0;
    while (got < count) {
        const int n = stream.Receive(buffer + got, count - got);
        if (n == 0) {
            return rcvResult::CLOSED;
        }
        if (n < 0) {
            return rcvResult::FAILED;
        }
        got += n;
    }
    return rcvResult::COMPLETE;
}

rcvResult Incomplete(rcvResult result) {
    if (result != rcvResult::CLOSED) {
        Operator().ShowMessage("ReceivePacket Error");
    }
    return result;
}
} // namespace

void packetFrame::Send(byteStream& stream, const mssgPacket& packet) {
    const std::int32_t count = packet.length;
    if (count < 0 || count > std::numeric_limits<int>::max() - HEADER_SIZE - CRC_SIZE ||
        (count > 0 && packet.data == nullptr)) {
        Operator().ShowMessage("SendPacket Error");
        return;
    }
    const int size = HEADER_SIZE + count + CRC_SIZE;
    std::unique_ptr<std::uint8_t[]> frame(new (std::nothrow) std::uint8_t[size]);
    if (!frame) {
        Operator().ShowMessage("SendPacket Error");
        return;
    }
    const auto length = static_cast<std::uint32_t>(count);
    frame[0] = packet.type;
    frame[1] = packet.step;
    for (int i = 0; i < 4; ++i) {
        frame[2 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    const packetCrc crc;
    crc.AppendCrc(frame.get(), 6);
    if (count > 0) {
        std::memcpy(frame.get() + HEADER_SIZE, packet.data, static_cast<std::size_t>(count));
    }
    crc.AppendCrc(frame.get() + HEADER_SIZE, count);
    stream.Send(frame.get(), size);
}

rcvResult packetFrame::Receive(byteStream& stream, mssgPacket& packet) {
    packet.data = nullptr;
    std::uint8_t header[HEADER_SIZE];
    const rcvResult headerRead = ReadAll(stream, header, HEADER_SIZE);
    if (headerRead != rcvResult::COMPLETE) {
        return Incomplete(headerRead);
    }
    const packetCrc crc;
    if (!crc.CheckCrc(header, HEADER_SIZE)) {
        Operator().ShowMessage("header checksum invalid");
    }
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(header[2 + i]) << (8 * i);
    }
    packet.type = header[0];
    packet.step = header[1];
    packet.length = static_cast<std::int32_t>(length);
    packet.checksum = static_cast<std::uint16_t>(header[6] | header[7] << 8);
    if (packet.length < 0 || packet.length > MAX_PACKET_LENGTH) {
        return Incomplete(rcvResult::REFUSED);
    }
    const int size = packet.length + CRC_SIZE;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
    if (!buffer) {
        return Incomplete(rcvResult::FAILED);
    }
    const rcvResult dataRead = ReadAll(stream, buffer.get(), size);
    if (dataRead != rcvResult::COMPLETE) {
        return Incomplete(dataRead);
    }
    if (!crc.CheckCrc(buffer.get(), size)) {
        Operator().ShowMessage("data checksum invalid");
    }
    packet.data = buffer.release();
    return rcvResult::COMPLETE;
}
