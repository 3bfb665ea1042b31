#include "keyText.h"

#include "common/msgCodes.h"

#include <cryptopp/osrng.h>

bytes keyText::Make() {
    constexpr unsigned CHARACTERS = 95; // 32 to 126
    CryptoPP::AutoSeededRandomPool rng;
    bytes text;
    while (text.size() < static_cast<std::size_t>(msgCodes::KEY_TEXT_LENGTH)) {
        const unsigned b = rng.GenerateByte();
        if (b < 2 * CHARACTERS) // 190..255 would favour the first characters
            text.push_back(static_cast<std::uint8_t>(32 + b % CHARACTERS));
    }
    return text;
}
