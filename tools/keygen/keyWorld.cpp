#include "keyWorld.h"

#include "common/keyFile.h"
#include "crypto/RSARecord.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Writes one file of records under a temporary name; `fill` puts the records.
// A file with private keys is readable by its owner only.
fs::path WriteRecords(const fs::path& target, bool secret,
                      const std::function<bool(RSARecord&, std::ostream&)>& fill) {
    fs::path temporary = target;
    temporary += ".new";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    std::error_code failed;
    if (out && secret)
        fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write, failed);
    RSARecord record;
    if (!out || failed || !fill(record, out) || !out.flush()) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot write " + temporary.string());
    }
    return temporary;
}

} // namespace

keyWorld::keyWorld(uint32_t shopId_, CryptoPP::RandomNumberGenerator& rng)
    : shopId(shopId_), shopKey(PrivateRsaKey::Generate(rng)),
      bankKey(PrivateRsaKey::Generate(rng)) {
    for (int d = 0; d < COIN_KEYS; ++d)
        coinKeys.push_back(PrivateRsaKey::Generate(rng));
}

std::vector<fs::path> keyWorld::ExistingFiles(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const char* name : {SHOP_FILE, BANK_PUBLIC_FILE, BANK_PRIVATE_FILE, SHOP_PUBLIC_FILE}) {
        std::error_code ignored;
        if (fs::exists(folder / name, ignored))
            found.push_back(folder / name);
    }
    return found;
}

std::vector<std::string> keyWorld::Write(const fs::path& folder) const {
    fs::create_directories(folder);

    auto bankRecords = [this](bool publicOnly) {
        return [this, publicOnly](RSARecord& record, std::ostream& out) {
            bankKey.Save(record, publicOnly);
            bool good = record.Save(out);
            for (const PrivateRsaKey& coinKey : coinKeys) {
                coinKey.Save(record, publicOnly);
                good = record.Save(out) && good;
            }
            return good;
        };
    };
    const fs::path names[] = {folder / SHOP_FILE, folder / BANK_PUBLIC_FILE,
                              folder / BANK_PRIVATE_FILE, folder / SHOP_PUBLIC_FILE};
    const fs::path written[] = {
        WriteRecords(names[0], true,
                     [this](RSARecord& record, std::ostream& out) {
                         const uint8_t id[4] = {uint8_t(shopId), uint8_t(shopId >> 8),
                                                uint8_t(shopId >> 16), uint8_t(shopId >> 24)};
                         record.Put(id, sizeof id);
                         shopKey.Save(record);
                         return record.Save(out);
                     }),
        WriteRecords(names[1], false, bankRecords(true)),
        WriteRecords(names[2], true, bankRecords(false)),
        WriteRecords(names[3], false,
                     [this](RSARecord&, std::ostream& out) {
                         return keyFile::WriteShopKey(out, shopId, shopKey);
                     }),
    };
    for (int i = 0; i < 4; ++i)
        fs::rename(written[i], names[i]);

    char id[40];
    std::snprintf(id, sizeof id, "%u (0x%08x)", shopId, shopId);
    return {
        "wrote " + names[0].string() + ": shop id " + id + " and the shop's private key",
        "wrote " + names[1].string() + ": the bank's public key, then coin keys 0 to 9",
        "wrote " + names[2].string() +
            ": the bank's private key, then coin keys 0 to 9 (keep it with the bank)",
        "wrote " + names[3].string() + ": shop id " + id +
            " and the shop's public key (for consumers and the bank)",
    };
}
