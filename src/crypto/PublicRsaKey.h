#pragma once

#include <cryptopp/cryptlib.h>
#include <cryptopp/integer.h>

#include <cstddef>
#include <cstdint>

// An RSA public key of the system (n, e; n of exactly 512 bits): the bank's
// main key and coin keys, and the public half of the shop's key. It encrypts
// key texts (PKCS #1 v1.5 block type 2 with padding from a generator seeded
// 9375), recovers texts from type-1 signatures, applies the raw public
// function to coins and carries the public steps of a blind signature.
//
// Immutable once built; every operation is const and keeps its working state
// local to the call, so any number of threads may share one key.
class PublicRsaKey {
public:
    static constexpr unsigned KEY_BITS = 512;
    static constexpr int BLOCK_SIZE = 64; // bytes of a ciphertext or signature
    static constexpr int MAX_DATA = 53;   // message bytes in one block

    // Decodes one RSAPublicKey (DER SEQUENCE { n, e }) from `source`, taking
    // exactly the bytes of the encoding. Throws CryptoPP::BERDecodeErr on a
    // malformed encoding and rsaKeyError on an unusable key.
    explicit PublicRsaKey(CryptoPP::BufferedTransformation& source);
    // Throws rsaKeyError on an unusable key.
    PublicRsaKey(const CryptoPP::Integer& n, const CryptoPP::Integer& e);

    const CryptoPP::Integer& Modulus() const { return n; }
    const CryptoPP::Integer& Exponent() const { return e; }

    // Puts the key's RSAPublicKey encoding (shortest-form DER) into `target`.
    void Save(CryptoPP::BufferedTransformation& target) const;

    // Encrypts len (0..53) bytes of `plain` into exactly 64 bytes of
    // `cipher64`; the same text always gives the same ciphertext. Throws
    // std::length_error for a len outside 0..53.
    void Encrypt(const uint8_t* plain, uint8_t* cipher64, int len) const;
    // Reads exactly 64 bytes of a type-1 signature and writes the message it
    // carries (at most 53 bytes) to `out53`; returns its length, or 0 (and
    // writes nothing) when the block is not a valid signature block.
    int Recover(const uint8_t* sig64, uint8_t* out53) const;
    // True when `sig64` recovers exactly the len bytes of `msg`.
    bool Verify(const uint8_t* msg, int len, const uint8_t* sig64) const;
    // out := x^e mod n.
    void ApplyFunction(CryptoPP::Integer x, CryptoPP::Integer& out) const;

    // Blind signatures. r := the blinding factor: the first 32-bit number
    // drawn from a generator seeded 4030 whose r^e mod n does not have its
    // low 31 bits all zero (so every call gives the same factor).
    void MakeBlindingFactor(CryptoPP::Integer& r) const;
    // out := m * (r^e mod n) mod n.
    void Blind(const CryptoPP::Integer& r, CryptoPP::Integer m, CryptoPP::Integer& out) const;
    // s' := s * r^-1 mod n; if s'^e mod n equals m, s := s' and true;
    // otherwise false and s unchanged.
    bool UnblindAndVerify(CryptoPP::Integer r, CryptoPP::Integer m, CryptoPP::Integer& s) const;

private:
    friend class PrivateRsaKey;

    // The factor and its r^e mod n.
    void DrawBlindingFactor(CryptoPP::Integer& r, CryptoPP::Integer& re) const;
    // s * r^-1 mod n.
    CryptoPP::Integer Unblind(const CryptoPP::Integer& r, const CryptoPP::Integer& s) const;

    CryptoPP::Integer n;
    CryptoPP::Integer e;
};
