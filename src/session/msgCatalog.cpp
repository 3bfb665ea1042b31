#include "session/msgCatalog.h"

#include <algorithm>

std::array<std::uint8_t, msgCatalog::MAX_ERROR_FIELD>
msgCatalog::FieldBytes(const errorField& field) {
    std::array<std::uint8_t, MAX_ERROR_FIELD> bytes{};
    std::copy(field.text.begin(), field.text.end(), bytes.begin());
    return bytes;
}

void msgCatalog::PutNumber(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < NUMBER_LENGTH; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t msgCatalog::GetNumber(const std::uint8_t* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < NUMBER_LENGTH; ++i) {
        value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    }
    return value;
}

std::optional<msgCatalog::coinTotal> msgCatalog::ReadCoinList(const std::uint8_t* plain,
                                                              int length) {
    constexpr int RECORD_HEADER = 1 + NUMBER_LENGTH;
    if (length < NUMBER_LENGTH) {
        return std::nullopt;
    }
    const std::uint32_t count = GetNumber(plain);
    std::int64_t amount = 0;
    int offset = NUMBER_LENGTH;
    // Every record takes at least its header, so the walk ends within the
    // list whatever the count says.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (length - offset < RECORD_HEADER) {
            return std::nullopt;
        }
        const int denomination = plain[offset];
        const std::uint32_t valueLength = GetNumber(plain + offset + 1);
        offset += RECORD_HEADER;
        if (denomination > MAX_DENOMINATION ||
            valueLength > static_cast<std::uint32_t>(length - offset)) {
            return std::nullopt;
        }
        offset += static_cast<int>(valueLength);
        amount += std::int64_t{1} << denomination;
    }
    // At most length / 5 coins of at most 512 each: an int64 cannot overflow,
    // and a list that fits a frame stays far below 2^31.
    if (amount > INT32_MAX) {
        return std::nullopt;
    }
    return coinTotal{count, static_cast<std::int32_t>(amount)};
}
