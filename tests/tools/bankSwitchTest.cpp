// Each test switch of kestrane-bank makes it misbehave as it says, at the
// point it names; the shop's side is played by the test.

#include "bankScript.h"
#include "common/msgCodes.h"
#include "crypto/SymKey.h"
#include "demoWorld.h"
#include "scopedRecorder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using mc = msgCodes;

// The bank messages, in order, before which a scripted payment can stop.
enum class faultStop { SIGNATURE, IDENTITY, REQUEST, RECEIPT, CONFIRMATION, CLOSE };

class bankSwitch : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(world.Made()); }

    // Starts a bank with the switches (stopping the one before) and a shop
    // connected to it.
    void Start(const std::vector<std::string>& switches) {
        shop.reset();
        if (bank.process) {
            bank.process->Signal(SIGTERM);
            EXPECT_EQ(bank.process->Wait(), 0);
        }
        bank = StartBank(world.Folder(), switches);
        ASSERT_TRUE(bank.Ready());
        shop = std::make_unique<bankScript>(bank.paymentPort, world.shopId, *world.shopKey,
                                            world.bankKey->PublicKey());
    }

    // Plays the payment of one coin of 2 up to (not including) the bank
    // message at `point`, as a shop that receives everything before it.
    void PlayUpTo(faultStop point) {
        shop->OfferKey();
        if (point == faultStop::SIGNATURE)
            return;
        EXPECT_EQ(shop->ExpectSignature(), shop->keyText);
        shop->Identify(2);
        if (point == faultStop::IDENTITY)
            return;
        EXPECT_EQ(shop->ExpectIdentityReceipt(), world.shopId);
        if (point == faultStop::REQUEST)
            return;
        shop->ExpectCoinRequest();
        shop->SendCoins({coin.record});
        if (point == faultStop::RECEIPT)
            return;
        shop->ExpectReceipt();
        if (point == faultStop::CONFIRMATION)
            return;
        shop->Reply(shop->ExpectConfirmation());
    }

    std::string Register() const {
        std::ifstream in(world.Folder() / "spent-coins.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    demoWorld world;
    mintedCoin coin = world.Mint(1);
    runningBank bank;
    std::unique_ptr<bankScript> shop;
};

TEST_F(bankSwitch, ErrorAtAChosenPointWithAChosenTextAndStep) {
    Start(
        {"--error-at", "signature", "--error-text", "Bank closed for lunch", "--error-step", "7"});
    PlayUpTo(faultStop::SIGNATURE);
    EXPECT_EQ(shop->peer.ExpectError(7), "Bank closed for lunch");
    EXPECT_TRUE(shop->peer.PeerClosed());
    EXPECT_TRUE(bank.process->WaitForLine("Payment test switch: error at signature"));
}

TEST_F(bankSwitch, ErrorBeforeTheConfirmationSpendsNothing) {
    Start({"--error-at", "confirmation"});
    PlayUpTo(faultStop::CONFIRMATION);
    EXPECT_EQ(shop->peer.ExpectError(), "Refused by the bank (test switch)");
    EXPECT_TRUE(shop->peer.PeerClosed());
    EXPECT_TRUE(bank.process->WaitForLine("Payment test switch: error at confirmation (shop 42)"));
    EXPECT_EQ(Register(), "");
}

TEST_F(bankSwitch, SignsAnotherKeyTextThanTheOneOffered) {
    Start({"--sign-other-text"});
    shop->OfferKey();
    const bytes signedText = shop->ExpectSignature();
    ASSERT_EQ(signedText.size(), 53u);
    EXPECT_NE(signedText, shop->keyText);
    // The shop's key check fails: the signed text keys another DES key.
    const SymKey returned(signedText.data(), signedText.size());
    const SymKey offered(shop->keyText.data(), shop->keyText.size());
    const char check[] = "check symkey match";
    std::uint8_t sealed[32], opened[32] = {};
    ASSERT_EQ(returned.EncryptMessage(reinterpret_cast<const std::uint8_t*>(check), sealed, 18),
              32);
    const int length = offered.DecryptMessage(sealed, opened, 32);
    EXPECT_FALSE(length == 18 && std::memcmp(opened, check, 18) == 0);
}

TEST_F(bankSwitch, PutsAnotherShopIdInTheIdentityReceipt) {
    Start({"--wrong-shop-id"});
    PlayUpTo(faultStop::IDENTITY);
    EXPECT_NE(shop->ExpectIdentityReceipt(), world.shopId);
}

TEST_F(bankSwitch, GoesSilentAndKeepsTheConnectionOpen) {
    Start({"--silent-at", "receipt"});
    PlayUpTo(faultStop::RECEIPT);
    EXPECT_TRUE(bank.process->WaitForLine("Payment test switch: silent at receipt (shop 42)"));
    EXPECT_TRUE(shop->peer.Quiet());
    // It still stops cleanly, closing the silent connection.
    bank.process->Signal(SIGTERM);
    EXPECT_EQ(bank.process->Wait(), 0) << bank.process->Errors();
    EXPECT_TRUE(shop->peer.PeerClosed());
    EXPECT_EQ(Register(), "");
}

TEST_F(bankSwitch, DropsTheConnectionAtAChosenPoint) {
    for (const char* point : {"identity", "close"}) {
        SCOPED_TRACE(point);
        Start({"--drop-at", point});
        PlayUpTo(std::string(point) == "identity" ? faultStop::IDENTITY : faultStop::CLOSE);
        EXPECT_TRUE(shop->peer.PeerClosed());
        EXPECT_TRUE(bank.process->WaitForLine(
            std::string("Payment test switch: connection dropped at ") + point));
        EXPECT_EQ(Register(), ""); // no BankClose, no spent coin
    }
}

TEST_F(bankSwitch, SendsGarbageOfAChosenKind) {
    {
        SCOPED_TRACE("sealed data that does not open");
        Start({"--garbage-at", "signature", "--garbage", "sealed"});
        PlayUpTo(faultStop::SIGNATURE);
        const bytes data = shop->peer.Expect(mc::PKT_REPLY, 1);
        EXPECT_EQ(data.size(), 80u);
        EXPECT_FALSE(shop->peer.Link().Open(data));
    }
    {
        SCOPED_TRACE("a length no frame may have");
        Start({"--garbage-at", "request", "--garbage", "length"});
        PlayUpTo(faultStop::REQUEST);
        packetIn packet;
        const scopedRecorder operatorTexts;
        EXPECT_EQ(shop->peer.Receive(packet), linkResult::REFUSED);
        EXPECT_TRUE(shop->peer.PeerClosed());
    }
    {
        SCOPED_TRACE("spoiled checksums; the payment goes on");
        Start({"--garbage-at", "identity", "--garbage", "crc"});
        PlayUpTo(faultStop::IDENTITY);
        const scopedRecorder operatorTexts;
        EXPECT_EQ(shop->ExpectIdentityReceipt(), world.shopId);
        EXPECT_EQ(operatorTexts.Texts(),
                  (std::vector<std::string>{"header checksum invalid", "data checksum invalid"}));
        shop->ExpectCoinRequest();
        shop->SendCoins({coin.record});
        shop->ExpectReceipt();
        shop->Reply(shop->ExpectConfirmation());
        shop->ExpectClose();
        EXPECT_TRUE(bank.process->WaitForLine("Payment accepted"));
    }
}

TEST(bankSwitchOptions, RefuseContradictionsAndUnknownNames) {
    const demoWorld world;
    ASSERT_TRUE(world.Made());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--error-at", "signature", "--drop-at", "signature"},
             {"--silent-at", "lunch"},
             {"--garbage-at", "close", "--garbage", "sealed"},
             {"--garbage", "confetti"},
             {"--error-step", "256"},
             {"--max-connections", "0"},
             {"--port", "65536"},
             {"--shops"},
             {"--frobnicate"},
         }) {
        const toolRun run = RunTool(programPaths::BANK, args, world.Folder());
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: kestrane-bank"), std::string::npos);
    }
    const toolRun help = RunTool(programPaths::BANK, {"--help"}, world.Folder());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--garbage-at POINT"), std::string::npos);
}

} // namespace
