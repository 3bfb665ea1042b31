#pragma once

#include "crypto/lcRng.h"

#include <cryptopp/integer.h>

#include <cstddef>
#include <cstdint>

// The draws that the system makes from its generator (lcRng). Every random
// byte of the protocol comes from one of these, so their exact consumption of
// output bytes is part of the wire format: padding of RSA blocks and sealed
// messages, blinding factors, the session generator's warm-up and key texts.
class rndDraw {
public:
    // Seeds of the per-call generators.
    static constexpr uint32_t RSA_PADDING_SEED = 9375;
    static constexpr uint32_t BLINDING_SEED = 4030;

    // The next output byte.
    static uint8_t Byte(lcRng& rng) { return rng.NextByte(); }
    // A byte from 1 to 255: output bytes 255 are skipped, the result is the
    // first other one plus 1.
    static uint8_t NonZeroByte(lcRng& rng) {
        uint8_t b;
        do {
            b = rng.NextByte();
        } while (b == 255);
        return static_cast<uint8_t>(b + 1);
    }
    // n output bytes in order.
    static void Block(lcRng& rng, uint8_t* out, size_t n);
    // A number of `bits` bits: bits/8 + 1 output bytes read big-endian, of the
    // first of which only the low bits % 8 bits are kept.
    static CryptoPP::Integer Number(lcRng& rng, unsigned bits);
};
