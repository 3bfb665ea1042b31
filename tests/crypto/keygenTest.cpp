#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/RSARecord.h"

#include "childProcess.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Runs the built kestrane-keygen into a fresh folder and reads its files back.
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;
using CryptoPP::Integer;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Keygen : public testing::Test {
protected:
    scratchFolder scratch;
    const fs::path folder = scratch.path;
    std::string out, err;

    // Runs the tool with `args`; returns its exit status.
    int Run(const std::vector<std::string>& args) {
        const toolRun run = RunTool(programPaths::KEYGEN, args, folder);
        out = run.out;
        err = run.err;
        return run.status;
    }
};

TEST_F(Keygen, WritesAWorldThatLoadsBack) {
    const fs::path world = folder / "new" / "world";
    ASSERT_EQ(Run({"--shop-id", "0x2a", world.string()}), 0) << err;
    EXPECT_NE(out.find("kestpv.rsa"), std::string::npos);
    EXPECT_NE(out.find("bankpv.rsa"), std::string::npos);
    EXPECT_EQ((fs::status(world / "kestpv.rsa").permissions() & fs::perms::others_read),
              fs::perms::none);

    RSARecord record;
    std::ifstream shopFile(world / "kestpv.rsa", std::ios::binary);
    ASSERT_TRUE(record.Load(shopFile));
    bytes shopId(4);
    record.Get(shopId.data(), 4);
    EXPECT_EQ(shopId, (bytes{0x2a, 0, 0, 0}));
    const PrivateRsaKey shopKey(record);
    EXPECT_EQ(shopKey.Modulus(), shopKey.Prime1() * shopKey.Prime2());
    EXPECT_EQ(shopKey.Modulus().BitCount(), 512u);
    EXPECT_EQ(shopFile.peek(), EOF);

    const bytes text(53, 'k');
    bytes sig(64);
    shopKey.Sign(text.data(), sig.data(), 53);
    EXPECT_TRUE(shopKey.PublicKey().Verify(text.data(), 53, sig.data()));

    // kestpub.rsa: the same id, then the public half of the same key.
    std::ifstream shopPublicFile(world / "kestpub.rsa", std::ios::binary);
    ASSERT_TRUE(record.Load(shopPublicFile));
    bytes publicId(4);
    record.Get(publicId.data(), 4);
    EXPECT_EQ(publicId, shopId);
    const PublicRsaKey shopPublic(record);
    EXPECT_EQ(record.Count(), 0u);
    EXPECT_EQ(shopPublicFile.peek(), EOF);
    EXPECT_EQ(shopPublic.Modulus(), shopKey.Modulus());
    EXPECT_TRUE(shopPublic.Verify(text.data(), 53, sig.data()));

    std::ifstream publicFile(world / "bankpub.rsa", std::ios::binary);
    std::ifstream privateFile(world / "bankpv.rsa", std::ios::binary);
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(record.Load(publicFile)) << i;
        const PublicRsaKey pub(record);
        ASSERT_TRUE(record.Load(privateFile)) << i;
        const PrivateRsaKey key(record);
        EXPECT_EQ(pub.Modulus(), key.Modulus()) << i;
        EXPECT_EQ(pub.Exponent(), 65537) << i;
        EXPECT_EQ(key.Modulus(), key.Prime1() * key.Prime2()) << i;

        // A coin of this key gives its number back under the public key.
        const Integer m = Integer(1000 + i);
        Integer coin, back;
        key.ApplyPrivateFunction(m, coin);
        pub.ApplyFunction(coin, back);
        EXPECT_EQ(back, m) << i;
    }
    EXPECT_EQ(publicFile.peek(), EOF);
    EXPECT_EQ(privateFile.peek(), EOF);
}

TEST_F(Keygen, KeepsExistingFilesUnlessForced) {
    ASSERT_EQ(Run({folder.string()}), 0) << err;
    const std::string before = ReadFile(folder / "bankpub.rsa");

    // Any one of the four files is enough to refuse.
    const fs::path other = folder / "other";
    fs::create_directory(other);
    std::ofstream(other / "kestpub.rsa") << "x";
    EXPECT_NE(Run({other.string()}), 0);
    EXPECT_NE(err.find("kestpub.rsa exists"), std::string::npos);
    EXPECT_FALSE(fs::exists(other / "bankpv.rsa"));

    EXPECT_NE(Run({"--shop-id", "7", folder.string()}), 0);
    EXPECT_NE(err.find("--force"), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "bankpub.rsa"), before);

    EXPECT_EQ(Run({"--force", "--shop-id", "7", folder.string()}), 0) << err;
    EXPECT_NE(ReadFile(folder / "bankpub.rsa"), before);
    EXPECT_EQ(ReadFile(folder / "kestpv.rsa").substr(4, 4), std::string("\x07\0\0\0", 4));
}

TEST_F(Keygen, CommandLine) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.find("usage: kestrane-keygen"), std::string::npos);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--shop-id", "4294967296", "x"},
             {"--shop-id", "-1", "x"},
             {"--shop-id", "12ab", "x"},
             {"--shop-id"},
             {"--frobnicate", "x"},
             {"a", "b"},
         }) {
        EXPECT_NE(Run(args), 0) << testing::PrintToString(args);
        EXPECT_FALSE(err.empty());
    }
    EXPECT_FALSE(fs::exists("x"));
}

} // namespace
