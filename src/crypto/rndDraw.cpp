#include "crypto/rndDraw.h"

#include <cryptopp/secblock.h>

void rndDraw::Block(lcRng& rng, uint8_t* out, size_t n) {
    rng.GenerateBlock(out, n);
}

CryptoPP::Integer rndDraw::Number(lcRng& rng, unsigned bits) {
    const size_t n = bits / 8 + 1;
    CryptoPP::SecByteBlock bytes(n);
    rng.GenerateBlock(bytes, n);
    bytes[0] &= static_cast<uint8_t>((1u << (bits % 8)) - 1);
    return CryptoPP::Integer(bytes, n, CryptoPP::Integer::UNSIGNED);
}
