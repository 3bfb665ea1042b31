// Consumer messages the shop cannot use: it never reads outside them, and it
// ends the session with an error the consumer can read.

#include "shopSession.h"

namespace {

byteVec ErrorFrame(const std::string& text) {
    byteVec field(40, 0);
    std::copy(text.begin(), text.end(), field.begin());
    return FrameOf(32, 1, field);
}

byteVec CoinRecord(std::uint8_t denomination, std::uint32_t length, std::size_t present) {
    byteVec record{denomination};
    const byteVec size = NumberBytes(length);
    record.insert(record.end(), size.begin(), size.end());
    record.insert(record.end(), present, 0xab);
    return record;
}

byteVec CoinListOf(std::uint32_t count, const std::vector<byteVec>& records) {
    byteVec list = NumberBytes(count);
    for (const byteVec& record : records) {
        list.insert(list.end(), record.begin(), record.end());
    }
    return list;
}

// The session ends with `errorText`, after the activity lines of the
// messages that came before.
void ExpectEnd(shopProcess& shop, const scriptedConsumer& consumer, const std::string& errorText,
               textLines linesBefore) {
    EXPECT_TRUE(consumer.Receives(ErrorFrame(errorText)));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    linesBefore.insert(linesBefore.end(), {errorText, "Consumer disconnected."});
    EXPECT_EQ(shop.NextActivities(linesBefore.size()), linesBefore);
}

class shortKeyOffer : public shopSession, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(shortKeyOffer, EndsTheSession) {
    scriptedConsumer consumer(port);
    consumer.peer.Send(1, 0, byteVec(GetParam(), 0x11));
    ExpectEnd(shop, consumer, "Invalid key offer", {"Consumer connect request."});
}

INSTANTIATE_TEST_SUITE_P(malformedTest, shortKeyOffer, ::testing::Values(0, 1, 63));

using malformedTest = shopSession;

TEST_F(malformedTest, AKeyOfferThatDoesNotDecryptIsAnsweredAndTheKeyCheckFails) {
    scriptedConsumer consumer(port);
    consumer.peer.Send(1, 0, byteVec(64, 0x01));
    const std::optional<wireFrame> signature = consumer.peer.Receive();
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->type, 2);
    EXPECT_EQ(signature->data.size(), 80u);
    const std::optional<wireFrame> check = consumer.peer.Receive();
    ASSERT_TRUE(check);
    EXPECT_EQ(check->type, 16);
    EXPECT_EQ(check->data.size(), 16u);
    consumer.SendVector("KeyCheckReply"); // under the consumer's own key
    ExpectEnd(shop, consumer, "Symmetric keys do not match", {"Consumer connect request."});
}

struct badReply {
    const char* label;
    byteVec (*data)(const scriptedConsumer& consumer);
};

void PrintTo(const badReply& reply, std::ostream* out) {
    *out << reply.label;
}

class wrongKeyCheck : public shopSession, public ::testing::WithParamInterface<badReply> {};

TEST_P(wrongKeyCheck, EndsTheSessionWithTheKeysDoNotMatchError) {
    scriptedConsumer consumer(port);
    consumer.SendVector("ConsumerKeyOffer");
    ASSERT_TRUE(consumer.ReceivesVector("ShopSignature"));
    ASSERT_TRUE(consumer.ReceivesVector("KeyCheck"));
    consumer.peer.Send(2, 8, GetParam().data(consumer));
    EXPECT_TRUE(consumer.Receives(VectorWire("error_frames", "ErrorText (keys do not match)")));
    EXPECT_TRUE(consumer.ReceivesVector("CloseNotice"));
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_EQ(shop.NextActivities(3),
              (textLines{"Consumer connect request.", "Symmetric keys do not match",
                         "Consumer disconnected."}));
}

INSTANTIATE_TEST_SUITE_P(
    malformedTest, wrongKeyCheck,
    ::testing::Values(badReply{"otherValue",
                               [](const scriptedConsumer& c) {
                                   return c.Seal({0x89, 0xe0, 0x30, 0x01});
                               }},
                      badReply{"tooShort",
                               [](const scriptedConsumer& c) {
                                   return c.Seal({0x88, 0xe0, 0x30});
                               }},
                      badReply{"notSealed", [](const scriptedConsumer&) { return byteVec(15, 0); }},
                      badReply{"empty", [](const scriptedConsumer&) { return byteVec{}; }}),
    [](const ::testing::TestParamInfo<badReply>& test) { return test.param.label; });

struct badCoins {
    const char* label;
    byteVec (*data)(const scriptedConsumer& consumer);
};

void PrintTo(const badCoins& coins, std::ostream* out) {
    *out << coins.label;
}

class invalidCoinList : public shopSession, public ::testing::WithParamInterface<badCoins> {};

TEST_P(invalidCoinList, EndsTheSessionWithoutAReceiptOrTheBank) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    consumer.peer.Send(16, 1, GetParam().data(consumer));
    ExpectEnd(shop, consumer, "Invalid coin list", {"Consumer connect request."});
    EXPECT_EQ(shop.LoggedTexts(), textLines{});
}

INSTANTIATE_TEST_SUITE_P(
    malformedTest, invalidCoinList,
    ::testing::Values(
        badCoins{"empty", [](const scriptedConsumer&) { return byteVec{}; }},
        badCoins{"notSealed", [](const scriptedConsumer&) { return byteVec(15, 7); }},
        badCoins{"doesNotOpen", [](const scriptedConsumer&) { return byteVec(24, 0x5c); }},
        badCoins{"shorterThanItsCount",
                 [](const scriptedConsumer& c) {
                     return c.Seal({2, 0, 0});
                 }},
        badCoins{
            "countRunsPastTheList",
            [](const scriptedConsumer& c) { return c.Seal(CoinListOf(2, {CoinRecord(0, 3, 3)})); }},
        badCoins{"hugeCount",
                 [](const scriptedConsumer& c) {
                     return c.Seal(CoinListOf(0xffffffff, {CoinRecord(0, 3, 3)}));
                 }},
        badCoins{"recordCutInItsHeader",
                 [](const scriptedConsumer& c) {
                     byteVec list = CoinListOf(1, {CoinRecord(0, 3, 3)});
                     list.resize(7);
                     return c.Seal(list);
                 }},
        badCoins{
            "valueRunsPastTheList",
            [](const scriptedConsumer& c) { return c.Seal(CoinListOf(1, {CoinRecord(0, 5, 4)})); }},
        badCoins{
            "valueLengthWrapsAround",
            [](const scriptedConsumer& c) {
                return c.Seal(CoinListOf(2, {CoinRecord(0, 0xfffffffb, 2), CoinRecord(0, 1, 1)}));
            }},
        badCoins{"denomination10",
                 [](const scriptedConsumer& c) {
                     return c.Seal(CoinListOf(1, {CoinRecord(10, 1, 1)}));
                 }},
        badCoins{"denomination31",
                 [](const scriptedConsumer& c) {
                     return c.Seal(CoinListOf(2, {CoinRecord(0, 1, 1), CoinRecord(31, 1, 1)}));
                 }},
        badCoins{"denomination255",
                 [](const scriptedConsumer& c) {
                     return c.Seal(CoinListOf(1, {CoinRecord(255, 1, 1)}));
                 }}),
    [](const ::testing::TestParamInfo<badCoins>& test) { return test.param.label; });

TEST_F(malformedTest, AnOversizedConsumerFrameEndsItsSessionOnly) {
    scriptedConsumer consumer(port);
    ASSERT_TRUE(consumer.KeyExchange());
    consumer.peer.SendRaw({16, 1, 0, 0, 0, 0x7f, 0, 0});
    EXPECT_EQ(shop.NextMessage(), "header checksum invalid");
    EXPECT_EQ(shop.NextMessage(), "ReceivePacket Error");
    EXPECT_TRUE(consumer.peer.PeerClosed());
    EXPECT_EQ(shop.NextActivities(2),
              (textLines{"Consumer connect request.", "Consumer disconnected."}));
}

} // namespace
