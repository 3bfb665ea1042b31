#include "common/keyFile.h"

#include "common/byteUtil.h"
#include "crypto/RSARecord.h"

#include <cryptopp/cryptlib.h>

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

namespace {

// Calls `take` with each record of the file in turn; `take` decodes what it
// needs, and the record must then be used up.
void ForEachRecord(const std::filesystem::path& file, const std::function<void(RSARecord&)>& take) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    RSARecord record;
    for (int index = 1; in.peek() != std::char_traits<char>::eof(); ++index) {
        const std::string where = file.string() + ", record " + std::to_string(index);
        if (!record.Load(in))
            throw std::runtime_error(where + ": cut short or too long");
        try {
            take(record);
        } catch (const CryptoPP::Exception& e) {
            throw std::runtime_error(where + ": not a usable key (" + e.GetWhat() + ")");
        }
        if (record.Count() != 0)
            throw std::runtime_error(where + ": " + std::to_string(record.Count()) +
                                     " bytes left over after the key");
    }
}

std::uint32_t TakeShopId(RSARecord& record, const std::string& file) {
    std::uint8_t id[4];
    if (record.Count() < sizeof id)
        throw std::runtime_error(file + ": record too short for a shop id");
    record.Get(id, sizeof id);
    return byteUtil::GetLe32(id);
}

} // namespace

std::vector<PrivateRsaKey> keyFile::ReadPrivateKeys(const std::filesystem::path& file) {
    std::vector<PrivateRsaKey> keys;
    ForEachRecord(file, [&](RSARecord& record) { keys.emplace_back(record); });
    return keys;
}

std::vector<PublicRsaKey> keyFile::ReadPublicKeys(const std::filesystem::path& file) {
    std::vector<PublicRsaKey> keys;
    ForEachRecord(file, [&](RSARecord& record) { keys.emplace_back(record); });
    return keys;
}

std::vector<shopPublicKey> keyFile::ReadShopKeys(const std::filesystem::path& file) {
    std::vector<shopPublicKey> shops;
    ForEachRecord(file, [&](RSARecord& record) {
        const std::uint32_t id = TakeShopId(record, file.string());
        shops.push_back({id, PublicRsaKey(record)});
    });
    return shops;
}

shopPrivateKey keyFile::ReadShopPrivateKey(const std::filesystem::path& file) {
    std::vector<shopPrivateKey> shops;
    ForEachRecord(file, [&](RSARecord& record) {
        const std::uint32_t id = TakeShopId(record, file.string());
        shops.push_back({id, PrivateRsaKey(record)});
    });
    if (shops.size() != 1)
        throw std::runtime_error(file.string() + ": " + std::to_string(shops.size()) +
                                 " records instead of one");
    return shops.front();
}

bool keyFile::WriteShopKey(std::ostream& out, std::uint32_t shopId, const PrivateRsaKey& key) {
    RSARecord record;
    const bytes id = byteUtil::Le32(shopId);
    record.Put(id.data(), id.size());
    key.Save(record, true);
    return record.Save(out);
}
