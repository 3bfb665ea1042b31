#pragma once

#include <cstdint>

// One protocol message in memory: the two header codes, the data length and a
// pointer to the data. The packet never owns the data: an outgoing packet
// points at the sender's bytes, and an incoming one at the buffer that
// packetFrame::Receive allocated with new[], which the receiver releases with
// delete[] once the packet has been handled.
class mssgPacket {
public:
    mssgPacket() = default;
    virtual ~mssgPacket() = default;
    mssgPacket(const mssgPacket&) = delete;
    mssgPacket& operator=(const mssgPacket&) = delete;

    // Stores the four values; the checksum becomes 13 (it is informational only).
    void SetPacket(std::uint8_t packetType, std::uint8_t packetStep, const std::uint8_t* bytes,
                   std::int32_t count);

    void SetKeyPacket(const std::uint8_t* bytes, std::int32_t count);
    void SetReplyPacket(std::uint8_t packetStep, const std::uint8_t* bytes, std::int32_t count);
    void SetIdentPacket(const std::uint8_t* bytes, std::int32_t count);
    void SetAmountPacket(std::uint8_t packetStep, const std::uint8_t* bytes, std::int32_t count);
    void SetDataPacket(std::uint8_t packetStep, const std::uint8_t* bytes, std::int32_t count);
    void SetErrorPacket(std::uint8_t packetStep, const std::uint8_t* bytes, std::int32_t count);
    void SetClosePacket(const std::uint8_t* bytes, std::int32_t count);

    std::uint8_t GetType() const { return type; }
    std::uint8_t GetStep() const { return step; }
    std::int32_t GetLength() const { return length; }
    std::uint16_t GetChecksum() const { return checksum; }
    const std::uint8_t* GetData() const { return data; }

    // Shows "type step length checksum" ("%X %X %d %d") to the operator.
    void ShowHeader() const;

private:
    friend class packetFrame;

    std::uint8_t type = 0;
    std::uint8_t step = 0;
    std::int32_t length = 0;
    std::uint16_t checksum = 0;
    const std::uint8_t* data = nullptr;
};
