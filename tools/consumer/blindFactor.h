#pragma once

#include "crypto/PublicRsaKey.h"

#include <cryptopp/cryptlib.h>
#include <cryptopp/integer.h>

// The wallet's own blinding factors. The key objects' MakeBlindingFactor gives
// the same factor on every call, so a bank that knows it could unblind every
// request and link each coin to its withdrawal; the wallet draws a fresh
// factor per coin instead and hands it to Blind and UnblindAndVerify.
class blindFactor {
public:
    // A random r with 1 < r < n and gcd(r, n) = 1, n the key's modulus.
    static CryptoPP::Integer Draw(const PublicRsaKey& key, CryptoPP::RandomNumberGenerator& rng);
};
