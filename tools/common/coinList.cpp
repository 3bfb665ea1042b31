#include "common/coinList.h"

#include <algorithm>

bytes coinList::Encode(const std::vector<coinRecord>& records) {
    bytes out;
    byteUtil::PutLe32(out, static_cast<std::uint32_t>(records.size()));
    for (const coinRecord& record : records) {
        out.push_back(record.denomination);
        byteUtil::PutLe32(out, static_cast<std::uint32_t>(record.value.size()));
        out.insert(out.end(), record.value.begin(), record.value.end());
    }
    return out;
}

std::optional<std::vector<coinRecord>> coinList::Decode(const std::uint8_t* data,
                                                        std::size_t size) {
    constexpr std::size_t RECORD_HEAD = 5;
    if (size < 4)
        return std::nullopt;
    const std::uint32_t count = byteUtil::GetLe32(data);
    std::size_t at = 4;
    std::vector<coinRecord> records;
    records.reserve(std::min<std::size_t>(count, (size - at) / RECORD_HEAD));
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < RECORD_HEAD)
            return std::nullopt;
        coinRecord record;
        record.denomination = data[at];
        const std::uint32_t length = byteUtil::GetLe32(data + at + 1);
        at += RECORD_HEAD;
        if (size - at < length)
            return std::nullopt;
        record.value.assign(data + at, data + at + length);
        at += length;
        records.push_back(std::move(record));
    }
    if (at != size)
        return std::nullopt;
    return records;
}

std::uint64_t coinList::Amount(const std::vector<coinRecord>& records) {
    std::uint64_t amount = 0;
    for (const coinRecord& record : records) {
        if (record.denomination < 32)
            amount += std::uint64_t{1} << record.denomination;
    }
    return amount;
}
