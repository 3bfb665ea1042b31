#pragma once

#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"

#include <cstdint>
#include <filesystem>
#include <vector>

// A shop as the tools know it: its identifier and its key (public for the
// consumer and the bank, private for test shops).
struct shopPublicKey {
    std::uint32_t shopId = 0;
    PublicRsaKey key;
};
struct shopPrivateKey {
    std::uint32_t shopId = 0;
    PrivateRsaKey key;
};

// Reads the key files of a demo world, runs of records of a 4-byte
// little-endian length and the bytes: "bankpv.rsa" (the bank's private main
// key, then coin keys 0 to 9), "bankpub.rsa" (the same, public), "kestpub.rsa"
// (per record a 4-byte shop id, then the shop's public key) and "kestpv.rsa"
// (one record: the shop id, then the shop's private key). Every failure
// throws std::runtime_error naming the file and the record at fault.
class keyFile {
public:
    static std::vector<PrivateRsaKey> ReadPrivateKeys(const std::filesystem::path& file);
    static std::vector<PublicRsaKey> ReadPublicKeys(const std::filesystem::path& file);
    static std::vector<shopPublicKey> ReadShopKeys(const std::filesystem::path& file);
    static shopPrivateKey ReadShopPrivateKey(const std::filesystem::path& file);

    // Writes one record of a shop's id and public key (the "kestpub.rsa"
    // record) to `out`; returns whether the stream took it.
    static bool WriteShopKey(std::ostream& out, std::uint32_t shopId, const PrivateRsaKey& key);
};
