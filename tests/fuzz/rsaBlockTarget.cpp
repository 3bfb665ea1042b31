// 64-byte blocks decrypted with the shop's key and recovered with the bank's
// key: at most 53 bytes come out, and what comes out is what an honest peer
// would have put in.

#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "fuzzCheck.h"
#include "fuzzInput.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"

#include <algorithm>
#include <memory>

namespace {
constexpr int BLOCK = PublicRsaKey::BLOCK_SIZE;
constexpr int MAX_DATA = PublicRsaKey::MAX_DATA;
} // namespace

int RsaBlockTarget(const std::uint8_t* data, std::size_t size) {
    const fuzzWorld& world = fuzzWorld::Get();
    if (size < BLOCK) {
        return 0;
    }
    // Exactly as large as the operations may write, so that more is caught.
    const auto text = std::make_unique<std::uint8_t[]>(MAX_DATA);
    const int decrypted = world.shopKey.Decrypt(data, text.get());
    FUZZ_CHECK(decrypted >= 0 && decrypted <= MAX_DATA);
    if (decrypted > 0) {
        std::uint8_t again[BLOCK];
        std::uint8_t cipher[BLOCK];
        world.shopKey.PublicKey().Encrypt(text.get(), cipher, decrypted);
        FUZZ_CHECK(world.shopKey.Decrypt(cipher, again) == decrypted);
        FUZZ_CHECK(std::equal(text.get(), text.get() + decrypted, again));
    }

    const auto message = std::make_unique<std::uint8_t[]>(MAX_DATA);
    const int recovered = world.bankKey.PublicKey().Recover(data, message.get());
    FUZZ_CHECK(recovered >= 0 && recovered <= MAX_DATA);
    if (recovered > 0) {
        FUZZ_CHECK(world.bankKey.PublicKey().Verify(message.get(), recovered, data));
        std::uint8_t signature[BLOCK];
        world.bankKey.Sign(message.get(), signature, recovered);
        FUZZ_CHECK(world.bankKey.PublicKey().Recover(signature, message.get()) == recovered);
    }
    return 0;
}
