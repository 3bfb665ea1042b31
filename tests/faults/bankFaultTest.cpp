// Banks that refuse, close, stall, answer garbage or cannot be reached, at
// each step of the bank conversation (the real kestrane-bank and its test
// switches): the consumer hears the outcome, the payment is logged once as
// what it became, and the shop gives back every descriptor and thread.

#include "faultConsumer.h"
#include "faultWorld.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

namespace {

const std::string BANK_DOWN = "Could not verify coins because bank is down";
const std::string REFUSED = "Refused by the bank (test switch)";
const std::vector<std::uint8_t> COINS{1, 2}; // worth 6

// What one payment comes to.
struct expectation {
    std::string consumerHears; // the shop's error text, or empty: confirmed
    const char* logged;        // the record logged, or none
    const char* message;       // the operator's message, if any
};

struct bankFault {
    std::string name;
    faultWorld::bankSetting bank;
    expectation expected;
    bool stalls = false; // the bank says nothing more until it is stopped
};

const expectation CONFIRMED{"", "P S 6\n", nullptr};
const expectation FAILED_BANK_DOWN{BANK_DOWN, "P F 6\n", nullptr};
const expectation CHECK_FAILED{BANK_DOWN, nullptr, nullptr};

std::vector<bankFault> Faults() {
    const std::vector<std::string> points{"signature", "identity",     "request",
                                          "receipt",   "confirmation", "close"};
    const auto capital = [](std::string name) {
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        return name;
    };
    std::vector<bankFault> faults;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::string& at = points[i];
        const std::string where = capital(at);
        faults.push_back({"ErrorAt" + where, {{"--error-at", at}}, {REFUSED, "P F 6\n", nullptr}});
        faults.push_back({"DropAt" + where, {{"--drop-at", at}}, FAILED_BANK_DOWN});
        // The stalled session fails once the bank is stopped.
        faults.push_back({"SilentAt" + where, {{"--silent-at", at}}, FAILED_BANK_DOWN, true});
        faults.push_back({"SpoiledChecksumsAt" + where,
                          {{"--garbage-at", at, "--garbage", "crc"}},
                          {"", "P S 6\n", "header checksum invalid"}});
        faults.push_back({"OversizedFrameAt" + where,
                          {{"--garbage-at", at, "--garbage", "length"}},
                          {BANK_DOWN, "P F 6\n", "ReceivePacket Error"}});
    }
    // Messages that do not open: the signature and the identity receipt fail
    // the shop's checks; the request and the receipt are not read; a
    // confirmation without its value fails the payment.
    const std::vector<std::pair<std::string, expectation>> sealed{
        {"signature", CHECK_FAILED},
        {"identity", CHECK_FAILED},
        {"request", CONFIRMED},
        {"receipt", CONFIRMED},
        {"confirmation", FAILED_BANK_DOWN}};
    for (const auto& [at, expected] : sealed) {
        faults.push_back({"SealedGarbageAt" + capital(at),
                          {{"--garbage-at", at, "--garbage", "sealed"}},
                          expected});
    }
    faults.push_back({"SignsAnotherText", {{"--sign-other-text"}}, CHECK_FAILED});
    faults.push_back({"WrongShopId", {{"--wrong-shop-id"}}, CHECK_FAILED});
    faults.push_back({"NothingListens", {{}, false}, CHECK_FAILED});
    return faults;
}

std::string RowName(const ::testing::TestParamInfo<bankFault>& row) {
    return row.param.name;
}

void PrintTo(const bankFault& row, std::ostream* out) {
    *out << row.name;
}

class bankFaultTest : public ::testing::TestWithParam<bankFault> {};

TEST_P(bankFaultTest, IsToldLoggedOnceAndLeavesNothingBehind) {
    const bankFault& row = GetParam();
    faultWorld scene(row.bank);
    ASSERT_NE(scene.shopPort, 0);
    faultConsumer paying(scene.shopPort, scene.world, COINS);
    ASSERT_TRUE(paying.PlayTo(faultConsumer::COINS_SENT));

    if (row.stalls) {
        // Once the bank has gone silent, it holds this session only: another
        // consumer is served meanwhile. Then the bank is stopped.
        ASSERT_TRUE(scene.bank.process->WaitForLine("Payment test switch: silent"));
        faultConsumer other(scene.shopPort, scene.world, {0});
        EXPECT_TRUE(other.PlayTo(faultConsumer::KEY_CHECKED));
        other.peer.SendSealed(16, 8, {}); // leave notice
        EXPECT_FALSE(other.peer.Expect(64, 0).empty());
        EXPECT_TRUE(other.peer.PeerClosed());
        EXPECT_TRUE(paying.peer.Quiet());
        scene.bank.process->Signal(SIGKILL);
        scene.bank.process->Wait();
    }
    if (row.expected.consumerHears.empty()) {
        EXPECT_TRUE(paying.PlayTo(faultConsumer::FINISHED));
    } else {
        EXPECT_EQ(paying.ExpectErrorAndClose(), row.expected.consumerHears);
    }
    if (row.expected.message != nullptr) {
        EXPECT_EQ(scene.shop.process.WaitForErrorLine(row.expected.message), row.expected.message);
    }

    EXPECT_TRUE(scene.ShopRecovered());
    for (const char* record : {"P S 6\n", "P F 6\n"}) {
        const bool expected =
            row.expected.logged != nullptr && std::string(row.expected.logged) == record;
        EXPECT_EQ(scene.Logged(record), expected ? 1 : 0) << record;
    }
    EXPECT_EQ(scene.shop.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(everyStep, bankFaultTest, ::testing::ValuesIn(Faults()), RowName);

} // namespace
