#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "crypto/RSARecord.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

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
    fs::path folder;
    std::string out, err;

    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "kestrane-keygen-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name;
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs the tool with `args`; returns its exit status.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), KESTRANE_KEYGEN);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string outFile = (folder / "stdout").string();
        const std::string errFile = (folder / "stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFile(outFile);
        err = ReadFile(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
