#include "blindFactor.h"

CryptoPP::Integer blindFactor::Draw(const PublicRsaKey& key, CryptoPP::RandomNumberGenerator& rng) {
    const CryptoPP::Integer& n = key.Modulus();
    for (;;) {
        const CryptoPP::Integer r(rng, CryptoPP::Integer::Two(), n - 1);
        // A factor sharing a prime with n would have no inverse (and would
        // reveal a factor of n); with a 512-bit n this practically never
        // happens.
        if (CryptoPP::Integer::Gcd(r, n).IsUnit())
            return r;
    }
}
