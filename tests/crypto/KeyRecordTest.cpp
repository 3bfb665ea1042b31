#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/RSARecord.h"
#include "crypto/rsaKeyError.h"

#include "paymentVectors.h"

#include <cryptopp/asn.h>
#include <cryptopp/osrng.h>
#include <cryptopp/queue.h>
#include <cryptopp/rsa.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;
using CryptoPP::Integer;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
namespace pv = paymentVectors;

const std::string GET_EMPTY = "RSARecord::Get empty capacity\n";

std::string AsFile(const bytes& data) {
    return std::string(data.begin(), data.end());
}

void Fill(RSARecord& record, const bytes& data) {
    std::string file(4, '\0');
    for (int i = 0; i < 4; ++i)
        file[size_t(i)] = char(data.size() >> (8 * i));
    std::istringstream in(file + AsFile(data));
    ASSERT_TRUE(record.Load(in));
}

bytes Encoding(const PrivateRsaKey& key, bool publicOnly) {
    RSARecord record;
    key.Save(record, publicOnly);
    bytes out(record.Count());
    record.Get(out.data(), out.size());
    return out;
}

void ExpectSameKey(const PrivateRsaKey& got, const PrivateRsaKey& want) {
    EXPECT_EQ(got.Modulus(), want.Modulus());
    EXPECT_EQ(got.Exponent(), want.Exponent());
    EXPECT_EQ(got.PrivateExponent(), want.PrivateExponent());
    EXPECT_EQ(got.Prime1(), want.Prime1());
    EXPECT_EQ(got.Prime2(), want.Prime2());
    EXPECT_EQ(got.Exponent1(), want.Exponent1());
    EXPECT_EQ(got.Exponent2(), want.Exponent2());
    EXPECT_EQ(got.Coefficient(), want.Coefficient());
}

TEST(KeyRecord, ShopFileGivesIdAndKey) {
    std::istringstream file(AsFile(pv::FromHex(pv::Data().at("kestpv_rsa_hex"))));
    RSARecord record;
    ASSERT_TRUE(record.Load(file));
    bytes shopId(4);
    ASSERT_EQ(record.Get(shopId.data(), 4), 4u);
    EXPECT_EQ(shopId, pv::FromHex(pv::Data().at("shop_id_hex")));
    bytes head(2);
    record.Peek(head.data(), 2);
    EXPECT_EQ(head, (bytes{0x30, 0x82})); // a long-form length
    ExpectSameKey(PrivateRsaKey(record), pv::ShopKey());
    EXPECT_EQ(record.Count(), 0u);
}

TEST(KeyRecord, BankFileGivesElevenKeys) {
    std::istringstream file(AsFile(pv::FromHex(pv::Data().at("bankpub_rsa_hex"))));
    RSARecord record;
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(record.Load(file)) << i;
        const PublicRsaKey key(record);
        const PrivateRsaKey want = i == 0 ? pv::BankKey() : pv::CoinKey(i - 1);
        EXPECT_EQ(key.Modulus(), want.Modulus()) << i;
        EXPECT_EQ(key.Exponent(), want.Exponent()) << i;
    }
    EXPECT_FALSE(record.Load(file));
}

TEST(KeyRecord, WrittenEncodingsAreShortestDer) {
    // The key files of the vectors hold shortest-form DER; writing the same
    // keys must give the same bytes.
    const bytes shopFile = pv::FromHex(pv::Data().at("kestpv_rsa_hex"));
    EXPECT_EQ(Encoding(pv::ShopKey(), false), bytes(shopFile.begin() + 8, shopFile.end()));
    const bytes privateHead{0x30, 0x82, 0x01, 0x3c, 0x02, 0x01, 0x00, 0x02, 0x41, 0x00};
    EXPECT_EQ(bytes(shopFile.begin() + 8, shopFile.begin() + 18), privateHead);

    const bytes bankFile = pv::FromHex(pv::Data().at("bankpub_rsa_hex"));
    EXPECT_EQ(Encoding(pv::BankKey(), true), bytes(bankFile.begin() + 4, bankFile.begin() + 78));

    RSARecord record;
    pv::CoinKey(3).PublicKey().Save(record);
    std::ostringstream out;
    ASSERT_TRUE(record.Save(out));
    std::istringstream in(out.str());
    ASSERT_TRUE(record.Load(in));
    EXPECT_EQ(PublicRsaKey(record).Modulus(), pv::CoinKey(3).Modulus());
}

TEST(KeyRecord, LongFormLengthsDecode) {
    // n and e with lengths in the 0x81 form, which DER would not use.
    const bytes shortForm = Encoding(pv::BankKey(), true);
    bytes longForm{0x30, 0x81, 0x4A, 0x02, 0x81, 0x41};
    longForm.reserve(80);
    longForm.insert(longForm.end(), shortForm.begin() + 4, shortForm.begin() + 69);
    longForm.insert(longForm.end(), {0x02, 0x81, 0x03, 0x01, 0x00, 0x01});
    RSARecord record;
    Fill(record, longForm);
    EXPECT_EQ(PublicRsaKey(record).Modulus(), pv::BankKey().Modulus());
}

TEST(KeyRecord, ExtraBytesAfterTheEncodingAreIgnored) {
    bytes data = Encoding(pv::ShopKey(), false);
    data.insert(data.end(), {0x02, 0x01, 0x05, 0xFF});
    RSARecord record;
    Fill(record, data);
    ExpectSameKey(PrivateRsaKey(record), pv::ShopKey());
}

TEST(KeyRecord, VersionOneIsRefused) {
    bytes data = Encoding(pv::ShopKey(), false);
    ASSERT_EQ(data[6], 0x00);
    data[6] = 0x01;
    RSARecord record;
    Fill(record, data);
    EXPECT_THROW(PrivateRsaKey{record}, CryptoPP::BERDecodeErr);
}

TEST(KeyRecord, ShortRecordsRaiseDecodeErrors) {
    const bytes full = Encoding(pv::BankKey(), true); // 30 48 02 41 00 <64> 02 03 01 00 01
    struct cut {
        const char* what;
        size_t count;
        std::string printed;
    };
    for (const auto& [what, count, printed] : {
             cut{"empty record", 0, GET_EMPTY},
             cut{"ends after the sequence header", 2, GET_EMPTY},
             cut{"ends inside the modulus", 40, ""},
             cut{"ends right after the modulus", 69, GET_EMPTY},
             cut{"ends after the exponent's tag", 70, GET_EMPTY},
             cut{"ends inside the exponent", 73, ""},
         }) {
        RSARecord record;
        Fill(record, bytes(full.begin(), full.begin() + long(count)));
        CaptureStdout();
        EXPECT_THROW(PublicRsaKey{record}, CryptoPP::BERDecodeErr) << what;
        EXPECT_EQ(GetCapturedStdout(), printed) << what;
    }
}

TEST(KeyRecord, BadRecordsNeverMakeAKey) {
    const bytes key = Encoding(pv::BankKey(), true);
    std::string overCapacity = std::string("\x01\x04\x00\x00", 4) + AsFile(key);
    overCapacity.resize(4 + 1025, '\0');
    struct file {
        const char* what;
        std::string content;
    };
    for (const auto& [what, content] : {
             file{"count above the capacity", overCapacity},
             file{"file shorter than its count",
                  std::string("\x4a\x00\x00\x00", 4) + AsFile(bytes(key.begin(), key.end() - 1))},
         }) {
        std::istringstream in(content);
        RSARecord record;
        EXPECT_FALSE(record.Load(in)) << what;
        CaptureStdout();
        EXPECT_THROW(PublicRsaKey{record}, CryptoPP::BERDecodeErr) << what;
        GetCapturedStdout();
    }
}

TEST(KeyRecord, KeysOtherThan512BitsAreRefused) {
    CryptoPP::AutoSeededRandomPool rng;
    for (unsigned bits : {384u, 1024u}) {
        CryptoPP::InvertibleRSAFunction f;
        f.Initialize(rng, bits, 65537);
        CryptoPP::ByteQueue privateKey, publicKey;
        f.DEREncodePrivateKey(privateKey);
        f.DEREncodePublicKey(publicKey);
        RSARecord record;
        privateKey.TransferAllTo(record);
        try {
            PrivateRsaKey{record};
            ADD_FAILURE() << bits << " bits taken";
        } catch (const rsaKeyError& e) {
            EXPECT_STREQ(e.what(), "RSA key is not 512 bits");
        }
        publicKey.TransferAllTo(record);
        EXPECT_THROW(PublicRsaKey{record}, rsaKeyError) << bits;
    }
    const Integer n511 = pv::BankKey().Modulus() >> 1;
    EXPECT_THROW(PublicRsaKey(n511, 65537), rsaKeyError);
    EXPECT_THROW(PublicRsaKey(-pv::BankKey().Modulus(), 65537), rsaKeyError);
}

TEST(KeyRecord, PrivateKeyNumbersMustFitTogether) {
    const PrivateRsaKey k = pv::ShopKey();
    EXPECT_THROW(PrivateRsaKey(k.Modulus(), k.Exponent(), k.PrivateExponent(), k.Prime1(),
                               k.Prime2() + 2, k.Exponent1(), k.Exponent2(), k.Coefficient()),
                 rsaKeyError);
    EXPECT_THROW(PrivateRsaKey(k.Modulus(), k.Exponent(), k.PrivateExponent(), k.Prime1(),
                               k.Prime2(), k.Exponent1(), Integer::Zero(), k.Coefficient()),
                 rsaKeyError);
}

} // namespace
