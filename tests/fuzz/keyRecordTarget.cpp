// Key files read as the document reads them: one record holding the shop's
// identifier and private key, then up to eleven records of public keys. A
// record is refused or decodes into a key of the system; a key that decodes
// then serves every operation without reading or writing outside its blocks.

#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/RSARecord.h"
#include "fuzzCheck.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"

#include <cryptopp/cryptlib.h>

#include <sstream>
#include <string>

namespace {
constexpr int BLOCK = PublicRsaKey::BLOCK_SIZE;
constexpr int MAX_DATA = PublicRsaKey::MAX_DATA;

// A text and a block to put through the keys' operations.
const std::uint8_t SAMPLE[BLOCK] = {0x00, 0x02, 0x5A, 0xA5, 0x01, 0xFF, 0x7E, 0x00, 0x41, 0x42};

void Exercise(const PublicRsaKey& key) {
    FUZZ_CHECK(key.Modulus().BitCount() == PublicRsaKey::KEY_BITS);
    std::uint8_t cipher[BLOCK];
    key.Encrypt(SAMPLE, cipher, MAX_DATA);
    std::uint8_t text[MAX_DATA];
    FUZZ_CHECK(key.Recover(SAMPLE, text) <= MAX_DATA);
}

void Exercise(const PrivateRsaKey& key) {
    Exercise(key.PublicKey());
    std::uint8_t text[MAX_DATA];
    FUZZ_CHECK(key.Decrypt(SAMPLE, text) <= MAX_DATA);
    std::uint8_t signature[BLOCK];
    key.Sign(SAMPLE, signature, MAX_DATA);
}

bool Loaded(RSARecord& record, std::istream& in) {
    const bool loaded = record.Load(in);
    FUZZ_CHECK(record.Count() <= RSARecord::CAPACITY);
    FUZZ_CHECK(loaded || record.Count() == 0);
    return loaded;
}
} // namespace

int KeyRecordTarget(const std::uint8_t* data, std::size_t size) {
    fuzzWorld::Get();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    RSARecord record;
    if (!Loaded(record, in)) {
        return 0;
    }
    CryptoPP::byte id[4];
    if (record.Get(id, sizeof id) == sizeof id) {
        try {
            Exercise(PrivateRsaKey(record));
        } catch (const CryptoPP::Exception&) {
        }
    }
    for (int i = 0; i < 11 && Loaded(record, in); ++i) {
        try {
            Exercise(PublicRsaKey(record));
        } catch (const CryptoPP::Exception&) {
        }
    }
    return 0;
}
