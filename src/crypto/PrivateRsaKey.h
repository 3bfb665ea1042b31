#pragma once

#include "crypto/PublicRsaKey.h"

#include <cryptopp/cryptlib.h>
#include <cryptopp/integer.h>

#include <cstdint>

// An RSA private key of the system (n, e, d, p, q, dp, dq, u with n = p * q of
// exactly 512 bits): the shop's key, and the bank's keys in the reference
// bank. It decrypts type-2 blocks, makes type-1 signatures over raw messages
// (no hash) and applies the private function with the Chinese remainder
// theorem; its public half, built from n and e, offers every public-key
// operation.
//
// Immutable once built; every operation is const and keeps its working state
// local to the call, so any number of threads may share one key.
class PrivateRsaKey {
public:
    // Decodes one RSAPrivateKey (DER SEQUENCE { version 0, n, e, d, p, q, dp,
    // dq, u }) from `source`, taking exactly the bytes of the encoding.
    // Throws CryptoPP::BERDecodeErr on a malformed encoding (a version other
    // than 0 included) and rsaKeyError on an unusable key.
    explicit PrivateRsaKey(CryptoPP::BufferedTransformation& source);
    // Throws rsaKeyError on an unusable key.
    PrivateRsaKey(const CryptoPP::Integer& n, const CryptoPP::Integer& e,
                  const CryptoPP::Integer& d, const CryptoPP::Integer& p,
                  const CryptoPP::Integer& q, const CryptoPP::Integer& dp,
                  const CryptoPP::Integer& dq, const CryptoPP::Integer& u);
    // The key of primes p and q and public exponent e; d, dp, dq and u are
    // derived from them. Throws rsaKeyError on an unusable key.
    static PrivateRsaKey FromPrimes(const CryptoPP::Integer& p, const CryptoPP::Integer& q,
                                    const CryptoPP::Integer& e);
    // A fresh 512-bit key with e = 65537 drawn from `rng`.
    static PrivateRsaKey Generate(CryptoPP::RandomNumberGenerator& rng);

    const PublicRsaKey& PublicKey() const { return publicKey; }
    const CryptoPP::Integer& Modulus() const { return publicKey.Modulus(); }
    const CryptoPP::Integer& Exponent() const { return publicKey.Exponent(); }
    const CryptoPP::Integer& PrivateExponent() const { return d; }
    const CryptoPP::Integer& Prime1() const { return p; }
    const CryptoPP::Integer& Prime2() const { return q; }
    const CryptoPP::Integer& Exponent1() const { return dp; }
    const CryptoPP::Integer& Exponent2() const { return dq; }
    const CryptoPP::Integer& Coefficient() const { return u; }

    // Puts the RSAPrivateKey encoding (shortest-form DER, version 02 01 00)
    // into `target`, or with publicOnly the RSAPublicKey encoding of n and e.
    void Save(CryptoPP::BufferedTransformation& target, bool publicOnly = false) const;

    // Reads exactly 64 bytes of a type-2 block and writes the text it
    // carries (at most 53 bytes) to `out53`; returns its length, or 0 (and
    // writes nothing) when the block is not valid.
    int Decrypt(const uint8_t* cipher64, uint8_t* out53) const;
    // Signs len (0..53) bytes of `msg` as they are into exactly 64 bytes of
    // `sig64`. Throws std::length_error for a len outside 0..53.
    void Sign(const uint8_t* msg, uint8_t* sig64, int len) const;
    // out := x^d mod n, computed with the Chinese remainder theorem.
    void ApplyPrivateFunction(CryptoPP::Integer x, CryptoPP::Integer& out) const;

    // Blind signatures. Makes the factor r as PublicRsaKey::MakeBlindingFactor
    // does and out := m * (r^e mod n) mod n.
    void BlindMessage(CryptoPP::Integer& r, CryptoPP::Integer m, CryptoPP::Integer& out) const;
    // As PublicRsaKey::UnblindAndVerify, and prints the unblinded signature
    // ("Unblinded and signed text: ") and its public image ("Unblinded and
    // unsigned text: ") to standard output, one line each, in decimal
    // followed by a full stop.
    bool UnblindAndVerify(CryptoPP::Integer r, CryptoPP::Integer m, CryptoPP::Integer& s) const;

private:
    CryptoPP::Integer Root(const CryptoPP::Integer& x) const;

    PublicRsaKey publicKey;
    CryptoPP::Integer d;
    CryptoPP::Integer p;
    CryptoPP::Integer q;
    CryptoPP::Integer dp;
    CryptoPP::Integer dq;
    CryptoPP::Integer u;
};
