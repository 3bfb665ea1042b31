#include "common/coinFormat.h"

#include "common/byteUtil.h"
#include "common/msgCodes.h"

#include <cryptopp/sha.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t TAG[4] = {'K', 'S', 'T', 'C'};
constexpr std::size_t HASHED = 32;

void HashInto(std::uint8_t* block) {
    CryptoPP::SHA256().CalculateDigest(block + HASHED, block, HASHED);
}

} // namespace

std::string coinIdent::SerialText() const {
    return byteUtil::ToHex(serial.data(), serial.size());
}

CryptoPP::Integer coinFormat::Message(const coinIdent& coin) {
    std::uint8_t block[MESSAGE_SIZE] = {};
    std::memcpy(block + 1, TAG, sizeof TAG);
    block[5] = coin.denomination;
    std::memcpy(block + 8, coin.serial.data(), coin.serial.size());
    HashInto(block);
    return CryptoPP::Integer(block, sizeof block);
}

std::optional<coinIdent> coinFormat::Parse(const CryptoPP::Integer& m) {
    if (m.IsNegative() || m.MinEncodedSize() > MESSAGE_SIZE)
        return std::nullopt;
    std::uint8_t block[MESSAGE_SIZE];
    m.Encode(block, sizeof block);
    std::uint8_t expected[MESSAGE_SIZE];
    std::memcpy(expected, block, HASHED);
    HashInto(expected);
    if (block[0] != 0 || std::memcmp(block + 1, TAG, sizeof TAG) != 0 ||
        block[5] >= msgCodes::COIN_KEYS || block[6] != 0 || block[7] != 0 ||
        std::memcmp(block + HASHED, expected + HASHED, MESSAGE_SIZE - HASHED) != 0)
        return std::nullopt;
    coinIdent coin;
    coin.denomination = block[5];
    std::copy(block + 8, block + 8 + coin.serial.size(), coin.serial.begin());
    return coin;
}

coinIdent coinFormat::NewCoin(std::uint8_t denomination, CryptoPP::RandomNumberGenerator& rng) {
    coinIdent coin;
    coin.denomination = denomination;
    rng.GenerateBlock(coin.serial.data(), coin.serial.size());
    return coin;
}
