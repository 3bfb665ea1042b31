// The wallet blinds every coin with a random factor of its own: a bank that
// signs two requests for the same coin message sees two unrelated numbers,
// and each still unblinds into the coin.

#include "blindFactor.h"
#include "common/coinFormat.h"
#include "demoWorld.h"

#include <gtest/gtest.h>

#include <cryptopp/osrng.h>

namespace {

TEST(blindFactor, TwoWithdrawalsOfOneCoinMessageLookUnrelatedAndBothGiveTheCoin) {
    const demoWorld world;
    ASSERT_TRUE(world.Made());
    const PrivateRsaKey& bankSide = world.coinKeys.at(3);
    const PublicRsaKey& key = bankSide.PublicKey();
    CryptoPP::AutoSeededRandomPool rng;
    const CryptoPP::Integer message = coinFormat::Message(coinFormat::NewCoin(3, rng));
    CryptoPP::Integer coin;
    bankSide.ApplyPrivateFunction(message, coin);

    CryptoPP::Integer blinded[2];
    for (CryptoPP::Integer& request : blinded) {
        const CryptoPP::Integer factor = blindFactor::Draw(key, rng);
        EXPECT_GT(factor, CryptoPP::Integer::One());
        EXPECT_LT(factor, key.Modulus());
        EXPECT_TRUE(CryptoPP::Integer::Gcd(factor, key.Modulus()).IsUnit());
        key.Blind(factor, message, request);
        EXPECT_NE(request, message);
        CryptoPP::Integer signature; // what the bank answers
        bankSide.ApplyPrivateFunction(request, signature);
        ASSERT_TRUE(key.UnblindAndVerify(factor, message, signature));
        EXPECT_EQ(signature, coin);
    }
    EXPECT_NE(blinded[0], blinded[1]);
}

} // namespace
