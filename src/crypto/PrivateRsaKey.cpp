#include "crypto/PrivateRsaKey.h"

#include "crypto/rsaKeyError.h"

#include <cryptopp/asn.h>
#include <cryptopp/misc.h>
#include <cryptopp/nbtheory.h>
#include <cryptopp/rsa.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>

using CryptoPP::Integer;

namespace {

constexpr int BLOCK_SIZE = PublicRsaKey::BLOCK_SIZE;
constexpr int MAX_DATA = PublicRsaKey::MAX_DATA;

void CheckPrivate(const Integer& n, const Integer& d, const Integer& p, const Integer& q,
                  const Integer& dp, const Integer& dq, const Integer& u) {
    for (const Integer* x : {&d, &p, &q, &dp, &dq, &u}) {
        if (!x->IsPositive())
            throw rsaKeyError("RSA private key has a number that is not positive");
    }
    if (p * q != n)
        throw rsaKeyError("RSA private key does not fit together: p * q differs from n");
}

PrivateRsaKey Decode(CryptoPP::BufferedTransformation& source) {
    CryptoPP::BERSequenceDecoder seq(source);
    CryptoPP::word32 version = 0;
    CryptoPP::BERDecodeUnsigned<CryptoPP::word32>(seq, version, CryptoPP::INTEGER, 0, 0);
    Integer n, e, d, p, q, dp, dq, u;
    for (Integer* x : {&n, &e, &d, &p, &q, &dp, &dq, &u})
        x->BERDecode(seq);
    seq.MessageEnd();
    return PrivateRsaKey(n, e, d, p, q, dp, dq, u);
}

// A line of standard output: the label, the number in decimal and a full stop.
void PrintNumber(const char* label, const Integer& x) {
    std::ostringstream line;
    line << label << std::dec << x << '\n';
    std::fputs(line.str().c_str(), stdout);
}

} // namespace

PrivateRsaKey::PrivateRsaKey(CryptoPP::BufferedTransformation& source)
    : PrivateRsaKey(Decode(source)) {}

PrivateRsaKey::PrivateRsaKey(const Integer& n, const Integer& e, const Integer& d_,
                             const Integer& p_, const Integer& q_, const Integer& dp_,
                             const Integer& dq_, const Integer& u_)
    : publicKey(n, e), d(d_), p(p_), q(q_), dp(dp_), dq(dq_), u(u_) {
    CheckPrivate(n, d, p, q, dp, dq, u);
}

PrivateRsaKey PrivateRsaKey::FromPrimes(const Integer& p, const Integer& q, const Integer& e) {
    const Integer p1 = p - Integer::One();
    const Integer q1 = q - Integer::One();
    const Integer d = e.InverseMod(CryptoPP::LCM(p1, q1));
    return PrivateRsaKey(p * q, e, d, p, q, d % p1, d % q1, q.InverseMod(p));
}

PrivateRsaKey PrivateRsaKey::Generate(CryptoPP::RandomNumberGenerator& rng) {
    CryptoPP::InvertibleRSAFunction f;
    do {
        f.Initialize(rng, PublicRsaKey::KEY_BITS, 65537);
    } while (f.GetModulus().BitCount() != PublicRsaKey::KEY_BITS);
    return PrivateRsaKey(f.GetModulus(), f.GetPublicExponent(), f.GetPrivateExponent(),
                         f.GetPrime1(), f.GetPrime2(), f.GetModPrime1PrivateExponent(),
                         f.GetModPrime2PrivateExponent(),
                         f.GetMultiplicativeInverseOfPrime2ModPrime1());
}

void PrivateRsaKey::Save(CryptoPP::BufferedTransformation& target, bool publicOnly) const {
    if (publicOnly) {
        publicKey.Save(target);
        return;
    }
    CryptoPP::DERSequenceEncoder seq(target);
    CryptoPP::DEREncodeUnsigned<CryptoPP::word32>(seq, 0);
    for (const Integer* x : {&Modulus(), &Exponent(), &d, &p, &q, &dp, &dq, &u})
        x->DEREncode(seq);
    seq.MessageEnd();
}

Integer PrivateRsaKey::Root(const Integer& x) const {
    // x^d mod n from x^dp mod p and x^dq mod q, with u = q^-1 mod p.
    const Integer xp = CryptoPP::ModularExponentiation(x % p, dp, p);
    const Integer xq = CryptoPP::ModularExponentiation(x % q, dq, q);
    return xq + q * CryptoPP::ModularMultiplication(u, xp - xq, p);
}

void PrivateRsaKey::ApplyPrivateFunction(Integer x, Integer& out) const {
    out = Root(x);
}

int PrivateRsaKey::Decrypt(const uint8_t* cipher64, uint8_t* out53) const {
    uint8_t block[BLOCK_SIZE];
    Root(Integer(cipher64, BLOCK_SIZE)).Encode(block, BLOCK_SIZE);
    int len = 0;
    if (block[0] == 0x00 && block[1] == 0x02) {
        const uint8_t* separator = std::find(block + 2, block + BLOCK_SIZE, uint8_t(0x00));
        const uint8_t* data = separator == block + BLOCK_SIZE ? separator : separator + 1;
        len = static_cast<int>(block + BLOCK_SIZE - data);
        if (len > MAX_DATA)
            len = 0;
        std::copy_n(data, len, out53);
    }
    CryptoPP::SecureWipeArray(block, BLOCK_SIZE);
    return len;
}

void PrivateRsaKey::Sign(const uint8_t* msg, uint8_t* sig64, int len) const {
    if (len < 0 || len > MAX_DATA)
        throw std::length_error("RSA signature over more than 53 bytes");
    uint8_t block[BLOCK_SIZE];
    block[0] = 0x00;
    block[1] = 0x01;
    const int separator = BLOCK_SIZE - len - 1;
    std::fill(block + 2, block + separator, uint8_t(0xFF));
    block[separator] = 0x00;
    std::copy_n(msg, len, block + separator + 1);
    Root(Integer(block, BLOCK_SIZE)).Encode(sig64, BLOCK_SIZE);
}

void PrivateRsaKey::BlindMessage(Integer& r, Integer m, Integer& out) const {
    Integer re;
    publicKey.DrawBlindingFactor(r, re);
    out = CryptoPP::ModularMultiplication(m, re, Modulus());
}

bool PrivateRsaKey::UnblindAndVerify(Integer r, Integer m, Integer& s) const {
    const Integer unblinded = publicKey.Unblind(r, s);
    PrintNumber("Unblinded and signed text: ", unblinded);
    const Integer v = CryptoPP::ModularExponentiation(unblinded, Exponent(), Modulus());
    PrintNumber("Unblinded and unsigned text: ", v);
    if (v != m)
        return false;
    s = unblinded;
    return true;
}
