#include "wire/mssgPacket.h"

#include "scopedRecorder.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(mssgPacketTest, ShorthandSettersFillTypeStepDataLengthAndChecksum13) {
    const std::uint8_t data[3] = {1, 2, 3};
    using setter = std::function<void(mssgPacket&)>;
    const struct {
        setter set;
        std::uint8_t type;
        std::uint8_t step;
    } cases[] = {
        {[&](mssgPacket& p) { p.SetKeyPacket(data, 3); }, 1, 0},
        {[&](mssgPacket& p) { p.SetReplyPacket(8, data, 3); }, 2, 8},
        {[&](mssgPacket& p) { p.SetIdentPacket(data, 3); }, 4, 0},
        {[&](mssgPacket& p) { p.SetAmountPacket(1, data, 3); }, 8, 1},
        {[&](mssgPacket& p) { p.SetDataPacket(4, data, 3); }, 16, 4},
        {[&](mssgPacket& p) { p.SetErrorPacket(2, data, 3); }, 32, 2},
        {[&](mssgPacket& p) { p.SetClosePacket(data, 3); }, 64, 0},
    };
    for (const auto& c : cases) {
        mssgPacket packet;
        packet.SetPacket(0xFF, 0xFF, nullptr, 99);
        c.set(packet);
        EXPECT_EQ(packet.GetType(), c.type);
        EXPECT_EQ(packet.GetStep(), c.step);
        EXPECT_EQ(packet.GetLength(), 3);
        EXPECT_EQ(packet.GetChecksum(), 13);
        EXPECT_EQ(packet.GetData(), data);
    }
}

TEST(mssgPacketTest, ShowHeaderShowsTypeAndStepInHexLengthAndChecksumInDecimal) {
    scopedRecorder recorder;
    mssgPacket packet;
    packet.SetDataPacket(2, nullptr, 16);
    packet.ShowHeader();
    packet.SetClosePacket(nullptr, 2);
    packet.ShowHeader();
    packet.SetPacket(0xAB, 0x0C, nullptr, -5);
    packet.ShowHeader();
    EXPECT_EQ(recorder.Texts(),
              (std::vector<std::string>{"10 2 16 13", "40 0 2 13", "AB C -5 13"}));
}

} // namespace
