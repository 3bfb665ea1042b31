#include "crypto/PublicRsaKey.h"

#include "crypto/lcRng.h"
#include "crypto/rndDraw.h"
#include "crypto/rsaKeyError.h"

#include <cryptopp/asn.h>
#include <cryptopp/misc.h>
#include <cryptopp/nbtheory.h>

#include <algorithm>
#include <stdexcept>

using CryptoPP::Integer;

namespace {

void CheckKey(const Integer& n, const Integer& e) {
    if (n.IsNegative() || n.BitCount() != PublicRsaKey::KEY_BITS)
        throw rsaKeyError("RSA key is not 512 bits");
    if (!e.IsPositive())
        throw rsaKeyError("RSA key has a public exponent that is not positive");
}

} // namespace

PublicRsaKey::PublicRsaKey(CryptoPP::BufferedTransformation& source) {
    CryptoPP::BERSequenceDecoder seq(source);
    n.BERDecode(seq);
    e.BERDecode(seq);
    seq.MessageEnd();
    CheckKey(n, e);
}

PublicRsaKey::PublicRsaKey(const Integer& n_, const Integer& e_) : n(n_), e(e_) {
    CheckKey(n, e);
}

void PublicRsaKey::Save(CryptoPP::BufferedTransformation& target) const {
    CryptoPP::DERSequenceEncoder seq(target);
    n.DEREncode(seq);
    e.DEREncode(seq);
    seq.MessageEnd();
}

void PublicRsaKey::Encrypt(const uint8_t* plain, uint8_t* cipher64, int len) const {
    if (len < 0 || len > MAX_DATA)
        throw std::length_error("RSA encryption of more than 53 bytes");
    uint8_t block[BLOCK_SIZE];
    block[0] = 0x00;
    block[1] = 0x02;
    lcRng rng(rndDraw::RSA_PADDING_SEED);
    const int separator = BLOCK_SIZE - len - 1;
    for (int i = 2; i < separator; ++i)
        block[i] = rndDraw::NonZeroByte(rng);
    block[separator] = 0x00;
    std::copy_n(plain, len, block + separator + 1);
    const Integer m(block, BLOCK_SIZE);
    CryptoPP::SecureWipeArray(block, BLOCK_SIZE);
    CryptoPP::ModularExponentiation(m, e, n).Encode(cipher64, BLOCK_SIZE);
}

int PublicRsaKey::Recover(const uint8_t* sig64, uint8_t* out53) const {
    uint8_t block[BLOCK_SIZE];
    CryptoPP::ModularExponentiation(Integer(sig64, BLOCK_SIZE), e, n).Encode(block, BLOCK_SIZE);
    if (block[0] != 0x00 || block[1] != 0x01)
        return 0;
    int i = 2;
    while (i < BLOCK_SIZE && block[i] == 0xFF)
        ++i;
    // The padding must end in the separator, and leave at most 53 bytes.
    if (i == BLOCK_SIZE || block[i] != 0x00)
        return 0;
    const int len = BLOCK_SIZE - i - 1;
    if (len > MAX_DATA)
        return 0;
    std::copy_n(block + i + 1, len, out53);
    return len;
}

bool PublicRsaKey::Verify(const uint8_t* msg, int len, const uint8_t* sig64) const {
    uint8_t text[MAX_DATA];
    const int got = Recover(sig64, text);
    return got == len && std::equal(text, text + got, msg);
}

void PublicRsaKey::ApplyFunction(Integer x, Integer& out) const {
    x %= n;
    out = CryptoPP::ModularExponentiation(x, e, n);
}

void PublicRsaKey::DrawBlindingFactor(Integer& r, Integer& re) const {
    lcRng rng(rndDraw::BLINDING_SEED);
    do {
        r = rndDraw::Number(rng, 32);
        re = CryptoPP::ModularExponentiation(r, e, n);
    } while (re.GetBits(0, 31) == 0);
}

void PublicRsaKey::MakeBlindingFactor(Integer& r) const {
    Integer re;
    DrawBlindingFactor(r, re);
}

void PublicRsaKey::Blind(const Integer& r, Integer m, Integer& out) const {
    out = CryptoPP::ModularMultiplication(m, CryptoPP::ModularExponentiation(r, e, n), n);
}

Integer PublicRsaKey::Unblind(const Integer& r, const Integer& s) const {
    return CryptoPP::ModularMultiplication(s, r.InverseMod(n), n);
}

bool PublicRsaKey::UnblindAndVerify(Integer r, Integer m, Integer& s) const {
    const Integer unblinded = Unblind(r, s);
    if (CryptoPP::ModularExponentiation(unblinded, e, n) != m)
        return false;
    s = unblinded;
    return true;
}
