// kestrane-consumer withdraws coins from kestrane-bank; the bank refuses
// withdrawal requests it cannot sign.

#include "common/coinFormat.h"
#include "common/msgCodes.h"
#include "demoWorld.h"
#include "scriptedPeer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using mc = msgCodes;

class withdrawal : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.Made());
        bank = StartBank(world.Folder());
        ASSERT_TRUE(bank.Ready());
    }

    toolRun Consumer(std::vector<std::string> args) {
        args.insert(args.end(), {"--port", std::to_string(bank.withdrawPort)});
        return RunTool(programPaths::CONSUMER, args, world.Folder());
    }

    demoWorld world;
    runningBank bank;
};

TEST_F(withdrawal, CoinsOfSeveralDenominationsReachTheWalletAndItsList) {
    const toolRun first = Consumer({"withdraw", "0", "3", "9"});
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    const toolRun second = Consumer({"withdraw", "--amount", "6"}); // 4 + 2
    ASSERT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_TRUE(bank.process->WaitForLine("Withdrawal: signed 3 coins, denominations 0 3 9"));
    EXPECT_TRUE(bank.process->WaitForLine("Withdrawal: signed 2 coins, denominations 2 1"));

    const toolRun list = RunTool(programPaths::CONSUMER, {"list"}, world.Folder());
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("Wallet wallet.txt: 5 coins, worth 527\n"), std::string::npos)
        << list.out;

    // Every coin in the wallet is the coin key's signature of its own coin
    // message: the public function gives back the message of its serial.
    std::ifstream wallet(world.Folder() / "wallet.txt");
    std::string line;
    ASSERT_TRUE(std::getline(wallet, line));
    EXPECT_EQ(line, "kestrane-wallet 1");
    std::vector<int> denominations;
    while (std::getline(wallet, line)) {
        std::istringstream fields(line);
        int d = -1;
        std::string serial, value;
        ASSERT_TRUE(fields >> d >> serial >> value) << line;
        const auto coin = byteUtil::FromHex(value);
        ASSERT_TRUE(coin && d >= 0 && d < mc::COIN_KEYS) << line;
        CryptoPP::Integer m;
        world.coinKeys[d].PublicKey().ApplyFunction(CryptoPP::Integer(coin->data(), coin->size()),
                                                    m);
        const auto ident = coinFormat::Parse(m);
        ASSERT_TRUE(ident) << line;
        EXPECT_EQ(ident->denomination, d);
        EXPECT_EQ(ident->SerialText(), serial);
        EXPECT_NE(list.out.find("serial " + serial), std::string::npos);
        denominations.push_back(d);
    }
    EXPECT_EQ(denominations, (std::vector<int>{0, 3, 9, 2, 1}));
}

TEST_F(withdrawal, RequestsTheBankCannotSignAreRefused) {
    const CryptoPP::Integer& n = world.coinKeys[3].Modulus();
    bytes modulus(mc::RSA_BLOCK);
    n.Encode(modulus.data(), modulus.size());
    const bytes one = {1};
    struct refusal {
        const char* name;
        std::uint8_t type;
        std::uint8_t step;
        bytes data;
        std::string text;
    };
    const refusal cases[] = {
        {"no coins", mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode({}),
         "Withdrawal request must ask for 1 to 256 coins"},
        {"cut short", mc::PKT_DATA, mc::WITHDRAW_STEP, bytes{2, 0, 0, 0, 3, 1, 0, 0, 0},
         "Withdrawal request is malformed"},
        {"denomination 10", mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode({{10, one}}),
         "Coin of unknown denomination 10"},
        {"zero", mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode({{3, bytes{0}}}),
         "Blinded number out of range"},
        {"the modulus", mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode({{3, modulus}}),
         "Blinded number out of range"},
        {"a payment message", mc::PKT_KEY, 0, bytes(64, 1),
         "Unexpected message (type 1, step 0): expected a withdrawal request"},
    };
    for (const refusal& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedPeer wallet = scriptedPeer::Connect(bank.withdrawPort);
        // A good request first: the connection serves several.
        wallet.Send(mc::PKT_DATA, mc::WITHDRAW_STEP, coinList::Encode({{3, one}}));
        const auto answer = coinList::Decode(wallet.Expect(mc::PKT_REPLY, mc::WITHDRAW_STEP));
        ASSERT_TRUE(answer && answer->size() == 1);
        EXPECT_EQ(CryptoPP::Integer((*answer)[0].value.data(), (*answer)[0].value.size()),
                  CryptoPP::Integer::One()); // 1^x = 1

        wallet.Send(c.type, c.step, c.data);
        EXPECT_EQ(wallet.ExpectError(mc::WITHDRAW_STEP), c.text);
        EXPECT_TRUE(wallet.PeerClosed());
        EXPECT_TRUE(bank.process->WaitForLine("Withdrawal refused: " + c.text));
    }
}

TEST(withdrawalWallet, TakesNoCoinFromABankThatRefusesOrSignsWrongly) {
    const demoWorld world;
    ASSERT_TRUE(world.Made());
    struct answer {
        const char* name;
        std::uint8_t type;
        bool echo; // answer with the blinded numbers themselves, not signed
        std::string text;
    };
    const answer cases[] = {
        {"refusal", mc::PKT_ERROR, false, "Withdrawal failed: the bank refused: No coins today"},
        {"wrong signature", mc::PKT_REPLY, true,
         "Withdrawal failed: the bank's signature of coin 1 does not verify"},
    };
    for (const answer& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedListener listener;
        childProcess wallet(programPaths::CONSUMER,
                            {"withdraw", "1", "4", "--port", std::to_string(listener.Port())},
                            world.Folder());
        scriptedPeer walletSide = listener.Accept();
        const bytes request = walletSide.Expect(mc::PKT_DATA, mc::WITHDRAW_STEP);
        const auto records = coinList::Decode(request);
        ASSERT_TRUE(records && records->size() == 2);
        EXPECT_EQ((*records)[0].denomination, 1);
        EXPECT_EQ((*records)[1].denomination, 4);
        const std::string refusal = "No coins today";
        if (c.echo)
            walletSide.Send(c.type, mc::WITHDRAW_STEP, request);
        else
            walletSide.Send(c.type, mc::WITHDRAW_STEP, bytes(refusal.begin(), refusal.end()));
        EXPECT_EQ(wallet.Wait(), 1);
        EXPECT_NE(wallet.Output().find(c.text), std::string::npos) << wallet.Output();
        EXPECT_FALSE(std::filesystem::exists(world.Folder() / "wallet.txt"));
    }
}

} // namespace
