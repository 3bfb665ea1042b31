// Consumers that go away at every step of their conversation, or send what
// is no frame the shop can take: the shop goes on serving, the honest payment
// beside them completes and is logged once, and the shop gives back every
// descriptor and thread their sessions took.

#include "faultConsumer.h"
#include "faultWorld.h"

#include "common/msgCodes.h"
#include "common/peerLink.h"
#include "wire/packetCrc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using stage = faultConsumer::stage;

// The honest payment is of one coin worth 1; the others pay 2.
const std::vector<std::uint8_t> HONEST_COINS{0};
const std::vector<std::uint8_t> OTHER_COINS{1};

struct consumerExit {
    const char* name;
    stage after; // the last step it takes
    bool reset;  // a reset instead of an orderly close
};

// The test name of a table row.
template <typename Row> std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

template <typename Row> void PrintRow(const Row& row, std::ostream* out) {
    *out << row.name;
}

void PrintTo(const consumerExit& row, std::ostream* out) {
    PrintRow(row, out);
}

class consumerExitTest : public ::testing::TestWithParam<consumerExit> {};

TEST_P(consumerExitTest, LeavesTheShopServingAndHoldingNothing) {
    faultWorld scene;
    ASSERT_NE(scene.shopPort, 0);
    faultConsumer leaving(scene.shopPort, scene.world, OTHER_COINS);
    ASSERT_TRUE(leaving.PlayTo(GetParam().after));

    faultConsumer honest(scene.shopPort, scene.world, HONEST_COINS);
    EXPECT_TRUE(honest.PlayTo(faultConsumer::FINISHED));
    if (GetParam().reset) {
        leaving.peer.Reset();
    } else {
        leaving.peer.Close();
    }

    EXPECT_TRUE(scene.ShopRecovered());
    EXPECT_EQ(scene.Logged("P S 1\n"), 1);
    // Coins that reached the bank are paid, and logged, whatever the
    // consumer does afterwards.
    EXPECT_EQ(scene.Logged("P S 2\n"), GetParam().after >= faultConsumer::COINS_SENT ? 1 : 0);
    EXPECT_EQ(scene.Logged("P F 2\n"), 0);
    EXPECT_EQ(scene.shop.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    everyStep, consumerExitTest,
    ::testing::Values(consumerExit{"AtOnce", faultConsumer::CONNECTED, false},
                      consumerExit{"AtOnceReset", faultConsumer::CONNECTED, true},
                      consumerExit{"AfterKeyOffer", faultConsumer::KEY_OFFERED, false},
                      consumerExit{"AfterKeyOfferReset", faultConsumer::KEY_OFFERED, true},
                      consumerExit{"AfterKeyCheck", faultConsumer::KEY_CHECKED, false},
                      consumerExit{"AfterKeyCheckReset", faultConsumer::KEY_CHECKED, true},
                      consumerExit{"AfterCoins", faultConsumer::COINS_SENT, false},
                      consumerExit{"AfterCoinsReset", faultConsumer::COINS_SENT, true},
                      consumerExit{"AfterConfirmation", faultConsumer::CONFIRMED, false},
                      consumerExit{"AfterConfirmationReset", faultConsumer::CONFIRMED, true}),
    RowName<consumerExit>);

// Bytes that are no frame the shop can take, or a frame it takes although
// its checksums are spoiled, sent after some step.
enum class garbageOutcome {
    ENDS,    // the shop ends the session and closes the connection
    GOES_ON, // the shop takes the frame, and the payment goes on to its end
    WAITS,   // the shop waits inside the frame until the consumer goes
};

struct consumerGarbage {
    const char* name;
    stage after;                       // sent after this step
    bytes (*make)(faultConsumer& who); // what is sent
    garbageOutcome outcome;
    const char* message; // the operator's message, if any
};

// A frame header announcing `length` data bytes, with its right checksum.
bytes Header(std::uint8_t type, std::uint8_t step, std::uint32_t length) {
    bytes header{type, step};
    byteUtil::PutLe32(header, length);
    header.resize(8);
    packetCrc().AppendCrc(header.data(), 6);
    return header;
}

void PrintTo(const consumerGarbage& row, std::ostream* out) {
    PrintRow(row, out);
}

class consumerGarbageTest : public ::testing::TestWithParam<consumerGarbage> {};

TEST_P(consumerGarbageTest, HoldsOnlyItsOwnSession) {
    const consumerGarbage& row = GetParam();
    faultWorld scene;
    ASSERT_NE(scene.shopPort, 0);
    faultConsumer hostile(scene.shopPort, scene.world, OTHER_COINS);
    ASSERT_TRUE(hostile.PlayTo(row.after));
    ASSERT_TRUE(hostile.peer.SendRaw(row.make(hostile)));
    if (row.message != nullptr) {
        EXPECT_EQ(scene.shop.process.WaitForErrorLine(row.message), row.message);
    }
    if (row.outcome == garbageOutcome::ENDS) {
        EXPECT_TRUE(hostile.ConnectionEnds());
    } else if (row.outcome == garbageOutcome::GOES_ON) {
        EXPECT_TRUE(hostile.PlayTo(faultConsumer::FINISHED));
    }

    // Served while that session waits, or after it.
    faultConsumer honest(scene.shopPort, scene.world, HONEST_COINS);
    EXPECT_TRUE(honest.PlayTo(faultConsumer::FINISHED));
    hostile.peer.Close();
    EXPECT_TRUE(scene.ShopRecovered());
    EXPECT_EQ(scene.Logged("P S 1\n"), 1);
    EXPECT_EQ(scene.Logged("P S 2\n"), row.outcome == garbageOutcome::GOES_ON ? 1 : 0);
    EXPECT_EQ(scene.shop.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    hostileBytes, consumerGarbageTest,
    ::testing::Values(
        // A header whose length reads as negative.
        consumerGarbage{"NoFrameAtAll", faultConsumer::CONNECTED,
                        [](faultConsumer&) { return bytes(64, 0xA5); }, garbageOutcome::ENDS,
                        "ReceivePacket Error"},
        // Lengths beyond what the shop takes: just above 1 MiB, and 2^31 - 1.
        consumerGarbage{
            "JustTooLong", faultConsumer::KEY_OFFERED,
            [](faultConsumer&) { return Header(msgCodes::PKT_DATA, 1, (1u << 20) + 1); },
            garbageOutcome::ENDS, "ReceivePacket Error"},
        consumerGarbage{"Oversized", faultConsumer::KEY_CHECKED,
                        [](faultConsumer&) { return Header(msgCodes::PKT_DATA, 1, 0x7FFFFFFF); },
                        garbageOutcome::ENDS, "ReceivePacket Error"},
        // The largest frame taken, of no use in its state: read whole and
        // dropped.
        consumerGarbage{"LargestFrameIgnored", faultConsumer::KEY_CHECKED,
                        [](faultConsumer&) {
                            return peerLink::Frame(msgCodes::PKT_CLOSE, 9, bytes(1u << 20, 0x77));
                        },
                        garbageOutcome::GOES_ON, nullptr},
        // Spoiled checksums are told to the operator, and the frame (here
        // the key-check reply) is still taken.
        consumerGarbage{"SpoiledChecksums", faultConsumer::KEY_OFFERED,
                        [](faultConsumer& who) {
                            bytes frame = peerLink::Frame(
                                msgCodes::PKT_REPLY, 8,
                                who.peer.Link().Seal(byteUtil::Le32(msgCodes::KEY_CHECK_VALUE)));
                            frame[7] ^= 0x5A;
                            frame.back() ^= 0x5A;
                            return frame;
                        },
                        garbageOutcome::GOES_ON, "header checksum invalid"},
        // Half a frame: the session waits for the rest until the consumer
        // goes.
        consumerGarbage{"CutShort", faultConsumer::KEY_CHECKED,
                        [](faultConsumer&) {
                            const bytes frame =
                                peerLink::Frame(msgCodes::PKT_DATA, 1, bytes(100, 1));
                            return bytes(frame.begin(), frame.begin() + 50);
                        },
                        garbageOutcome::WAITS, nullptr}),
    RowName<consumerGarbage>);

} // namespace
