// Whole payments with the real programs only: `kestrane --headless` with keys
// from kestrane-keygen, kestrane-bank (with its test switches) and
// kestrane-consumer, over 127.0.0.1. One row for each way a session ends that
// the real tools can bring about: what the consumer prints and its exit
// status, the shop's activity lines in order, and the records of log.kst.

#include "childProcess.h"
#include "demoWorld.h"
#include "scriptedPeer.h"
#include "shopProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lines = std::vector<std::string>;

constexpr const char* CONNECT = "Consumer connect request.";
constexpr const char* BANK_UP = "Connected to bank.";
constexpr const char* BANK_GONE = "Disconnected from bank.";
constexpr const char* CONSUMER_GONE = "Consumer disconnected.";
constexpr const char* BANK_DOWN = "Could not verify coins because bank is down";
constexpr const char* SWITCH_ERROR = "Refused by the bank (test switch)";

struct ending {
    const char* label;
    std::vector<std::string> bankSwitches;
    bool bankReachable;
    bool spendTwice;                // pay once (keeping the coins), then again with them
    std::vector<std::string> order; // the consumer's command
    int status;                     // the consumer's exit status
    std::string said;               // a line the consumer prints
    lines activity;                 // of the (last) session
    lines logged;                   // log.kst after every session
};

void PrintTo(const ending& row, std::ostream* out) {
    *out << row.label;
}

const std::vector<std::string> PAY_11{"pay", "--amount", "11"};

const ending ENDINGS[] = {
    {"confirmedThenFinalReply",
     {},
     true,
     false,
     PAY_11,
     0,
     "Payment confirmed: 11",
     {CONNECT, BANK_UP, BANK_GONE, CONSUMER_GONE},
     {"P S 11\n"}},
    {"consumerLeaves",
     {},
     true,
     false,
     {"leave"},
     0,
     "Left the shop without paying",
     {CONNECT, CONSUMER_GONE},
     {}},
    {"bankUnreachable",
     {},
     false,
     false,
     PAY_11,
     1,
     std::string("Shop error: ") + BANK_DOWN,
     {CONNECT, BANK_DOWN, CONSUMER_GONE},
     {}},
    {"keyReplyFailsTheCheck",
     {"--sign-other-text"},
     true,
     false,
     PAY_11,
     1,
     std::string("Shop error: ") + BANK_DOWN,
     {CONNECT, BANK_UP, BANK_DOWN, CONSUMER_GONE},
     {}},
    {"wrongIdentityReceipt",
     {"--wrong-shop-id"},
     true,
     false,
     PAY_11,
     1,
     std::string("Shop error: ") + BANK_DOWN,
     {CONNECT, BANK_UP, BANK_DOWN, CONSUMER_GONE},
     {}},
    {"coinSpentTwice",
     {},
     true,
     true,
     PAY_11,
     1,
     "Shop error: Coin already spent",
     {CONNECT, BANK_UP, "Coin already spent", CONSUMER_GONE, BANK_GONE},
     {"P S 11\n", "P F 11\n"}},
    {"bankErrorAtItsConfirmation",
     {"--error-at", "confirmation"},
     true,
     false,
     PAY_11,
     1,
     std::string("Shop error: ") + SWITCH_ERROR,
     {CONNECT, BANK_UP, SWITCH_ERROR, CONSUMER_GONE, BANK_GONE},
     {"P F 11\n"}},
    {"bankClosesBeforeBankClose",
     {"--drop-at", "close"},
     true,
     false,
     PAY_11,
     1,
     std::string("Shop error: ") + BANK_DOWN,
     {CONNECT, BANK_UP, BANK_DOWN, CONSUMER_GONE, BANK_GONE},
     {"P F 11\n"}},
};

class realTools : public ::testing::TestWithParam<ending> {
protected:
    // kestrane-consumer in the world's folder, run to its end.
    toolRun Consumer(std::vector<std::string> args, std::uint16_t port) const {
        args.insert(args.end(), {"--port", std::to_string(port)});
        return RunTool(programPaths::CONSUMER, args, world.Folder());
    }

    demoWorld world;
    shopProcess shop;
};

TEST_P(realTools, EndsTheSessionAsTheTableSays) {
    const ending& row = GetParam();
    ASSERT_TRUE(world.Made());
    const runningBank bank = StartBank(world.Folder(), row.bankSwitches);
    ASSERT_TRUE(bank.Ready());
    // Coins of 1, 2 and 8, withdrawn from the bank through blind signatures.
    const toolRun withdrawal = Consumer({"withdraw", "0", "1", "3"}, bank.withdrawPort);
    ASSERT_EQ(withdrawal.status, 0) << withdrawal.out << withdrawal.err;

    shop.CopyKeysFrom(world.Folder());
    shop.WriteAddresses(row.bankReachable ? bank.paymentPort : UnusedPort());
    const unsigned int port = shop.StartListening();
    ASSERT_NE(port, 0u);
    const auto shopPort = static_cast<std::uint16_t>(port);

    if (row.spendTwice) {
        std::vector<std::string> keep = row.order;
        keep.push_back("--keep");
        const toolRun first = Consumer(keep, shopPort);
        ASSERT_EQ(first.status, 0) << first.out << first.err;
        ASSERT_EQ(shop.NextActivities(4), (lines{CONNECT, BANK_UP, BANK_GONE, CONSUMER_GONE}));
    }
    const toolRun run = Consumer(row.order, shopPort);
    EXPECT_EQ(run.status, row.status) << run.out << run.err;
    EXPECT_NE(run.out.find(row.said + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(shop.NextActivities(row.activity.size()), row.activity);

    EXPECT_EQ(shop.Stop(), 0);
    EXPECT_EQ(shop.RestOfActivities(), lines{});
    EXPECT_EQ(shop.LoggedTexts(), row.logged);
}

INSTANTIATE_TEST_SUITE_P(realToolsTest, realTools, ::testing::ValuesIn(ENDINGS),
                         [](const ::testing::TestParamInfo<ending>& test) {
                             return test.param.label;
                         });

} // namespace
