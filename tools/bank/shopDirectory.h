#pragma once

#include "crypto/PublicRsaKey.h"

#include <cstdint>
#include <filesystem>
#include <map>

// The shops whose payments the bank accepts: shop id to the shop's public
// key, read from "kestpub.rsa" files. Filled before the bank starts
// listening, then only read (by any number of threads).
class shopDirectory {
public:
    // Adds every shop record of the file. Throws std::runtime_error when the
    // file cannot be read or names a shop that is known already.
    void AddFile(const std::filesystem::path& file);
    // The shop's key, or null for an unknown shop.
    const PublicRsaKey* Find(std::uint32_t shopId) const;
    std::size_t Count() const { return shops.size(); }

private:
    std::map<std::uint32_t, PublicRsaKey> shops;
};
