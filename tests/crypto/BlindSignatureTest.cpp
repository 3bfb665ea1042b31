#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/rndDraw.h"

#include "paymentVectors.h"

#include <cryptopp/nbtheory.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using CryptoPP::Integer;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string Decimal(const Integer& x) {
    return CryptoPP::IntToString(x, 10) + ".";
}

class BlindSignature : public testing::Test {
protected:
    const PrivateRsaKey coinKey = paymentVectors::CoinKey(2);
    const PublicRsaKey& pub = coinKey.PublicKey();
    const Integer m{"0x5ca1ab1e0ddba11c0ffee"};
};

TEST_F(BlindSignature, FactorIsTheFirstAccepted32BitDraw) {
    Integer r1, r2;
    pub.MakeBlindingFactor(r1);
    pub.MakeBlindingFactor(r2);
    EXPECT_EQ(r1, r2);
    EXPECT_LT(r1, Integer::Power2(32));

    lcRng rng(rndDraw::BLINDING_SEED);
    Integer expected;
    do {
        expected = rndDraw::Number(rng, 32);
    } while (
        CryptoPP::ModularExponentiation(expected, pub.Exponent(), pub.Modulus()).GetBits(0, 31) ==
        0);
    EXPECT_EQ(r1, expected);

    Integer r3, blinded, expectedBlinded;
    coinKey.BlindMessage(r3, m, blinded);
    pub.Blind(r1, m, expectedBlinded);
    EXPECT_EQ(r3, r1);
    EXPECT_EQ(blinded, expectedBlinded);
}

TEST_F(BlindSignature, RoundTripGivesTheCoin) {
    Integer r, blinded, signedBlinded;
    pub.MakeBlindingFactor(r);
    pub.Blind(r, m, blinded);
    coinKey.ApplyPrivateFunction(blinded, signedBlinded);

    Integer s = signedBlinded;
    EXPECT_TRUE(pub.UnblindAndVerify(r, m, s));
    const Integer coin =
        CryptoPP::ModularExponentiation(m, coinKey.PrivateExponent(), coinKey.Modulus());
    EXPECT_EQ(s, coin);
    Integer back;
    pub.ApplyFunction(s, back);
    EXPECT_EQ(back, m);

    s = signedBlinded;
    EXPECT_FALSE(pub.UnblindAndVerify(r, m + 1, s));
    EXPECT_EQ(s, signedBlinded);
}

TEST_F(BlindSignature, PrivateKeyPrintsTwoLines) {
    Integer r, blinded, signedBlinded;
    coinKey.BlindMessage(r, m, blinded);
    coinKey.ApplyPrivateFunction(blinded, signedBlinded);
    const Integer coin =
        CryptoPP::ModularExponentiation(m, coinKey.PrivateExponent(), coinKey.Modulus());

    Integer s = signedBlinded;
    CaptureStdout();
    EXPECT_TRUE(coinKey.UnblindAndVerify(r, m, s));
    EXPECT_EQ(GetCapturedStdout(), "Unblinded and signed text: " + Decimal(coin) +
                                       "\nUnblinded and unsigned text: " + Decimal(m) + "\n");
    EXPECT_EQ(s, coin);

    s = signedBlinded;
    CaptureStdout();
    EXPECT_FALSE(coinKey.UnblindAndVerify(r, m + 1, s));
    EXPECT_EQ(GetCapturedStdout(), "Unblinded and signed text: " + Decimal(coin) +
                                       "\nUnblinded and unsigned text: " + Decimal(m) + "\n");
    EXPECT_EQ(s, signedBlinded);
}

TEST_F(BlindSignature, ZeroPrintsAsZeroAndAFullStop) {
    Integer s = Integer::Zero();
    CaptureStdout();
    EXPECT_TRUE(coinKey.UnblindAndVerify(Integer::One(), Integer::Zero(), s));
    EXPECT_EQ(GetCapturedStdout(),
              "Unblinded and signed text: 0.\nUnblinded and unsigned text: 0.\n");
}

} // namespace
