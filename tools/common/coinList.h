#pragma once

#include "common/byteUtil.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// One record of a coin list: a denomination and a number, big-endian. In a
// payment the number is the coin; in the bank's withdrawal exchange it is a
// blinded coin message (request) or the bank's signature of it (answer).
struct coinRecord {
    std::uint8_t denomination = 0;
    bytes value;
};

// The coin-list layout: a 32-bit little-endian count, then that many records
// of denomination (1 byte), value length L (4 bytes, little-endian) and the L
// value bytes, packed without gaps.
class coinList {
public:
    static bytes Encode(const std::vector<coinRecord>& records);
    // The records of exactly `size` bytes in this layout; nothing when a
    // record runs past the end, or bytes are left over after the last one.
    // Never allocates more than the data could hold.
    static std::optional<std::vector<coinRecord>> Decode(const std::uint8_t* data,
                                                         std::size_t size);
    static std::optional<std::vector<coinRecord>> Decode(const bytes& data) {
        return Decode(data.data(), data.size());
    }
    // The sum of 2^d over the records; denominations of 32 and more count as
    // 0 (no such coin exists), so the sum of any list that fits in a frame
    // fits as well.
    static std::uint64_t Amount(const std::vector<coinRecord>& records);
};
