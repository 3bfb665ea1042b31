#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/SymKey.h"

#include "paymentVectors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The crypto of the recorded payment: every frame the shop sends that
// follows from keys and key texts alone must come out byte for byte.
namespace {

using bytes = std::vector<uint8_t>;
using CryptoPP::Integer;
namespace pv = paymentVectors;

const std::string CONSUMER = "consumer_conversation";
const std::string BANK = "bank_conversation";

bytes Cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class PaymentVectors : public testing::Test {
protected:
    const PrivateRsaKey shopKey = pv::ShopKey();
    const PublicRsaKey bankKey = pv::BankKey().PublicKey();
    const bytes consumerText = pv::Text("consumer_key_text");
    const bytes bankText = pv::Text("bank_key_text");
    const SymKey consumerKey{consumerText.data(), consumerText.size()};
    const SymKey bankSymKey{bankText.data(), bankText.size()};
    const bytes shopId = pv::FromHex(pv::Data().at("shop_id_hex"));
    const bytes coinList = pv::FromHex(pv::Data().at("coin_list_hex"));

    static bytes Seal(const SymKey& key, const bytes& msg) {
        bytes out(size_t(SymKey::SealedLength(int(msg.size()))));
        EXPECT_EQ(key.EncryptMessage(msg.data(), out.data(), int(msg.size())), int(out.size()));
        return out;
    }
    static bytes Open(const SymKey& key, const bytes& sealed) {
        bytes out(sealed.size());
        out.resize(size_t(key.DecryptMessage(sealed.data(), out.data(), int(sealed.size()))));
        return out;
    }
    bytes SignText(const bytes& text) const {
        bytes sig(64);
        shopKey.Sign(text.data(), sig.data(), 53);
        return sig;
    }
};

TEST_F(PaymentVectors, ShopFramesOnTheConsumerConnection) {
    const bytes amount{0x06, 0x00, 0x00, 0x00};
    struct frame {
        const char* name;
        bytes plain;
    };
    for (const auto& [name, plain] : {
             frame{"ShopSignature", SignText(consumerText)},
             frame{"KeyCheck", {0x88, 0xE0, 0x30, 0x01}},
             frame{"CoinReceipt", bytes(coinList.begin(), coinList.begin() + 4)},
             frame{"PaymentConfirmation", amount},
         }) {
        EXPECT_EQ(Seal(consumerKey, plain), pv::Frame(CONSUMER, name, "shop->consumer")) << name;
    }
}

TEST_F(PaymentVectors, ShopFramesOnTheBankConnection) {
    bytes offer(64);
    bankKey.Encrypt(bankText.data(), offer.data(), 53);
    EXPECT_EQ(offer, pv::Frame(BANK, "BankKeyOffer", "shop->bank"));

    const bytes confirmation = Open(bankSymKey, pv::Frame(BANK, "BankConfirmation", "bank->shop"));
    ASSERT_GE(confirmation.size(), 4u);
    struct frame {
        const char* name;
        bytes plain;
    };
    for (const auto& [name, plain] : {
             frame{"ShopIdentity", Cat(SignText(bankText), shopId)},
             frame{"AmountNotice", {0x06, 0x00, 0x00, 0x00}},
             frame{"CoinList", coinList},
             frame{"ConfirmationReply", bytes(confirmation.begin(), confirmation.begin() + 4)},
         }) {
        EXPECT_EQ(Seal(bankSymKey, plain), pv::Frame(BANK, name, "shop->bank")) << name;
    }
}

TEST_F(PaymentVectors, PeerFramesOpen) {
    bytes text(53);
    EXPECT_EQ(shopKey.Decrypt(pv::Frame(CONSUMER, "ConsumerKeyOffer", "consumer->shop").data(),
                              text.data()),
              53);
    EXPECT_EQ(text, consumerText);

    const bytes reply = Open(consumerKey, pv::Frame(CONSUMER, "KeyCheckReply", "consumer->shop"));
    ASSERT_GE(reply.size(), 4u);
    EXPECT_EQ(bytes(reply.begin(), reply.begin() + 4), (bytes{0x88, 0xE0, 0x30, 0x01}));
    EXPECT_EQ(Open(consumerKey, pv::Frame(CONSUMER, "CoinList", "consumer->shop")), coinList);

    const bytes signature = Open(bankSymKey, pv::Frame(BANK, "BankSignature", "bank->shop"));
    ASSERT_EQ(signature.size(), 64u);
    EXPECT_EQ(bankKey.Recover(signature.data(), text.data()), 53);
    EXPECT_EQ(text, bankText);

    const bytes receipt = Open(bankSymKey, pv::Frame(BANK, "IdentityReceipt", "bank->shop"));
    ASSERT_GE(receipt.size(), 4u);
    EXPECT_EQ(bytes(receipt.begin(), receipt.begin() + 4), shopId);
}

TEST_F(PaymentVectors, CoinsComeFromTheirCoinKeys) {
    // count, then per coin: denomination, 4-byte length, big-endian value.
    size_t at = 4;
    int amount = 0;
    for (int i = 0; i < coinList[0]; ++i) {
        const int d = coinList[at];
        const size_t len = coinList[at + 1] | size_t(coinList[at + 2]) << 8;
        const Integer coin(&coinList[at + 5], len);
        at += 5 + len;
        amount += 1 << d;

        const PrivateRsaKey coinKey = pv::CoinKey(d);
        Integer m, again;
        coinKey.PublicKey().ApplyFunction(coin, m);
        coinKey.ApplyPrivateFunction(m, again);
        EXPECT_EQ(again, coin) << "coin " << i;
    }
    EXPECT_EQ(at, coinList.size());
    EXPECT_EQ(amount, pv::Data().at("amount").get<int>());
}

} // namespace
