// Start-up and stop of the real `kestrane` program.

#include "scriptedParties.h"
#include "scriptedPeer.h"
#include "shopProcess.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using lines = std::vector<std::string>;

struct missingCase {
    const char* label;
    std::vector<const char*> removed;
    const char* message;
};

void PrintTo(const missingCase& test, std::ostream* out) {
    *out << test.label;
}

class startupFailure : public ::testing::TestWithParam<missingCase> {};

TEST_P(startupFailure, ShowsOnlyTheFirstMissingFileAndExitsWithStatus1) {
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    for (const char* name : GetParam().removed) {
        std::filesystem::remove(shop.folder / name);
    }
    shop.Start();
    EXPECT_EQ(shop.WaitExit(), 1);
    EXPECT_EQ(shop.RestOfMessages(), lines{GetParam().message});
    EXPECT_EQ(shop.RestOfActivities(), lines{});
}

INSTANTIATE_TEST_SUITE_P(
    startupTest, startupFailure,
    ::testing::Values(missingCase{"shopKey", {"kestpv.rsa"}, "Could not open kestpv.rsa"},
                      missingCase{"bankKeys", {"bankpub.rsa"}, "Could not open bankpub.rsa"},
                      missingCase{"bankAddress", {"ipaddr.bnk"}, "Could not open ipaddr.bnk"},
                      missingCase{"shopAddress", {"ipaddr.kst"}, "Could not open ipaddr.kst"},
                      missingCase{"shopKeyAndBankAddress",
                                  {"kestpv.rsa", "ipaddr.bnk"},
                                  "Could not open kestpv.rsa"},
                      missingCase{"all",
                                  {"kestpv.rsa", "bankpub.rsa", "ipaddr.bnk", "ipaddr.kst"},
                                  "Could not open kestpv.rsa"},
                      missingCase{"bankKeysAndBothAddresses",
                                  {"bankpub.rsa", "ipaddr.bnk", "ipaddr.kst"},
                                  "Could not open bankpub.rsa"}),
    [](const ::testing::TestParamInfo<missingCase>& test) { return test.param.label; });

TEST(startupTest, AKeyFileThatDoesNotDecodeNamesTheFileAndTheDecoderText) {
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    // One record: four identifier bytes, then an INTEGER where the SEQUENCE
    // of the private key should begin.
    shop.WriteFile("kestpv.rsa", std::string("\x07\x00\x00\x00"
                                             "\x2a\x00\x00\x00"
                                             "\x02\x01\x00",
                                             11));
    shop.Start();
    EXPECT_EQ(shop.WaitExit(), 1);
    EXPECT_EQ(shop.RestOfMessages(), lines{"Could not read kestpv.rsa: BER decode error"});
}

TEST(startupTest, ABankKeyFileWithTooFewRecordsIsReportedAsCutShort) {
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    const std::string keys = [&] {
        std::ifstream in(shop.folder / "bankpub.rsa", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    shop.WriteFile("bankpub.rsa", keys.substr(0, keys.size() - 10));
    shop.Start();
    EXPECT_EQ(shop.WaitExit(), 1);
    EXPECT_EQ(shop.RestOfMessages(),
              lines{"Could not read bankpub.rsa: key record 11 is cut short or longer than "
                    "1024 bytes"});
}

TEST(startupTest, APortInUseEndsStartUpWithAReasonAndStatus1) {
    scriptedListener other;
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort(), other.Port());
    shop.Start();
    EXPECT_EQ(shop.WaitExit(), 1);
    EXPECT_EQ(shop.RestOfMessages(),
              lines{"Could not listen on port " + std::to_string(other.Port()) +
                    ": Address already in use"});
}

TEST(startupTest, ListensOnThePortOfItsAddressFileModulo65536) {
    const unsigned int port = UnusedPort();
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort(), port + 65536);
    ASSERT_EQ(shop.StartListening(), port);
    scriptedPeer consumer = scriptedPeer::Connect(port);
    EXPECT_EQ(shop.Stop(), 0);
}

// Sessions need descriptors: the shop takes all that its hard limit allows,
// whatever soft limit it inherits.
TEST(startupTest, RaisesItsOpenFileLimitToTheHardLimit) {
    rlimit inherited{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &inherited), 0);
    rlimit low = inherited;
    low.rlim_cur = std::min<rlim_t>(256, inherited.rlim_max);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    const unsigned int port = shop.StartListening();
    setrlimit(RLIMIT_NOFILE, &inherited);
    ASSERT_NE(port, 0u);

    std::ifstream limits("/proc/" + std::to_string(shop.process.Pid()) + "/limits");
    std::string line;
    while (std::getline(limits, line) && !line.starts_with("Max open files")) {
    }
    std::istringstream fields(line.substr(std::string("Max open files").size()));
    std::string soft, hard;
    fields >> soft >> hard;
    const std::string expected =
        inherited.rlim_max == RLIM_INFINITY ? "unlimited" : std::to_string(inherited.rlim_max);
    EXPECT_EQ(soft, expected) << line;
    EXPECT_EQ(hard, expected) << line;
    EXPECT_EQ(shop.Stop(), 0);
}

TEST(startupTest, VersionAndHelp) {
    shopProcess version;
    version.Start({"--version"});
    EXPECT_EQ(version.WaitExit(), 0);
    EXPECT_EQ(version.RestOfActivities(), lines{"Kestrane Version 1.0"});

    shopProcess help;
    help.Start({"--help"});
    EXPECT_EQ(help.WaitExit(), 0);
    const lines text = help.RestOfActivities();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), "Usage: kestrane [--headless | --help | --version]");

    shopProcess wrong;
    wrong.Start({"--headless", "extra"});
    EXPECT_EQ(wrong.WaitExit(), 2);
}

TEST(startupTest, SigtermEndsEverySessionAndExitsWithStatus0) {
    scriptedBank bank;
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(bank.Port());
    const unsigned int port = shop.StartListening();
    ASSERT_NE(port, 0u);
    scriptedConsumer keyed(port); // waiting for its coin list
    ASSERT_TRUE(keyed.KeyExchange());
    scriptedConsumer halfFrame(port); // a session blocked inside a frame
    ASSERT_TRUE(halfFrame.KeyExchange());
    halfFrame.peer.SendRaw({0x10, 0x01, 0x40});
    scriptedConsumer paying(port); // a session waiting for the bank
    ASSERT_TRUE(paying.KeyExchange());
    ASSERT_TRUE(paying.PayCoins());
    ASSERT_TRUE(bank.TakeKeyOffer());

    EXPECT_EQ(shop.Stop(), 0);
    EXPECT_TRUE(keyed.peer.PeerClosed());
    EXPECT_TRUE(halfFrame.peer.PeerClosed());
    EXPECT_TRUE(paying.peer.PeerClosed());
    EXPECT_TRUE(bank.peer->PeerClosed());
    EXPECT_EQ(shop.RestOfMessages(), lines{});
}

} // namespace
