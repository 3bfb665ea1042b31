// Whole payments through the real shop: every frame it sends, its activity
// lines and its log.

#include "paymentVectors.h"
#include "shopSession.h"

#include <set>

namespace {

using paymentTest = shopSession;

TEST_F(paymentTest, APaymentMatchesTheVectorsFrameForFrame) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    ASSERT_TRUE(bank.Accept(scriptedConsumer::AMOUNT, scriptedConsumer::CoinList()));
    ASSERT_TRUE(consumer.Finish());
    EXPECT_EQ(Activity(4), (textLines{"Consumer connect request.", "Connected to bank.",
                                      "Disconnected from bank.", "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P S 6\n"});
}

// The expected bank frames are built by the scripted bank; for the vectors'
// own key text they are the vectors' frames.
TEST(scriptedBankTest, BuildsTheVectorsBankFramesForTheirKeyText) {
    scriptedBank bank;
    bank.keyText = paymentVectors::Text("bank_key_text");
    bank.key = std::make_unique<SymKey>(bank.keyText.data(), bank.keyText.size());
    const auto data = [](const char* name) {
        return paymentVectors::Frame("bank_conversation", name, "shop->bank");
    };
    byteVec identity(64);
    paymentVectors::ShopKey().Sign(bank.keyText.data(), identity.data(), 53);
    identity.insert(identity.end(), {0x2a, 0, 0, 0});
    EXPECT_EQ(bank.Seal(identity), data("ShopIdentity"));
    EXPECT_EQ(bank.Seal(NumberBytes(6)), data("AmountNotice"));
    EXPECT_EQ(bank.Seal(scriptedConsumer::CoinList()), data("CoinList"));
}

TEST_F(paymentTest, TwoConsumersAtOnceAreServedBySessionsOfTheirOwn) {
    scriptedConsumer first(port);
    scriptedConsumer second(port);
    // Both key offers are on their way before either is answered.
    first.SendVector("ConsumerKeyOffer");
    second.SendVector("ConsumerKeyOffer");
    for (const scriptedConsumer* consumer : {&first, &second}) {
        EXPECT_TRUE(consumer->ReceivesVector("ShopSignature"));
        EXPECT_TRUE(consumer->ReceivesVector("KeyCheck"));
        consumer->peer.Send(16, 8, {}); // LeaveNotice
        EXPECT_TRUE(consumer->ReceivesVector("CloseNotice"));
        EXPECT_TRUE(consumer->peer.PeerClosed());
    }
    const textLines lines = Activity(4);
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.end()),
              (std::multiset<std::string>{"Consumer connect request.", "Consumer connect request.",
                                          "Consumer disconnected.", "Consumer disconnected."}));
}

TEST_F(paymentTest, AConsumerThatStopsInsideAFrameHoldsOnlyItsOwnSession) {
    scriptedPeer stalled = scriptedPeer::Connect(port);
    stalled.SendRaw({0x01, 0x00, 0x40, 0x00}); // half a frame header, then nothing
    scriptedPeer idle = scriptedPeer::Connect(port);

    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    ASSERT_TRUE(bank.Accept(scriptedConsumer::AMOUNT, scriptedConsumer::CoinList()));
    ASSERT_TRUE(consumer.Finish());
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P S 6\n"});
}

TEST_F(paymentTest, SessionsOfferTheBankKeyTextsOfTheirOwn) {
    // Sessions made at the same moment.
    scriptedConsumer first(port);
    scriptedConsumer second(port);
    scriptedConsumer third(port);
    std::set<byteVec> texts;
    for (const scriptedConsumer* consumer : {&first, &second, &third}) {
        ASSERT_TRUE(consumer->KeyExchange());
        ASSERT_TRUE(consumer->PayCoins());
        ASSERT_TRUE(bank.TakeKeyOffer());
        texts.insert(bank.keyText);
        ASSERT_TRUE(bank.Accept(scriptedConsumer::AMOUNT, scriptedConsumer::CoinList()));
        ASSERT_TRUE(consumer->Finish());
    }
    EXPECT_EQ(texts.size(), 3u);
}

TEST_F(paymentTest, AReturnedKeyTextWithTheSameDesKeyPassesAndIsTheOneSigned) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    byteVec returned = bank.keyText;
    returned[0] ^= 1;  // the low bit plays no part in the DES key
    returned[20] ^= 2; // past the first 8 bytes nothing counts
    bank.SendSignature(returned);
    ASSERT_TRUE(bank.Identify(scriptedConsumer::AMOUNT, returned));
    ASSERT_TRUE(bank.TakeCoins(scriptedConsumer::CoinList()));
    ASSERT_TRUE(bank.Confirm());
    ASSERT_TRUE(bank.Close());
    ASSERT_TRUE(consumer.Finish());
}

TEST_F(paymentTest, APaymentOfNoCoinsEndsWithItsFinalReply) {
    const byteVec noCoins{0, 0, 0, 0, 'x'}; // a trailing byte reaches the bank as it came
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    consumer.SendSealed(16, 1, noCoins);
    ASSERT_TRUE(consumer.Receives(FrameOf(2, 8, consumer.Seal({0, 0, 0, 0}))));
    ASSERT_TRUE(bank.TakeKeyOffer());
    ASSERT_TRUE(bank.Accept(0, noCoins));
    ASSERT_TRUE(consumer.Receives(FrameOf(16, 4, consumer.Seal({0, 0, 0, 0}))));
    consumer.SendSealed(2, 8, {0xde, 0xad, 0xbe, 0xef}); // a final reply, not a key check
    ASSERT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_EQ(Activity(4), (textLines{"Consumer connect request.", "Connected to bank.",
                                      "Disconnected from bank.", "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P S 0\n"});
}

} // namespace
