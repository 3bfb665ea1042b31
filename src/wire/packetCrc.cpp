#include "wire/packetCrc.h"

#include <array>

namespace {
constexpr std::uint16_t POLYNOMIAL = 0x1021;

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned int i = 0; i < 256; ++i) {
        unsigned int reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000) != 0 ? (reg << 1) ^ POLYNOMIAL : reg << 1;
        }
        table[i] = static_cast<std::uint16_t>(reg & 0xFFFF);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> CRC_TABLE = MakeTable();
static_assert(CRC_TABLE[1] == 0x1021 && CRC_TABLE[3] == 0x3063 && CRC_TABLE[255] == 0x1EF0);
} // namespace

std::uint16_t packetCrc::ComputeCrc(std::uint16_t start, const std::uint8_t* bytes,
                                    std::int32_t count) const {
    unsigned int crc = start;
    for (std::int32_t i = 0; i < count; ++i) {
        crc = ((crc << 8) & 0xFFFF) ^ CRC_TABLE[((crc >> 8) ^ bytes[i]) & 0xFF];
    }
    return static_cast<std::uint16_t>(crc);
}

void packetCrc::AppendCrc(std::uint8_t* buffer, std::int32_t count) const {
    const std::uint16_t crc = ComputeCrc(0, buffer, count);
    buffer[count] = static_cast<std::uint8_t>(crc >> 8);
    buffer[count + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

bool packetCrc::CheckCrc(const std::uint8_t* buffer, std::int32_t count) const {
    if (count < 2) {
        return false;
    }
    const unsigned int stored = buffer[count - 2] * 256u + buffer[count - 1];
    return ComputeCrc(0, buffer, count - 2) == stored;
}
