#include "crypto/rndDraw.h"

#include <cryptopp/secblock.h>

uint8_t rndDraw::NonZeroByte(CryptoPP::LC_RNG& rng) {
    uint8_t b;
    do {
        b = rng.GenerateByte();
    } while (b == 255);
    return static_cast<uint8_t>(b + 1);
}

void rndDraw::Block(CryptoPP::LC_RNG& rng, uint8_t* out, size_t n) {
    rng.GenerateBlock(out, n);
}

CryptoPP::Integer rndDraw::Number(CryptoPP::LC_RNG& rng, unsigned bits) {
    const size_t n = bits / 8 + 1;
    CryptoPP::SecByteBlock bytes(n);
    rng.GenerateBlock(bytes, n);
    bytes[0] &= static_cast<uint8_t>((1u << (bits % 8)) - 1);
    return CryptoPP::Integer(bytes, n, CryptoPP::Integer::UNSIGNED);
}
