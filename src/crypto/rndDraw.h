#pragma once

#include <cryptopp/integer.h>
#include <cryptopp/rng.h>

#include <cstddef>
#include <cstdint>

// The draws that the system makes from a linear congruential generator
// (CryptoPP::LC_RNG, one 32-bit state, one output byte per step). Every random
// byte of the protocol comes from one of these, so their exact consumption of
// output bytes is part of the wire format: padding of RSA blocks and sealed
// messages, blinding factors, the session generator's warm-up and key texts.
class rndDraw {
public:
    // Seeds of the per-call generators.
    static constexpr uint32_t RSA_PADDING_SEED = 9375;
    static constexpr uint32_t BLINDING_SEED = 4030;

    // The next output byte.
    static uint8_t Byte(CryptoPP::LC_RNG& rng) { return rng.GenerateByte(); }
    // A byte from 1 to 255: output bytes 255 are skipped, the result is the
    // first other one plus 1.
    static uint8_t NonZeroByte(CryptoPP::LC_RNG& rng);
    // n output bytes in order.
    static void Block(CryptoPP::LC_RNG& rng, uint8_t* out, size_t n);
    // A number of `bits` bits: bits/8 + 1 output bytes read big-endian, of the
    // first of which only the low bits % 8 bits are kept.
    static CryptoPP::Integer Number(CryptoPP::LC_RNG& rng, unsigned bits);
};
