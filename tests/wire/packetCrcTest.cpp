#include "wire/packetCrc.h"

#include "wireVectors.h"

#include <gtest/gtest.h>

namespace {

TEST(packetCrcTest, ComputesCrc16Xmodem) {
    const packetCrc crc;
    const bytes digits{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc.ComputeCrc(0, digits.data(), 9), 0x31C3);
    // Continuing from a partial result gives the result over the whole.
    EXPECT_EQ(crc.ComputeCrc(crc.ComputeCrc(0, digits.data(), 4), digits.data() + 4, 5), 0x31C3);
    for (std::uint16_t start : {0x0000, 0x1234, 0xFFFF}) {
        EXPECT_EQ(crc.ComputeCrc(start, digits.data(), 0), start);
    }
}

TEST(packetCrcTest, AppendStoresBigEndianAndCheckFindsAnyChangedByte) {
    const packetCrc crc;
    bytes buffer{'a', 'b', 'c', 0, 0};
    crc.AppendCrc(buffer.data(), 3);
    EXPECT_EQ(buffer, (bytes{'a', 'b', 'c', 0x9D, 0xD6}));
    EXPECT_TRUE(crc.CheckCrc(buffer.data(), 5));
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        bytes damaged = buffer;
        damaged[i] ^= 0x01;
        EXPECT_FALSE(crc.CheckCrc(damaged.data(), 5)) << "byte " << i;
    }
    bytes empty{0xAB, 0xCD};
    crc.AppendCrc(empty.data(), 0);
    EXPECT_EQ(empty, (bytes{0, 0}));
    EXPECT_TRUE(crc.CheckCrc(empty.data(), 2));
    EXPECT_FALSE(crc.CheckCrc(empty.data(), 1));
}

} // namespace
