#include "wire/mssgPacket.h"

#include "platform/msgOperator.h"

#include <cstdio>

namespace {
constexpr std::uint16_t SET_CHECKSUM = 13;
}

void mssgPacket::SetPacket(std::uint8_t packetType, std::uint8_t packetStep,
                           const std::uint8_t* bytes, std::int32_t count) {
    type = packetType;
    step = packetStep;
    data = bytes;
    length = count;
    checksum = SET_CHECKSUM;
}

void mssgPacket::SetKeyPacket(const std::uint8_t* bytes, std::int32_t count) {
    SetPacket(1, 0, bytes, count);
}

void mssgPacket::SetReplyPacket(std::uint8_t packetStep, const std::uint8_t* bytes,
                                std::int32_t count) {
    SetPacket(2, packetStep, bytes, count);
}

void mssgPacket::SetIdentPacket(const std::uint8_t* bytes, std::int32_t count) {
    SetPacket(4, 0, bytes, count);
}

void mssgPacket::SetAmountPacket(std::uint8_t packetStep, const std::uint8_t* bytes,
                                 std::int32_t count) {
    SetPacket(8, packetStep, bytes, count);
}

void mssgPacket::SetDataPacket(std::uint8_t packetStep, const std::uint8_t* bytes,
                               std::int32_t count) {
    SetPacket(16, packetStep, bytes, count);
}

void mssgPacket::SetErrorPacket(std::uint8_t packetStep, const std::uint8_t* bytes,
                                std::int32_t count) {
    SetPacket(32, packetStep, bytes, count);
}

void mssgPacket::SetClosePacket(const std::uint8_t* bytes, std::int32_t count) {
    SetPacket(64, 0, bytes, count);
}

void mssgPacket::ShowHeader() const {
    char text[64];
    std::snprintf(text, sizeof(text), "%X %X %d %d", static_cast<unsigned int>(type),
                  static_cast<unsigned int>(step), static_cast<int>(length),
                  static_cast<int>(checksum));
    Operator().ShowMessage(text);
}
