#pragma once

#include <cstdint>

// CRC-16 of the frame's header and data: polynomial 0x1021, initial value 0,
// no reflection, no final XOR (CRC-16/XMODEM), one table look-up per byte,
// stored big-endian after the bytes it covers. Stateless.
class packetCrc {
public:
    virtual ~packetCrc() = default;

    // Continues the CRC `start` over `count` bytes; `start` itself when count is 0.
    std::uint16_t ComputeCrc(std::uint16_t start, const std::uint8_t* bytes,
                             std::int32_t count) const;

    // Stores the CRC of buffer[0, count) at buffer[count] (high byte) and
    // buffer[count + 1] (low byte); the buffer holds count + 2 bytes.
    void AppendCrc(std::uint8_t* buffer, std::int32_t count) const;

    // `count` (at least 2) includes the two stored CRC bytes at the end: true
    // when the CRC of the bytes before them equals the stored value.
    bool CheckCrc(const std::uint8_t* buffer, std::int32_t count) const;
};
