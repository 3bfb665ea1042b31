// Packets that the state of a session does not accept are answered by nothing,
// and the payment goes on to complete.

#include "shopSession.h"

namespace {

// Where the packet is slipped in: the consumer side's states 401 to 403 and
// the bank side's states 101 to 105.
enum class stage { C401, C402, C403, B101, B102, B103, B104, B105 };

struct ignoredCase {
    const char* label;
    stage at;
    std::uint8_t type;
    std::uint8_t step;
};

void PrintTo(const ignoredCase& test, std::ostream* out) {
    *out << test.label;
}

class ignoredPacket : public shopSession, public ::testing::WithParamInterface<ignoredCase> {
protected:
    void SlipIn(stage now, const scriptedConsumer& consumer) const {
        const ignoredCase& test = GetParam();
        if (test.at != now) {
            return;
        }
        const bool fromBank = now >= stage::B101;
        const byteVec plain{0x2a, 0, 0, 0, 0x88, 0xe0, 0x30, 0x01};
        if (test.type == 1) {
            // A key offer: the consumer's own once more.
            const byteVec offer = VectorWire("consumer_conversation", "ConsumerKeyOffer");
            const byteVec data(offer.begin() + 8, offer.end() - 2);
            fromBank ? bank.Send(1, 0, data) : consumer.peer.Send(1, 0, data);
        } else if (test.type == 64) {
            fromBank ? bank.Send(64, 0, {0, 0}) : consumer.peer.Send(64, 0, {0, 0});
        } else {
            fromBank ? bank.SendSealed(test.type, test.step, plain)
                     : consumer.SendSealed(test.type, test.step, plain);
        }
    }
};

TEST_P(ignoredPacket, IsAnsweredByNothingAndThePaymentCompletes) {
    scriptedConsumer consumer(port);
    SlipIn(stage::C401, consumer);
    ASSERT_TRUE(consumer.KeyExchange());
    SlipIn(stage::C402, consumer);
    ASSERT_TRUE(consumer.PayCoins());
    SlipIn(stage::C403, consumer);
    ASSERT_TRUE(bank.TakeKeyOffer());
    SlipIn(stage::B101, consumer);
    bank.SendSignature();
    SlipIn(stage::B102, consumer);
    ASSERT_TRUE(bank.Identify(scriptedConsumer::AMOUNT));
    SlipIn(stage::B103, consumer);
    ASSERT_TRUE(bank.TakeCoins(scriptedConsumer::CoinList()));
    SlipIn(stage::B104, consumer);
    ASSERT_TRUE(bank.Confirm());
    SlipIn(stage::B105, consumer);
    ASSERT_TRUE(bank.Close());
    ASSERT_TRUE(consumer.Finish());
    EXPECT_EQ(Activity(4), (textLines{"Consumer connect request.", "Connected to bank.",
                                      "Disconnected from bank.", "Consumer disconnected."}));
    EXPECT_EQ(shop.LoggedTexts(), textLines{"P S 6\n"});
}

INSTANTIATE_TEST_SUITE_P(
    ignoredTest, ignoredPacket,
    ::testing::Values(
        ignoredCase{"c401Reply8", stage::C401, 2, 8},
        ignoredCase{"c401CoinList", stage::C401, 16, 1},
        ignoredCase{"c401LeaveNotice", stage::C401, 16, 8},
        ignoredCase{"c401Close", stage::C401, 64, 0}, ignoredCase{"c401Error", stage::C401, 32, 1},
        ignoredCase{"c401Reply1", stage::C401, 2, 1},
        ignoredCase{"c402SecondKeyOffer", stage::C402, 1, 0},
        ignoredCase{"c402Close", stage::C402, 64, 0}, ignoredCase{"c402Reply1", stage::C402, 2, 1},
        ignoredCase{"c402Data2", stage::C402, 16, 2}, ignoredCase{"c402Ident", stage::C402, 4, 0},
        ignoredCase{"c403LeaveNotice", stage::C403, 16, 8},
        ignoredCase{"c403KeyOffer", stage::C403, 1, 0},
        ignoredCase{"c403SecondCoinList", stage::C403, 16, 1},
        ignoredCase{"c403Data4", stage::C403, 16, 4},
        ignoredCase{"b101IdentityReceipt", stage::B101, 2, 2},
        ignoredCase{"b101CoinRequest", stage::B101, 2, 4},
        ignoredCase{"b101Confirmation", stage::B101, 16, 4},
        ignoredCase{"b101Close", stage::B101, 64, 0},
        ignoredCase{"b101KeyOffer", stage::B101, 1, 0},
        ignoredCase{"b102SecondSignature", stage::B102, 2, 1},
        ignoredCase{"b102CoinRequest", stage::B102, 2, 4},
        ignoredCase{"b102Close", stage::B102, 64, 0},
        ignoredCase{"b103SecondIdentityReceipt", stage::B103, 2, 2},
        ignoredCase{"b103Signature", stage::B103, 2, 1},
        ignoredCase{"b103Confirmation", stage::B103, 16, 4},
        ignoredCase{"b104BankReceipt", stage::B104, 2, 8},
        ignoredCase{"b104SecondCoinRequest", stage::B104, 2, 4},
        ignoredCase{"b104Close", stage::B104, 64, 0},
        ignoredCase{"b105SecondConfirmation", stage::B105, 16, 4},
        ignoredCase{"b105BankReceipt", stage::B105, 2, 8},
        ignoredCase{"b105CoinRequest", stage::B105, 2, 4}),
    [](const ::testing::TestParamInfo<ignoredCase>& test) { return test.param.label; });

} // namespace
