#pragma once

#include <cryptopp/cryptlib.h>

#include <cstddef>
#include <cstdint>

// The linear congruential generator behind every random byte of the protocol:
// the Park-Miller minimal standard generator (multiplier 48271, modulus
// 2^31 - 1, Schrage's step with a signed 32-bit intermediate), each output
// byte being the exclusive-or of the four bytes of the new state.
//
// Crypto++'s own LC_RNG is not used: the installed version computes the step
// in unsigned arithmetic, so once the intermediate value is negative its
// states, and the bytes that peers expect, differ from these.
class lcRng : public CryptoPP::RandomNumberGenerator {
public:
    explicit lcRng(uint32_t seed) : state(seed) {}

    uint8_t NextByte() {
        const uint32_t hi = state / 44488;
        const uint32_t lo = state % 44488;
        const int32_t t = static_cast<int32_t>(48271 * lo - 3399 * hi);
        state = t > 0 ? static_cast<uint32_t>(t) : static_cast<uint32_t>(t + 2147483647);
        return static_cast<uint8_t>(state ^ state >> 8 ^ state >> 16 ^ state >> 24);
    }
    uint32_t State() const { return state; }

    CryptoPP::byte GenerateByte() override { return NextByte(); }
    void GenerateBlock(CryptoPP::byte* output, size_t size) override;
    std::string AlgorithmName() const override { return "lcRng"; }

private:
    uint32_t state;
};
