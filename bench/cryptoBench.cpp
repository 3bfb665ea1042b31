// The shop's cryptographic work for one payment, piece by piece, and its sum:
// the floor below which the shop's CPU time per payment cannot go.

#include "floorReporter.h"

#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/SymKey.h"
#include "crypto/lcRng.h"
#include "crypto/rndDraw.h"

#include <cryptopp/osrng.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

// Plaintext lengths of the messages the shop seals in one payment: to the
// consumer the signature, the key-check value, the coin receipt and the
// amount; to the bank the identity, the amount, the coin list (three coins),
// the confirmation reply, and the key-check text sealed under the bank's
// returned key.
const std::vector<int> SEALED = {64, 4, 4, 4, 68, 4, 211, 4, 18};
// Sealed lengths of the messages the shop opens in one payment: from the
// consumer the key-check reply, the coin list and the final reply; from the
// bank its signature, the key-check text, the identity receipt, the coin
// request, the receipt and the confirmation.
const std::vector<int> OPENED = {16, 224, 16, 80, 32, 16, 24, 24, 16};

struct fixture {
    CryptoPP::AutoSeededRandomPool rng;
    const PrivateRsaKey shopKey = PrivateRsaKey::Generate(rng);
    const PublicRsaKey bankKey = PrivateRsaKey::Generate(rng).PublicKey();
    const bytes text = bytes(53, 'K');
    const SymKey symKey{text.data(), text.size()};
};

fixture& Keys() {
    static fixture keys;
    return keys;
}

void Decrypt(benchmark::State& state) {
    const auto& k = Keys();
    bytes cipher(64), out(53);
    k.shopKey.PublicKey().Encrypt(k.text.data(), cipher.data(), 53);
    for (auto _ : state)
        benchmark::DoNotOptimize(k.shopKey.Decrypt(cipher.data(), out.data()));
}

void Sign(benchmark::State& state) {
    const auto& k = Keys();
    bytes sig(64);
    for (auto _ : state) {
        k.shopKey.Sign(k.text.data(), sig.data(), 53);
        benchmark::DoNotOptimize(sig.data());
    }
}

void Encrypt(benchmark::State& state) {
    const auto& k = Keys();
    bytes cipher(64);
    for (auto _ : state) {
        k.bankKey.Encrypt(k.text.data(), cipher.data(), 53);
        benchmark::DoNotOptimize(cipher.data());
    }
}

void Recover(benchmark::State& state) {
    const auto& k = Keys();
    bytes sig(64), out(53);
    k.shopKey.Sign(k.text.data(), sig.data(), 53);
    for (auto _ : state)
        benchmark::DoNotOptimize(k.shopKey.PublicKey().Recover(sig.data(), out.data()));
}

void SymKeySetup(benchmark::State& state) {
    const auto& k = Keys();
    for (auto _ : state) {
        const SymKey key(k.text.data(), k.text.size());
        benchmark::DoNotOptimize(&key);
    }
}

void SealPaymentMessages(benchmark::State& state) {
    const auto& k = Keys();
    const bytes in(1024, 0x5A);
    bytes out(1024);
    for (auto _ : state) {
        for (int len : SEALED)
            benchmark::DoNotOptimize(k.symKey.EncryptMessage(in.data(), out.data(), len));
    }
}

void OpenPaymentMessages(benchmark::State& state) {
    const auto& k = Keys();
    std::vector<bytes> sealed;
    for (int len : OPENED) {
        // len - 12 bytes (4 past a block boundary) seal to exactly len bytes.
        const bytes plain(static_cast<size_t>(len - 12), 0x5A);
        bytes s(static_cast<size_t>(len));
        k.symKey.EncryptMessage(plain.data(), s.data(), len - 12);
        sealed.push_back(s);
    }
    bytes out(1024);
    for (auto _ : state) {
        for (const bytes& s : sealed)
            benchmark::DoNotOptimize(k.symKey.DecryptMessage(s.data(), out.data(), int(s.size())));
    }
}

// The session generator's warm-up (on average 2565 bits, i.e. 321 bytes) and
// the 53-character key text for the bank.
void SessionKeyText(benchmark::State& state) {
    uint32_t seed = 1;
    bytes text(53);
    for (auto _ : state) {
        lcRng generator(seed++);
        benchmark::DoNotOptimize(rndDraw::Number(generator, 2565));
        for (auto& c : text)
            c = static_cast<uint8_t>(rndDraw::Byte(generator) % 95 + 32);
        benchmark::DoNotOptimize(text.data());
    }
}

struct part {
    const char* name;
    void (*run)(benchmark::State&);
    int perPayment;
};

const part PARTS[] = {
    {"Decrypt", Decrypt, 1},
    {"Sign", Sign, 2},
    {"Encrypt", Encrypt, 1},
    {"Recover", Recover, 1},
    {"SymKeySetup", SymKeySetup, 3},
    {"SealPaymentMessages", SealPaymentMessages, 1},
    {"OpenPaymentMessages", OpenPaymentMessages, 1},
    {"SessionKeyText", SessionKeyText, 1},
};

} // namespace

int main(int argc, char** argv) {
    for (const part& p : PARTS)
        benchmark::RegisterBenchmark(p.name, p.run)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    floorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double total = 0;
    for (const part& p : PARTS) {
        const double us = reporter.CpuMicroseconds(p.name);
        if (us < 0) {
            std::printf("crypto floor per payment: incomplete (%s did not run)\n", p.name);
            return 0;
        }
        total += us * p.perPayment;
    }
    std::printf("crypto floor per payment: %.2f us\n", total);
    std::printf("crypto_floor_us=%.2f\n", total);
    return 0;
}
