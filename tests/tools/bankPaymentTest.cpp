// kestrane-bank accepts a shop's payment, checks the shop, the coins and the
// amount, and refuses a coin spent before, across restarts too.

#include "bankScript.h"
#include "common/msgCodes.h"
#include "crypto/RSARecord.h"
#include "demoWorld.h"
#include "paymentVectors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

namespace {

using mc = msgCodes;

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class bankPayment : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.Made());
        Start();
    }

    void Start(const std::vector<std::string>& args = {}) {
        bank = StartBank(world.Folder(), args);
        ASSERT_TRUE(bank.Ready());
    }

    // Stops the bank as an operator does; it must end cleanly.
    void Stop() {
        bank.process->Signal(SIGTERM);
        EXPECT_EQ(bank.process->Wait(), 0) << bank.process->Errors();
    }

    std::unique_ptr<bankScript> Shop() {
        return std::make_unique<bankScript>(bank.paymentPort, world.shopId, *world.shopKey,
                                            world.bankKey->PublicKey());
    }

    bankScript::outcome Pay(const std::vector<coinRecord>& coins, std::int32_t amount) {
        return Shop()->Pay(coins, amount);
    }

    std::string Register() const { return ReadText(world.Folder() / "spent-coins.txt"); }

    demoWorld world;
    runningBank bank;
};

TEST_F(bankPayment, AcceptsAGoodPaymentAndRegistersItsCoins) {
    const mintedCoin a = world.Mint(0), b = world.Mint(0), c = world.Mint(2);
    const auto result = Pay({a.record, b.record, c.record}, 6);
    EXPECT_TRUE(result.accepted) << result.error;
    EXPECT_EQ(result.transaction, 1u);
    EXPECT_TRUE(
        bank.process->WaitForLine("Payment accepted: transaction 1, amount 6, 3 coins (shop 42)"));
    EXPECT_EQ(Register(), "1 42 0 " + a.ident.SerialText() + "\n1 42 0 " + b.ident.SerialText() +
                              "\n1 42 2 " + c.ident.SerialText() + "\n");
}

TEST_F(bankPayment, RefusesACoinSpentBeforeAlsoAfterARestart) {
    const mintedCoin spent = world.Mint(1), fresh = world.Mint(3), later = world.Mint(0);
    ASSERT_TRUE(Pay({spent.record}, 2).accepted);

    auto again = Pay({fresh.record, spent.record}, 10);
    EXPECT_EQ(again.error, "Coin already spent");
    EXPECT_EQ(again.errorStep, 1);
    EXPECT_TRUE(bank.process->WaitForLine("Payment refused: Coin already spent (shop 42)"));
    // The refused payment spent nothing: its other coin is still good.
    const auto second = Pay({fresh.record}, 8);
    EXPECT_TRUE(second.accepted) << second.error;
    EXPECT_EQ(second.transaction, 2u);

    Stop();
    Start();
    EXPECT_NE(bank.process->Output().find("Shops known: 1; coins spent so far: 2\n"),
              std::string::npos);
    EXPECT_EQ(Pay({spent.record}, 2).error, "Coin already spent");
    EXPECT_EQ(Pay({fresh.record}, 8).error, "Coin already spent");
    const auto third = Pay({later.record}, 1);
    EXPECT_TRUE(third.accepted) << third.error;
    EXPECT_EQ(third.transaction, 3u); // numbers go on from the register
}

TEST_F(bankPayment, RefusesTheSameCoinTwiceInOneList) {
    const mintedCoin coin = world.Mint(4);
    EXPECT_EQ(Pay({coin.record, coin.record}, 32).error, "Coin already spent");
    EXPECT_EQ(Register(), "");
    EXPECT_TRUE(Pay({coin.record}, 16).accepted);
}

TEST_F(bankPayment, RefusesCoinListsThatDoNotHold) {
    const mintedCoin two = world.Mint(1), four = world.Mint(2);
    coinRecord forged{3, bytes(mc::RSA_BLOCK, 0x5A)};
    coinRecord relabelled = four.record;
    relabelled.denomination = 3; // a good coin of 4 passed off as one of 8
    coinRecord padded = two.record;
    padded.value.insert(padded.value.begin(), 0); // 65 bytes
    bytes cut = coinList::Encode({two.record});
    cut.pop_back();
    struct refusal {
        const char* name;
        bytes list;
        std::int32_t amount;
        std::string text;
    };
    const refusal cases[] = {
        {"amount too high", coinList::Encode({two.record, four.record}), 7,
         "Amount does not match the coins"},
        {"amount too low", coinList::Encode({two.record, four.record}), 5,
         "Amount does not match the coins"},
        {"forged coin", coinList::Encode({two.record, forged}), 10, "Coin is not valid"},
        {"coin of another denomination", coinList::Encode({relabelled}), 8, "Coin is not valid"},
        {"coin longer than a block", coinList::Encode({padded}), 2, "Coin is not valid"},
        {"empty coin value", coinList::Encode({{1, {}}}), 2, "Coin is not valid"},
        {"denomination 10", coinList::Encode({{10, two.record.value}}), 1024,
         "Coin of unknown denomination 10"},
        {"no coins", coinList::Encode({}), 0, "Coin list is empty"},
        {"cut short", cut, 2, "Coin list is malformed"},
    };
    for (const refusal& c : cases) {
        SCOPED_TRACE(c.name);
        auto shop = Shop();
        const auto result = shop->Pay(c.list, c.amount);
        EXPECT_FALSE(result.accepted);
        EXPECT_EQ(result.error, c.text);
        EXPECT_EQ(result.errorStep, 1);
        EXPECT_TRUE(shop->peer.PeerClosed());
        EXPECT_TRUE(bank.process->WaitForLine("Payment refused: " + c.text + " (shop 42)"));
    }
    EXPECT_EQ(Register(), "");
    EXPECT_TRUE(Pay({two.record, four.record}, 6).accepted);
}

TEST_F(bankPayment, ChecksWhoTheShopIs) {
    const mintedCoin coin = world.Mint(0);
    struct identity {
        const char* name;
        bytes signedText; // empty: the key text offered
        std::uint32_t shopId;
        std::string text;
    };
    const identity cases[] = {
        {"signature over another text", bytes(53, 'x'), 42, "Shop signature does not verify"},
        {"unknown shop", {}, 43, "Unknown shop"},
    };
    for (const identity& c : cases) {
        SCOPED_TRACE(c.name);
        auto shop = Shop();
        shop->OfferKey();
        EXPECT_EQ(shop->ExpectSignature(), shop->keyText);
        shop->Identify(1, c.signedText.empty() ? shop->keyText : c.signedText, c.shopId);
        EXPECT_EQ(shop->peer.ExpectError(), c.text);
        EXPECT_TRUE(shop->peer.PeerClosed());
    }
    // Another world's shop key signs for shop 42: not the shop the bank knows.
    const demoWorld other(42);
    ASSERT_TRUE(other.Made());
    bankScript impostor(bank.paymentPort, 42, *other.shopKey, world.bankKey->PublicKey());
    EXPECT_EQ(impostor.Pay({coin.record}, 1).error, "Shop signature does not verify");
    EXPECT_TRUE(Pay({coin.record}, 1).accepted);
}

TEST_F(bankPayment, RefusesWhatIsOutOfTurnOrDoesNotOpen) {
    auto early = Shop();
    early->peer.Send(mc::PKT_DATA, 1, bytes(24, 0));
    EXPECT_EQ(early->peer.ExpectError(),
              "Unexpected message (type 16, step 1) while waiting for the key offer");

    auto foreign = Shop();
    bytes offer(mc::RSA_BLOCK);
    world.shopKey->PublicKey().Encrypt(foreign->keyText.data(), offer.data(), 53);
    foreign->peer.Send(mc::PKT_KEY, 0, offer); // under another key than the bank's
    EXPECT_EQ(foreign->peer.ExpectError(),
              "Key offer is not a 53-character key text under the bank's key");

    auto garbled = Shop();
    garbled->OfferKey();
    garbled->ExpectSignature();
    garbled->peer.Send(mc::PKT_IDENT, 0, bytes(80, 0x33));
    EXPECT_EQ(garbled->peer.ExpectError(),
              "Message does not open under the session key: the shop's identity");

    // A shop that echoes another confirmation value spends nothing.
    const mintedCoin coin = world.Mint(5);
    auto wrongReply = Shop();
    wrongReply->OfferKey();
    wrongReply->ExpectSignature();
    wrongReply->Identify(32);
    wrongReply->ExpectIdentityReceipt();
    wrongReply->ExpectCoinRequest();
    wrongReply->SendCoins({coin.record});
    wrongReply->ExpectReceipt();
    wrongReply->Reply(wrongReply->ExpectConfirmation() + 1);
    EXPECT_EQ(wrongReply->peer.ExpectError(), "Confirmation reply does not match");
    EXPECT_TRUE(Pay({coin.record}, 32).accepted);
}

TEST_F(bankPayment, ACoinInAPaymentInProgressCannotBeSpentElsewhere) {
    const mintedCoin coin = world.Mint(6);
    auto first = Shop();
    first->OfferKey();
    first->ExpectSignature();
    first->Identify(64);
    first->ExpectIdentityReceipt();
    first->ExpectCoinRequest();
    first->SendCoins({coin.record});
    first->ExpectReceipt();
    const std::uint32_t number = first->ExpectConfirmation();

    EXPECT_EQ(Pay({coin.record}, 64).error, "Coin is being spent in another payment");

    first->Reply(number);
    first->ExpectClose();
    EXPECT_EQ(Pay({coin.record}, 64).error, "Coin already spent");
}

TEST_F(bankPayment, TellsAShopBeyondTheLimitThatItIsBusy) {
    Stop();
    Start({"--max-connections", "1"});
    auto served = Shop();
    served->OfferKey();
    served->ExpectSignature(); // the one connection is being served
    auto refused = Shop();
    EXPECT_EQ(refused->peer.ExpectError(), "Bank is busy, try again later");
    EXPECT_TRUE(refused->peer.PeerClosed());
    refused->peer.Close(); // the bank waits for it before accepting again
    served->peer.Close();
    EXPECT_TRUE(bank.process->WaitForLine("Payment abandoned while waiting for the shop's "
                                          "identity: the connection was closed (shop not "
                                          "identified)"));
    // The slot is free once the ended conversation's thread has finished, a
    // moment after its outcome line: a shop told "busy" tries again.
    const mintedCoin coin = world.Mint(0);
    bankScript::outcome result;
    for (int attempt = 0; attempt < 50; ++attempt) {
        result = Pay({coin.record}, 1);
        if (result.error != "Bank is busy, try again later")
            break;
    }
    EXPECT_TRUE(result.accepted) << result.error;
}

TEST_F(bankPayment, ServesSeveralShopsAndRefusesTwoKeysForOneShop) {
    const demoWorld second(43);
    ASSERT_TRUE(second.Made());
    Stop();
    Start({"--shops", "kestpub.rsa", second.File("kestpub.rsa")});
    bankScript first(bank.paymentPort, 42, *world.shopKey, world.bankKey->PublicKey());
    bankScript other(bank.paymentPort, 43, *second.shopKey, world.bankKey->PublicKey());
    // Both conversations are open at once.
    first.OfferKey();
    other.OfferKey();
    EXPECT_EQ(first.ExpectSignature(), first.keyText);
    EXPECT_EQ(other.ExpectSignature(), other.keyText);
    other.Identify(1);
    EXPECT_EQ(other.ExpectIdentityReceipt(), 43u);
    first.Identify(1);
    EXPECT_EQ(first.ExpectIdentityReceipt(), 42u);

    const demoWorld clash(42);
    ASSERT_TRUE(clash.Made());
    const toolRun run = RunTool(
        programPaths::BANK, {"--shops", "kestpub.rsa", clash.File("kestpub.rsa")}, world.Folder());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("shop 42 is known already"), std::string::npos) << run.err;
}

TEST_F(bankPayment, DropsAConnectionThatStaysSilentPastTheIdleTimeout) {
    Stop();
    Start({"--idle-timeout", "1"});
    auto idle = Shop();
    idle->OfferKey();
    idle->ExpectSignature();
    EXPECT_TRUE(bank.process->WaitForLine(
        "Payment abandoned while waiting for the shop's identity: nothing arrived in time"));
    EXPECT_TRUE(idle->peer.PeerClosed());
}

// The register as the bank finds it at start: a last line cut short (never
// confirmed) is cut off and the bank goes on; any other damage stops it.
TEST(bankRegister, ACutLastLineIsDroppedOtherDamageStopsTheBank) {
    const demoWorld world;
    ASSERT_TRUE(world.Made());
    const mintedCoin spent = world.Mint(2), torn = world.Mint(3);
    const std::string good = "7 42 2 " + spent.ident.SerialText() + "\n";
    const std::filesystem::path file = world.Folder() / "spent-coins.txt";
    std::ofstream(file) << good << "8 42 3 " << torn.ident.SerialText().substr(0, 20);

    runningBank bank = StartBank(world.Folder());
    ASSERT_TRUE(bank.Ready());
    EXPECT_NE(bank.process->Errors().find("cut off an incomplete last line"), std::string::npos);
    EXPECT_EQ(ReadText(file), good);
    const auto shop = [&] {
        return bankScript(bank.paymentPort, world.shopId, *world.shopKey,
                          world.bankKey->PublicKey());
    };
    EXPECT_EQ(shop().Pay({spent.record}, 4).error, "Coin already spent");
    const auto result = shop().Pay({torn.record}, 8);
    EXPECT_TRUE(result.accepted) << result.error;
    EXPECT_EQ(result.transaction, 8u);
    bank.process->Signal(SIGINT);
    EXPECT_EQ(bank.process->Wait(), 0);

    for (const std::string& damage :
         {std::string("x 42 2 ") + spent.ident.SerialText() + "\n",
          std::string("9 42 10 ") + spent.ident.SerialText() + "\n", std::string("9 42 2 abc\n")}) {
        SCOPED_TRACE(damage);
        std::ofstream(file) << good << damage << good;
        const toolRun run = RunTool(programPaths::BANK, {}, world.Folder());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("spent-coins.txt: line 2 is damaged"), std::string::npos) << run.err;
    }
}

// The recorded payment's own keys: the bank signs the recorded key text into
// the recorded BankSignature, and its identity receipt is the recorded one.
TEST(bankVectors, AnswersTheRecordedShopFramesAsRecorded) {
    using paymentVectors::Frame;
    const scratchFolder folder;
    {
        std::ofstream keys(folder.path / "bankpv.rsa", std::ios::binary);
        RSARecord record;
        paymentVectors::BankKey().Save(record);
        ASSERT_TRUE(record.Save(keys));
        for (int d = 0; d < mc::COIN_KEYS; ++d) {
            paymentVectors::CoinKey(d).Save(record);
            ASSERT_TRUE(record.Save(keys));
        }
        std::ofstream shops(folder.path / "kestpub.rsa", std::ios::binary);
        ASSERT_TRUE(keyFile::WriteShopKey(shops, 0x2a, paymentVectors::ShopKey()));
    }
    runningBank bank = StartBank(folder.path);
    ASSERT_TRUE(bank.Ready());
    scriptedPeer shop = scriptedPeer::Connect(bank.paymentPort);
    shop.SetKey(paymentVectors::Text("bank_key_text"));
    const char* conversation = "bank_conversation";

    shop.Send(mc::PKT_KEY, 0, Frame(conversation, "BankKeyOffer", "shop->bank"));
    EXPECT_EQ(shop.Expect(mc::PKT_REPLY, 1), Frame(conversation, "BankSignature", "bank->shop"));
    shop.Send(mc::PKT_IDENT, 0, Frame(conversation, "ShopIdentity", "shop->bank"));
    shop.Send(mc::PKT_AMOUNT, 1, Frame(conversation, "AmountNotice", "shop->bank"));
    EXPECT_EQ(shop.Expect(mc::PKT_REPLY, 2), Frame(conversation, "IdentityReceipt", "bank->shop"));
    EXPECT_FALSE(shop.ExpectSealed(mc::PKT_REPLY, 4).empty());
    // The recorded coins are not of this bank's coin format.
    shop.Send(mc::PKT_DATA, 1, Frame(conversation, "CoinList", "shop->bank"));
    EXPECT_EQ(shop.ExpectError(), "Coin is not valid");
}

} // namespace
