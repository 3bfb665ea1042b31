#include "shopDirectory.h"

#include "common/keyFile.h"

#include <stdexcept>
#include <string>

void shopDirectory::AddFile(const std::filesystem::path& file) {
    for (const shopPublicKey& shop : keyFile::ReadShopKeys(file)) {
        if (!shops.emplace(shop.shopId, shop.key).second)
            throw std::runtime_error(file.string() + ": shop " + std::to_string(shop.shopId) +
                                     " is known already");
    }
}

const PublicRsaKey* shopDirectory::Find(std::uint32_t shopId) const {
    const auto found = shops.find(shopId);
    return found == shops.end() ? nullptr : &found->second;
}
