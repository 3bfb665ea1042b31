#pragma once

#include "crypto/PrivateRsaKey.h"

#include <cryptopp/cryptlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A demo world of keys: the shop's identifier and private key, and the
// bank's main key and ten coin keys. It writes the shop's "kestpv.rsa", the
// bank's public "bankpub.rsa" and the bank's private "bankpv.rsa" (the main
// key, then coin keys 0 to 9, in the record format of the key files), and
// "kestpub.rsa": one record of the shop id and the shop's public key, which
// consumers use to talk to the shop and the bank to check its identity.
class keyWorld {
public:
    static constexpr int COIN_KEYS = 10;
    static constexpr const char* SHOP_FILE = "kestpv.rsa";
    static constexpr const char* BANK_PUBLIC_FILE = "bankpub.rsa";
    static constexpr const char* BANK_PRIVATE_FILE = "bankpv.rsa";
    static constexpr const char* SHOP_PUBLIC_FILE = "kestpub.rsa";

    // Draws every key from `rng`.
    keyWorld(uint32_t shopId, CryptoPP::RandomNumberGenerator& rng);

    // The key files of `folder` that exist already.
    static std::vector<std::filesystem::path> ExistingFiles(const std::filesystem::path& folder);

    // Creates `folder` if needed and writes the four files, each first under
    // a temporary name; throws std::runtime_error naming the file that could
    // not be written. Returns one line per file saying what it holds.
    std::vector<std::string> Write(const std::filesystem::path& folder) const;

private:
    uint32_t shopId;
    PrivateRsaKey shopKey;
    PrivateRsaKey bankKey;
    std::vector<PrivateRsaKey> coinKeys;
};
