// How sessions end: every ending of a session, and what the shop does when
// one of its peers goes away in the middle.

#include "paymentVectors.h"
#include "shopSession.h"

#include <cstring>

namespace {

constexpr const char* BANK_DOWN = "Could not verify coins because bank is down";

byteVec Bytes(const char* text, std::size_t length) {
    return byteVec(text, text + length);
}

using sessionEndTest = shopSession;

TEST_F(sessionEndTest, ALeaveNoticeIsAnsweredWithACloseNotice) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    consumer.peer.Send(16, 8, {1, 2, 3});
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_EQ(Activity(2), (textLines{"Consumer connect request.", "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{});
}

TEST_F(sessionEndTest, AnUnreachableBankGetsTheReceiptThenTheBankDownError) {
    bank.listener.Close(); // nothing listens on the bank's port any more
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    EXPECT_TRUE(consumer.Receives(VectorWire("error_frames", "ErrorText (bank down)")));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_EQ(Activity(3),
              (textLines{"Consumer connect request.", BANK_DOWN, "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{});
}

// The bank fails one of the shop's checks: the consumer hears that the bank is
// down, and the bank connection is closed with the session.
struct failedCheck {
    const char* label;
    bool atSignature; // else at the identity receipt
    void (*answer)(const scriptedBank& bank);
};

void PrintTo(const failedCheck& check, std::ostream* out) {
    *out << check.label;
}

class failedBankCheck : public shopSession, public ::testing::WithParamInterface<failedCheck> {};

TEST_P(failedBankCheck, EndsTheSessionWithoutALogRecord) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    if (GetParam().atSignature) {
        GetParam().answer(bank);
    } else {
        bank.SendSignature();
        byteVec identity(64);
        paymentVectors::ShopKey().Sign(bank.keyText.data(), identity.data(), 53);
        identity.insert(identity.end(), {0x2a, 0, 0, 0});
        ASSERT_TRUE(bank.ReceivesSealed(4, 0, identity));
        ASSERT_TRUE(bank.ReceivesSealed(8, 1, NumberBytes(6)));
        GetParam().answer(bank);
    }
    EXPECT_TRUE(consumer.Receives(VectorWire("error_frames", "ErrorText (bank down)")));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_TRUE(bank.peer->PeerClosed());
    EXPECT_EQ(Activity(4), (textLines{"Consumer connect request.", "Connected to bank.", BANK_DOWN,
                                      "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{});
}

INSTANTIATE_TEST_SUITE_P(
    sessionEndTest, failedBankCheck,
    ::testing::Values(
        failedCheck{"signatureOverAnotherText", true,
                    [](const scriptedBank& bank) {
                        byteVec other = bank.keyText;
                        other[3] ^= 2;
                        bank.SendSignature(other);
                    }},
        failedCheck{"signatureThatIsNotOne", true,
                    [](const scriptedBank& bank) { bank.SendSealed(2, 1, byteVec(64, 0x5a)); }},
        failedCheck{"signatureTooShort", true,
                    [](const scriptedBank& bank) { bank.SendSealed(2, 1, byteVec(63, 1)); }},
        failedCheck{"signatureNotSealed", true,
                    [](const scriptedBank& bank) { bank.Send(2, 1, byteVec(81, 1)); }},
        failedCheck{"signatureEmpty", true, [](const scriptedBank& bank) { bank.Send(2, 1, {}); }},
        failedCheck{"identityOfAnotherShop", false,
                    [](const scriptedBank& bank) {
                        bank.SendSealed(2, 2, {0x2b, 0, 0, 0});
                    }},
        failedCheck{"identityTooShort", false,
                    [](const scriptedBank& bank) {
                        bank.SendSealed(2, 2, {0x2a, 0, 0});
                    }},
        failedCheck{"identityNotSealed", false,
                    [](const scriptedBank& bank) { bank.Send(2, 2, byteVec(12, 0x2a)); }}),
    [](const ::testing::TestParamInfo<failedCheck>& test) { return test.param.label; });

// A bank error in any state reaches the consumer byte for byte with the
// bank's step, and the payment is logged as failed.
class bankError : public shopSession, public ::testing::WithParamInterface<int> {};

TEST_P(bankError, IsPassedOnAsItCameAndLoggedAsAFailure) {
    const int stage = GetParam(); // how far the bank lets the payment go first
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    textLines expected{"Consumer connect request."};
    if (stage >= 1) {
        bank.SendSignature();
        ASSERT_TRUE(bank.Identify(scriptedConsumer::AMOUNT));
        expected.push_back("Connected to bank.");
    }
    if (stage >= 2) {
        ASSERT_TRUE(bank.TakeCoins(scriptedConsumer::CoinList()));
    }
    if (stage >= 3) {
        ASSERT_TRUE(bank.Confirm());
    }
    const byteVec text = Bytes("Coin 2 \"spent\"\r\0tail\n", 21);
    bank.Send(32, 7, text);
    EXPECT_TRUE(consumer.Receives(FrameOf(32, 7, text)));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_TRUE(bank.peer->PeerClosed());
    expected.insert(expected.end(),
                    {"Coin 2 \"spent\"\\x0D", "Consumer disconnected.", "Disconnected from bank."});
    EXPECT_EQ(Activity(expected.size()), expected);
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P F 6\n"});
}

INSTANTIATE_TEST_SUITE_P(sessionEndTest, bankError, ::testing::Values(0, 1, 2, 3));

// The bank goes away before it has closed or refused the payment: the
// payment has failed, and the consumer is told instead of waiting for ever.
struct bankLoss {
    const char* label;
    int stage; // 0: before its signature, 1: after the identity, 2: after the coins, 3: confirmed
    void (*lose)(scriptedBank& bank);
};

void PrintTo(const bankLoss& loss, std::ostream* out) {
    *out << loss.label;
}

class lostBank : public shopSession, public ::testing::WithParamInterface<bankLoss> {};

TEST_P(lostBank, FailsThePaymentAndTellsTheConsumer) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    textLines expected{"Consumer connect request."};
    if (GetParam().stage >= 1) {
        bank.SendSignature();
        ASSERT_TRUE(bank.Identify(scriptedConsumer::AMOUNT));
        expected.push_back("Connected to bank.");
    }
    if (GetParam().stage >= 2) {
        ASSERT_TRUE(bank.TakeCoins(scriptedConsumer::CoinList()));
    }
    if (GetParam().stage >= 3) {
        ASSERT_TRUE(bank.Confirm());
    }
    GetParam().lose(bank);
    EXPECT_TRUE(consumer.Receives(VectorWire("error_frames", "ErrorText (bank down)")));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    expected.insert(expected.end(),
                    {BANK_DOWN, "Consumer disconnected.", "Disconnected from bank."});
    EXPECT_EQ(Activity(expected.size()), expected);
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P F 6\n"});
}

INSTANTIATE_TEST_SUITE_P(
    sessionEndTest, lostBank,
    ::testing::Values(
        bankLoss{"closesBeforeItsSignature", 0, [](scriptedBank& bank) { bank.peer->Close(); }},
        bankLoss{"closesAfterTheIdentity", 1, [](scriptedBank& bank) { bank.peer->Close(); }},
        bankLoss{"resetsAfterTheCoins", 2, [](scriptedBank& bank) { bank.peer->Reset(); }},
        bankLoss{"closesAfterConfirming", 3, [](scriptedBank& bank) { bank.peer->Close(); }},
        bankLoss{"closesInsideAFrame", 2,
                 [](scriptedBank& bank) {
                     bank.peer->SendRaw({16, 4, 16, 0, 0, 0});
                     bank.peer->Close();
                 }},
        bankLoss{"announcesAnOversizedFrame", 2,
                 [](scriptedBank& bank) {
                     // The header of a frame longer than any message.
                     bank.peer->SendRaw({16, 4, 0, 0, 0, 0x40, 0, 0});
                 }},
        bankLoss{"confirmsWithTooFewBytes", 2,
                 [](scriptedBank& bank) {
                     bank.SendSealed(16, 4, {1, 2, 3});
                 }}),
    [](const ::testing::TestParamInfo<bankLoss>& test) { return test.param.label; });

TEST_F(sessionEndTest, AnOversizedBankFrameIsToldToTheOperator) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    bank.peer->SendRaw({2, 1, 0, 0, 0, 0x40, 0, 0});
    EXPECT_TRUE(consumer.Receives(VectorWire("error_frames", "ErrorText (bank down)")));
    EXPECT_EQ(shop.NextMessage(), "header checksum invalid");
    EXPECT_EQ(shop.NextMessage(), "ReceivePacket Error");
}

// The consumer goes away, or says its final reply, while the bank is still
// at work: the bank conversation is finished and logged, then the session
// ends.
struct consumerExit {
    const char* label;
    void (*leave)(scriptedConsumer& consumer);
    bool answered; // a final reply is answered with a close notice
};

void PrintTo(const consumerExit& exit, std::ostream* out) {
    *out << exit.label;
}

class earlyConsumerExit : public shopSession, public ::testing::WithParamInterface<consumerExit> {};

TEST_P(earlyConsumerExit, TheBankConversationIsFinishedAndLogged) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    ASSERT_TRUE(consumer.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    GetParam().leave(consumer);
    if (GetParam().answered) {
        EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    }
    EXPECT_EQ(Activity(2), (textLines{"Consumer connect request.", "Consumer disconnected."}));
    ASSERT_TRUE(bank.Accept(scriptedConsumer::AMOUNT, scriptedConsumer::CoinList()));
    EXPECT_EQ(Activity(2), (textLines{"Connected to bank.", "Disconnected from bank."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P S 6\n"});
    if (GetParam().answered) {
        EXPECT_TRUE(consumer.peer.PeerClosed()) << "no confirmation after the close notice";
    }
}

INSTANTIATE_TEST_SUITE_P(
    sessionEndTest, earlyConsumerExit,
    ::testing::Values(
        consumerExit{"finalReplyBeforeTheBankCloses",
                     [](scriptedConsumer& consumer) { consumer.SendVector("FinalReply"); }, true},
        consumerExit{"consumerCloses", [](scriptedConsumer& consumer) { consumer.peer.Close(); },
                     false},
        consumerExit{"consumerResets", [](scriptedConsumer& consumer) { consumer.peer.Reset(); },
                     false}),
    [](const ::testing::TestParamInfo<consumerExit>& test) { return test.param.label; });

TEST_F(sessionEndTest, AConsumerThatGoesBeforeTheBankIsReachedEndsItsSession) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    consumer.peer.Close();
    EXPECT_EQ(Activity(2), (textLines{"Consumer connect request.", "Consumer disconnected."}));
    // The next consumer is served as usual.
    scriptedConsumer next(port);
    ASSERT_TRUE(next.KeyExchange());
    ASSERT_TRUE(next.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());
    ASSERT_TRUE(bank.Accept(scriptedConsumer::AMOUNT, scriptedConsumer::CoinList()));
    ASSERT_TRUE(next.Finish());
}

} // namespace
