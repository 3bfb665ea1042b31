#include "session/msgCatalog.h"

#include "paymentVectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

TEST(msgCatalogTest, NumbersTravelLittleEndian) {
    std::uint8_t out[4];
    msgCatalog::PutNumber(out, msgCatalog::KEY_CHECK_VALUE);
    EXPECT_EQ(bytes(out, out + 4), (bytes{0x88, 0xe0, 0x30, 0x01}));
    EXPECT_EQ(msgCatalog::GetNumber(out), 19980424u);
}

TEST(msgCatalogTest, ErrorFieldsAreTheTextThenZerosUpToTheirSize) {
    const auto vectorData = [](const char* name) {
        return paymentVectors::Frame("error_frames", name, "shop->consumer");
    };
    const auto field = [](const msgCatalog::errorField& f) {
        const auto all = msgCatalog::FieldBytes(f);
        return bytes(all.begin(), all.begin() + f.size);
    };
    EXPECT_EQ(field(msgCatalog::BANK_DOWN), vectorData("ErrorText (bank down)"));
    EXPECT_EQ(field(msgCatalog::KEYS_DIFFER), vectorData("ErrorText (keys do not match)"));
    for (const auto& own : {msgCatalog::BAD_KEY_OFFER, msgCatalog::BAD_COIN_LIST}) {
        const bytes b = field(own);
        ASSERT_EQ(b.size(), 40u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + own.text.size()), own.text);
        EXPECT_TRUE(
            std::all_of(b.begin() + own.text.size(), b.end(), [](auto c) { return c == 0; }));
    }
}

// A coin record: denomination, value length, then `present` value bytes.
bytes Coin(std::uint8_t d, std::uint32_t length, std::size_t present) {
    bytes record{d};
    for (int i = 0; i < 4; ++i) {
        record.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    record.insert(record.end(), present, 0x01);
    return record;
}

bytes List(std::uint32_t count, const std::vector<bytes>& coins, bytes tail = {}) {
    bytes list{static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
               static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
    for (const bytes& coin : coins) {
        list.insert(list.end(), coin.begin(), coin.end());
    }
    list.insert(list.end(), tail.begin(), tail.end());
    return list;
}

struct coinCase {
    const char* label;
    bytes list;
    std::optional<std::pair<std::uint32_t, std::int32_t>> total; // count, amount
};

TEST(msgCatalogTest, ReadCoinListTotalsValidListsAndRefusesOthers) {
    const std::vector<coinCase> cases{
        {"no coins", List(0, {}), std::pair{0u, 0}},
        {"0, 1 and 3", List(3, {Coin(0, 1, 1), Coin(1, 2, 2), Coin(3, 0, 0)}), std::pair{3u, 11}},
        {"0, 0 and 2", List(3, {Coin(0, 64, 64), Coin(0, 64, 64), Coin(2, 64, 64)}),
         std::pair{3u, 6}},
        {"one coin of 3", {1, 0, 0, 0, 3, 2, 0, 0, 0, 1, 0}, std::pair{1u, 8}},
        {"highest denomination", List(1, {Coin(9, 1, 1)}), std::pair{1u, 512}},
        {"bytes after the records", List(1, {Coin(2, 1, 1)}, {9, 9, 9}), std::pair{1u, 4}},
        {"the vectors' list", paymentVectors::FromHex(paymentVectors::Data()["coin_list_hex"]),
         std::pair{3u, 6}},
        {"empty", {}, std::nullopt},
        {"shorter than the count", {1, 0, 0}, std::nullopt},
        {"count past the list", List(2, {Coin(0, 1, 1)}), std::nullopt},
        {"largest count", List(0xffffffff, {Coin(0, 1, 1)}), std::nullopt},
        {"record header cut", List(1, {}, {0, 1, 0}), std::nullopt},
        {"value past the list", List(1, {Coin(0, 3, 2)}), std::nullopt},
        {"value length near 2^32", List(1, {Coin(0, 0xffffffff, 4)}), std::nullopt},
        {"denomination 10", List(1, {Coin(10, 1, 1)}), std::nullopt},
        {"denomination 31", List(1, {Coin(31, 1, 1)}), std::nullopt},
        {"denomination 255", List(1, {Coin(255, 0, 0)}), std::nullopt},
    };
    for (const coinCase& c : cases) {
        const auto total = msgCatalog::ReadCoinList(c.list.data(), static_cast<int>(c.list.size()));
        ASSERT_EQ(total.has_value(), c.total.has_value()) << c.label;
        if (total) {
            EXPECT_EQ(total->count, c.total->first) << c.label;
            EXPECT_EQ(total->amount, c.total->second) << c.label;
        }
    }
}

} // namespace
