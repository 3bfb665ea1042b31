// kestrane-consumer pays a shop played by the test, passes a shop's error on,
// and leaves without paying; the wallet loses coins only to a confirmed
// payment.

#include "bankScript.h"
#include "common/msgCodes.h"
#include "consumerScript.h"
#include "demoWorld.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using mc = msgCodes;

class consumerPay : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.Made());
        coins = {world.Mint(0), world.Mint(3), world.Mint(0), world.Mint(2)};
        std::ofstream(world.Folder() / "wallet.txt") << demoWorld::WalletText(coins);
    }

    // Starts the consumer against the test's shop and accepts its connection.
    std::unique_ptr<consumerScript> Connect(std::vector<std::string> args) {
        args.insert(args.end(), {"--port", std::to_string(listener.Port())});
        consumer = std::make_unique<childProcess>(programPaths::CONSUMER, args, world.Folder());
        return std::make_unique<consumerScript>(listener.Accept(), *world.shopKey);
    }

    std::string Wallet() const {
        std::ifstream in(world.Folder() / "wallet.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    demoWorld world;
    std::vector<mintedCoin> coins;
    scriptedListener listener;
    std::unique_ptr<childProcess> consumer;
};

TEST_F(consumerPay, AConfirmedPaymentTakesItsCoinsFromTheWallet) {
    auto shop = Connect({"pay", "--amount", "6"});
    shop->AcceptKey();
    shop->ExpectKeyCheckReply();
    const auto paid = shop->ExpectCoinList();
    // The largest coins first: 4, then the two coins of 1.
    ASSERT_EQ(paid.size(), 3u);
    EXPECT_EQ(paid[0].value, coins[3].record.value);
    EXPECT_EQ(paid[1].value, coins[0].record.value);
    EXPECT_EQ(paid[2].value, coins[2].record.value);
    shop->SendReceipt(3);
    shop->SendConfirmation(6);
    shop->ExpectFinalReply();
    shop->SendClose();
    EXPECT_EQ(consumer->Wait(), 0) << consumer->Output() << consumer->Errors();
    const std::string& out = consumer->Output();
    for (const char* line : {"Sent key offer\n", "Shop signature verified\n", "Key check passed\n",
                             "Sent coin list: 3 coins, amount 6\n", "Shop received 3 coins\n",
                             "Payment confirmed: 6\n", "Shop closed the session\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    EXPECT_EQ(Wallet(), demoWorld::WalletText({coins[1]}));
}

TEST_F(consumerPay, ChosenCoinsStayInTheWalletWithKeep) {
    auto shop = Connect({"pay", "--coin", "2", "--coin", "1", "--keep"});
    shop->AcceptKey();
    shop->ExpectKeyCheckReply();
    const auto paid = shop->ExpectCoinList();
    ASSERT_EQ(paid.size(), 2u);
    EXPECT_EQ(paid[0].value, coins[1].record.value);
    EXPECT_EQ(paid[1].value, coins[0].record.value);
    shop->SendReceipt(2);
    shop->SendConfirmation(9);
    shop->ExpectFinalReply();
    shop->SendClose();
    EXPECT_EQ(consumer->Wait(), 0) << consumer->Output();
    EXPECT_EQ(Wallet(), demoWorld::WalletText(coins));
}

TEST_F(consumerPay, PassesTheShopsErrorTextOnAndKeepsTheCoins) {
    auto shop = Connect({"pay", "--amount", "8"});
    shop->AcceptKey();
    shop->ExpectKeyCheckReply();
    shop->ExpectCoinList();
    shop->SendReceipt(1);
    shop->SendError("Coin already spent");
    shop->SendClose();
    EXPECT_EQ(consumer->Wait(), 1);
    EXPECT_NE(consumer->Output().find("Shop error: Coin already spent\nShop closed the session\n"),
              std::string::npos)
        << consumer->Output();
    EXPECT_EQ(Wallet(), demoWorld::WalletText(coins));
}

TEST_F(consumerPay, LeavesWithoutPaying) {
    auto shop = Connect({"leave"});
    shop->AcceptKey();
    shop->ExpectKeyCheckReply();
    shop->ExpectLeave();
    shop->SendClose();
    EXPECT_EQ(consumer->Wait(), 0) << consumer->Output();
    EXPECT_NE(consumer->Output().find("Sent leave notice\nShop closed the session\n"),
              std::string::npos);
    EXPECT_EQ(Wallet(), demoWorld::WalletText(coins));
}

TEST_F(consumerPay, SendsNoCoinsWhenTheSignatureIsNotTheShops) {
    auto shop = Connect({"pay", "--amount", "1"});
    // The key text read right, but signed back with another key.
    const bytes offer = shop->peer.Expect(mc::PKT_KEY, 0);
    ASSERT_EQ(offer.size(), 64u);
    std::uint8_t text[64];
    ASSERT_EQ(world.shopKey->Decrypt(offer.data(), text), 53);
    shop->peer.SetKey(bytes(text, text + 53));
    bytes signature(64);
    world.bankKey->Sign(text, signature.data(), 53);
    shop->peer.SendSealed(mc::PKT_REPLY, 1, signature);
    shop->peer.SendSealed(mc::PKT_DATA, 2, byteUtil::Le32(mc::KEY_CHECK_VALUE));
    EXPECT_EQ(consumer->Wait(), 1);
    EXPECT_NE(consumer->Output().find("Failed: the shop's signature does not verify"),
              std::string::npos)
        << consumer->Output();
    packetIn more; // no key-check reply, no coin list: the connection just ends
    EXPECT_NE(shop->peer.Receive(more), linkResult::PACKET);
    EXPECT_EQ(Wallet(), demoWorld::WalletText(coins));
}

TEST_F(consumerPay, RefusesAnAmountTheWalletCannotMakeExactly) {
    const toolRun run =
        RunTool(programPaths::CONSUMER, {"pay", "--amount", "16", "--port", "9"}, world.Folder());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no coins adding up to exactly 16 (it holds 4 coins worth 14)"),
              std::string::npos)
        << run.err;
}

// The wallet's own coins, paid to the test's shop, which hands them to the
// real bank as a shop does: accepted once, refused when spent again.
TEST(walletToBank, WithdrawnCoinsAreAcceptedOnceThroughAShop) {
    demoWorld world;
    ASSERT_TRUE(world.Made());
    runningBank bank = StartBank(world.Folder());
    ASSERT_TRUE(bank.Ready());
    const toolRun withdraw = RunTool(
        programPaths::CONSUMER, {"withdraw", "0", "2", "--port", std::to_string(bank.withdrawPort)},
        world.Folder());
    ASSERT_EQ(withdraw.status, 0) << withdraw.out << withdraw.err;

    scriptedListener listener;
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first payment" : "the same coins again");
        childProcess consumer(
            programPaths::CONSUMER,
            {"pay", "--amount", "5", "--keep", "--port", std::to_string(listener.Port())},
            world.Folder());
        consumerScript shop(listener.Accept(), *world.shopKey);
        shop.AcceptKey();
        shop.ExpectKeyCheckReply();
        const auto coins = shop.ExpectCoinList();
        shop.SendReceipt(static_cast<std::uint32_t>(coins.size()));
        const auto result =
            bankScript(bank.paymentPort, world.shopId, *world.shopKey, world.bankKey->PublicKey())
                .Pay(shop.list, 5);
        if (first) {
            EXPECT_TRUE(result.accepted) << result.error;
            shop.SendConfirmation(5);
            shop.ExpectFinalReply();
            shop.SendClose();
            EXPECT_EQ(consumer.Wait(), 0) << consumer.Output();
        } else {
            EXPECT_EQ(result.error, "Coin already spent");
            shop.SendError(result.error, result.errorStep);
            shop.SendClose();
            EXPECT_EQ(consumer.Wait(), 1);
            EXPECT_NE(consumer.Output().find("Shop error: Coin already spent"), std::string::npos);
        }
    }
}

TEST(consumerOptions, RefusesAWrongCommandLine) {
    const scratchFolder folder;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"spend"},
             {"pay", "--port", "9"},
             {"pay", "--port", "9", "--amount", "3", "--coin", "1"},
             {"pay", "--amount", "3"},
             {"withdraw", "--port", "9"},
             {"withdraw", "10", "--port", "9"},
             {"withdraw", "--amount", "65537", "--port", "9"},
             {"leave", "--port", "9", "--keep"},
             {"list", "--amount", "2"},
             {"pay", "--port", "0", "--amount", "1"},
             {"pay", "--port", "9", "--coin", "0"},
             {"list", "--frobnicate", "x"},
         }) {
        const toolRun run = RunTool(programPaths::CONSUMER, args, folder.path);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: kestrane-consumer"), std::string::npos);
    }
    const toolRun help = RunTool(programPaths::CONSUMER, {"--help"}, folder.path);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Wallet file:"), std::string::npos);
    const toolRun empty = RunTool(programPaths::CONSUMER, {"list"}, folder.path);
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "Wallet wallet.txt: 0 coins, worth 0\n");
    std::ofstream(folder.path / "wallet.txt") << "kestrane-wallet 1\n0 00 11\n";
    const toolRun damaged = RunTool(programPaths::CONSUMER, {"list"}, folder.path);
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("wallet.txt: line 2 is damaged"), std::string::npos);
}

} // namespace
