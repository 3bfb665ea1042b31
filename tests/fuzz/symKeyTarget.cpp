// Sealed messages opened by SymKey::DecryptMessage, under a key that the
// input chooses; and the input sealed and opened again.

#include "crypto/SymKey.h"
#include "fuzzCheck.h"
#include "fuzzInput.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"

#include <algorithm>
#include <memory>

int SymKeyTarget(const std::uint8_t* data, std::size_t size) {
    fuzzWorld::Get();
    fuzzInput in(data, size);
    const std::vector<std::uint8_t> keyText = in.Bytes(SymKey::KEY_SIZE);
    const SymKey key(keyText.data(), keyText.size());
    const std::vector<std::uint8_t> message = in.Rest();
    const int length = static_cast<int>(message.size());

    // Exactly as large as the message, so that a write past it is caught.
    const auto opened = std::make_unique<std::uint8_t[]>(message.size() + 1);
    const int openedLength = key.DecryptMessage(message.data(), opened.get(), length);
    FUZZ_CHECK(openedLength >= 0 && openedLength <= length);
    FUZZ_CHECK(openedLength == 0 || (length % 8 == 0 && openedLength <= length - 9));

    // In place, the same.
    std::vector<std::uint8_t> inPlace = message;
    FUZZ_CHECK(key.DecryptMessage(inPlace.data(), inPlace.data(), length) == openedLength);
    FUZZ_CHECK(std::equal(opened.get(), opened.get() + openedLength, inPlace.begin()));

    // Sealing gives the announced size, and opens to the message again.
    const int sealedLength = SymKey::SealedLength(length);
    const auto sealed =
        std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(sealedLength) + 1);
    FUZZ_CHECK(key.EncryptMessage(message.data(), sealed.get(), length) == sealedLength);
    if (length > 0) {
        FUZZ_CHECK(sealedLength == length - length % 8 + 16);
        const auto again = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(sealedLength));
        FUZZ_CHECK(key.DecryptMessage(sealed.get(), again.get(), sealedLength) == length);
        FUZZ_CHECK(std::equal(message.begin(), message.end(), again.get()));
    }
    return 0;
}
