#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"

#include "paymentVectors.h"

#include <cryptopp/nbtheory.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;
using CryptoPP::Integer;

const std::string TEXT = "`>i>8C] Q!m}u\\F&L\\qf8z-zGxD{cT%.:^>*i_Vv`)XB(V{7En}z%";
constexpr uint8_t SENTINEL = 0xEE;

bytes Cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class RsaOperations : public testing::Test {
protected:
    const PrivateRsaKey key = paymentVectors::BankKey();
    const PublicRsaKey& pub = key.PublicKey();
    const bytes text{TEXT.begin(), TEXT.end()};

    // A 64-byte block: its leading bytes, FF up to `data`, which ends it.
    static bytes Block(bytes head, const bytes& data) {
        head.resize(64 - data.size(), 0xFF);
        head.insert(head.end(), data.begin(), data.end());
        return head;
    }
    // The block through the private or the public function.
    bytes Through(const bytes& block, bool privateFunction) const {
        Integer out;
        if (privateFunction)
            key.ApplyPrivateFunction(Integer(block.data(), 64), out);
        else
            pub.ApplyFunction(Integer(block.data(), 64), out);
        bytes result(64);
        out.Encode(result.data(), 64);
        return result;
    }
};

TEST_F(RsaOperations, EncryptionBlockCarriesFixedPadding) {
    bytes c1(64), c2(64);
    pub.Encrypt(text.data(), c1.data(), 53);
    pub.Encrypt(text.data(), c2.data(), 53);
    EXPECT_EQ(c1, c2);

    bytes expected{0x00, 0x02, 0x0B, 0xFE, 0x53, 0xFE, 0x1A, 0xDB, 0x8B, 0x3A, 0x00};
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(Through(c1, true), expected);

    bytes out(64, SENTINEL);
    EXPECT_EQ(key.Decrypt(c1.data(), out.data()), 53);
    EXPECT_EQ(bytes(out.begin(), out.begin() + 53), text);
    EXPECT_EQ(bytes(out.begin() + 53, out.end()), bytes(11, SENTINEL));
}

TEST_F(RsaOperations, EncryptsShorterTexts) {
    for (int len : {0, 1, 20, 52}) {
        bytes cipher(64), out(64);
        pub.Encrypt(text.data(), cipher.data(), len);
        EXPECT_EQ(key.Decrypt(cipher.data(), out.data()), len);
        EXPECT_TRUE(std::equal(text.begin(), text.begin() + len, out.begin())) << len;
    }
}

TEST_F(RsaOperations, DecryptRefusesBadBlocks) {
    const bytes data(54, 0x61);
    struct block {
        const char* what;
        bytes plain;
        int result;
    };
    for (const auto& [what, plain, result] : {
             block{"8 padding bytes", Block({0x00, 0x02}, Cat({0x00}, bytes(53, 0x61))), 53},
             block{"7 padding bytes", Block({0x00, 0x02}, Cat({0x00}, data)), 0},
             block{"type 1", Block({0x00, 0x01}, Cat({0x00}, bytes(53, 0x61))), 0},
             block{"first byte not 00", Block({0x01, 0x02}, Cat({0x00}, bytes(53, 0x61))), 0},
             block{"no separator", Block({0x00, 0x02}, {}), 0},
             block{"empty text", Block({0x00, 0x02}, {0x00}), 0},
         }) {
        bytes out(64, SENTINEL);
        EXPECT_EQ(key.Decrypt(Through(plain, false).data(), out.data()), result) << what;
        if (result == 0) {
            EXPECT_EQ(out, bytes(64, SENTINEL)) << what;
        }
    }
}

TEST_F(RsaOperations, SignatureRecoversItsText) {
    bytes s1(64), s2(64);
    key.Sign(text.data(), s1.data(), 53);
    key.Sign(text.data(), s2.data(), 53);
    EXPECT_EQ(s1, s2);

    bytes expected{0x00, 0x01};
    expected.resize(10, 0xFF);
    expected.push_back(0x00);
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(Through(s1, false), expected);

    bytes out(64, SENTINEL);
    EXPECT_EQ(pub.Recover(s1.data(), out.data()), 53);
    EXPECT_EQ(bytes(out.begin(), out.begin() + 53), text);
    EXPECT_EQ(bytes(out.begin() + 53, out.end()), bytes(11, SENTINEL));

    EXPECT_TRUE(pub.Verify(text.data(), 53, s1.data()));
    EXPECT_FALSE(pub.Verify(text.data(), 52, s1.data()));
    bytes other = text;
    other[40] ^= 1;
    EXPECT_FALSE(pub.Verify(other.data(), 53, s1.data()));
}

TEST_F(RsaOperations, RecoverRefusesBadBlocks) {
    bytes oddPadding = Block({0x00, 0x01}, Cat({0x00}, bytes(53, 0x61)));
    oddPadding[5] = 0xFE;
    struct block {
        const char* what;
        bytes plain;
        int result;
    };
    for (const auto& [what, plain, result] : {
             block{"valid", Block({0x00, 0x01}, Cat({0x00}, bytes(20, 0x61))), 20},
             block{"padding byte not FF", oddPadding, 0},
             block{"7 padding bytes", Block({0x00, 0x01}, Cat({0x00}, bytes(54, 0x61))), 0},
             block{"type 2", Block({0x00, 0x02}, Cat({0x00}, bytes(53, 0x61))), 0},
             block{"no separator", Block({0x00, 0x01}, {}), 0},
         }) {
        bytes out(64, SENTINEL);
        EXPECT_EQ(pub.Recover(Through(plain, true).data(), out.data()), result) << what;
        if (result == 0) {
            EXPECT_EQ(out, bytes(64, SENTINEL)) << what;
        }
    }
}

TEST_F(RsaOperations, HostileBlocksAboveTheModulus) {
    const bytes ones(64, 0xFF);
    bytes out(64, SENTINEL);
    EXPECT_LE(key.Decrypt(ones.data(), out.data()), 53);
    EXPECT_LE(pub.Recover(ones.data(), out.data()), 53);
}

TEST_F(RsaOperations, TooLongTextsAreRefused) {
    const bytes longText(54, 0x61);
    bytes out(64);
    EXPECT_THROW(pub.Encrypt(longText.data(), out.data(), 54), std::length_error);
    EXPECT_THROW(key.Sign(longText.data(), out.data(), 54), std::length_error);
    EXPECT_THROW(key.Sign(longText.data(), out.data(), -1), std::length_error);
}

TEST_F(RsaOperations, PublicFunctionUndoesThePrivateOne) {
    Integer out;
    pub.ApplyFunction(Integer::Zero(), out);
    EXPECT_EQ(out, Integer::Zero());
    pub.ApplyFunction(Integer::One(), out);
    EXPECT_EQ(out, Integer::One());

    const Integer m("0x1234567890abcdef1234567890abcdef");
    Integer coin;
    key.ApplyPrivateFunction(m, coin);
    EXPECT_EQ(coin, CryptoPP::ModularExponentiation(m, key.PrivateExponent(), key.Modulus()));
    pub.ApplyFunction(coin, out);
    EXPECT_EQ(out, m);
    // Numbers beyond the modulus are taken modulo n.
    pub.ApplyFunction(coin + key.Modulus(), out);
    EXPECT_EQ(out, m);
}

TEST_F(RsaOperations, OneKeyServesManyThreadsAtOnce) {
    bytes cipher(64), sig(64);
    pub.Encrypt(text.data(), cipher.data(), 53);
    key.Sign(text.data(), sig.data(), 53);

    auto work = [&](bool& allGood) {
        allGood = true;
        for (int i = 0; i < 40; ++i) {
            bytes c(64), s(64), out(53);
            pub.Encrypt(text.data(), c.data(), 53);
            key.Sign(text.data(), s.data(), 53);
            allGood = allGood && c == cipher && s == sig &&
                      key.Decrypt(cipher.data(), out.data()) == 53 && out == text &&
                      pub.Recover(sig.data(), out.data()) == 53 && out == text;
        }
    };
    bool results[4] = {};
    std::vector<std::thread> threads;
    for (bool& result : results)
        threads.emplace_back(work, std::ref(result));
    for (auto& t : threads)
        t.join();
    for (bool result : results)
        EXPECT_TRUE(result);
}

} // namespace
