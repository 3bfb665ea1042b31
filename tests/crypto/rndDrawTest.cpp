#include "crypto/rndDraw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

// The minimal standard generator written out step by step, to hold the
// library's generator to it.
struct referenceGenerator {
    uint32_t s;
    uint8_t Next() {
        const uint32_t hi = s / 44488, lo = s % 44488;
        const int32_t t = static_cast<int32_t>(48271 * lo - 3399 * hi);
        s = t > 0 ? static_cast<uint32_t>(t) : static_cast<uint32_t>(t + 2147483647);
        return static_cast<uint8_t>(s ^ s >> 8 ^ s >> 16 ^ s >> 24);
    }
};

bytes Draw(uint32_t seed, size_t n) {
    lcRng rng(seed);
    bytes out(n);
    for (auto& b : out)
        b = rndDraw::Byte(rng);
    return out;
}

TEST(rndDraw, OutputBytesFollowTheMinimalStandardGenerator) {
    for (uint32_t seed :
         {0u, 1u, 4u, 4030u, 9375u, 123456789u, 0x7FFFFFFEu, 0x80000000u, 0xFFFFFFFFu}) {
        referenceGenerator ref{seed};
        bytes expected(5000);
        for (auto& b : expected)
            b = ref.Next();
        EXPECT_EQ(Draw(seed, expected.size()), expected) << "seed " << seed;

        lcRng rng(seed);
        bytes block(expected.size());
        rndDraw::Block(rng, block.data(), block.size());
        EXPECT_EQ(block, expected) << "seed " << seed;
    }
}

TEST(rndDraw, KnownStatesAndBytes) {
    lcRng one(1);
    EXPECT_EQ(rndDraw::Byte(one), 0x33);
    EXPECT_EQ(one.State(), 48271u);
    EXPECT_EQ(Draw(1, 4), (bytes{0x33, 0x5D, 0xEC, 0x7E}));

    lcRng zero(0);
    rndDraw::Byte(zero);
    EXPECT_EQ(zero.State(), 2147483647u);

    // The fifth step from seed 1 is the first with a negative intermediate
    // value (-68814606), which wraps to 2^31 - 1 less.
    lcRng fifth(1);
    for (int i = 0; i < 5; ++i)
        rndDraw::Byte(fifth);
    EXPECT_EQ(fifth.State(), 2078669041u);
}

TEST(rndDraw, BytesFromOneTo255) {
    struct draws {
        uint32_t seed;
        bytes expected;
    };
    for (const auto& [seed, expected] : {
             draws{9375, {0x0B, 0xFE, 0x53, 0xFE, 0x1A, 0xDB, 0x8B, 0x3A}},
             draws{4, {0xCD, 0x76, 0xB1, 0x7C, 0xDD, 0xF7, 0x03, 0x29, 0x34}},
         }) {
        lcRng rng(seed);
        bytes got(expected.size());
        for (auto& b : got)
            b = rndDraw::NonZeroByte(rng);
        EXPECT_EQ(got, expected) << "seed " << seed;
    }
}

TEST(rndDraw, ByteFromOneTo255SkipsOutput255) {
    // The first seed whose first output byte is 255.
    uint32_t seed = 1;
    while (Draw(seed, 1)[0] != 255)
        ++seed;
    const bytes raw = Draw(seed, 3);
    lcRng rng(seed);
    const uint8_t expected = raw[1] == 255 ? raw[2] + 1 : raw[1] + 1;
    EXPECT_EQ(rndDraw::NonZeroByte(rng), expected);
}

TEST(rndDraw, NumberOfKBits) {
    const bytes raw = Draw(1, 700);
    struct number {
        unsigned bits;
        size_t taken;
    };
    for (const auto& [bits, taken] :
         {number{0, 1}, number{12, 2}, number{32, 5}, number{33, 5}, number{5130, 642}}) {
        lcRng rng(1);
        const CryptoPP::Integer x = rndDraw::Number(rng, bits);
        bytes expected(raw.begin(), raw.begin() + static_cast<long>(taken));
        expected[0] &= static_cast<uint8_t>((1u << bits % 8) - 1);
        EXPECT_EQ(x, CryptoPP::Integer(expected.data(), expected.size())) << bits << " bits";
        EXPECT_LE(x.BitCount(), bits);
        EXPECT_EQ(rndDraw::Byte(rng), raw[taken]) << bits << " bits";
    }
}

} // namespace
