#include "shell/addrFile.h"

#include <gtest/gtest.h>

#include <sstream>

#include "shellTestSupport.h"

namespace {

struct addrCase {
    const char* name;
    std::string content;
    std::string address;
    std::string portField;
    std::int32_t port;
};

const addrCase ADDR_CASES[] = {
    {"TwoLines", "127.0.0.1\n5001\n", "127.0.0.1", "5001", 5001},
    {"CrLf", "127.0.0.1\r\n5001\r\n", "127.0.0.1", "5001", 5001},
    {"BlankLinesAndIndents", "\n\r\n  \t127.0.0.1\n\n   5001\n", "127.0.0.1", "5001", 5001},
    {"NoFinalLineEnd", "10.0.0.1\n80", "10.0.0.1", "80", 80},
    {"CrAtEndOfFile", "10.0.0.1\r\n80\r", "10.0.0.1", "80", 80},
    {"AddressOfExactly15", "192.168.100.200\r\n5001\r\n", "192.168.100.200", "5001", 5001},
    {"LongLinePortFromRest", "192.168.100.200 5001\n9\n", "192.168.100.200", "5001", 5001},
    {"LongLineDigits", "123456789012345678\n9\n", "123456789012345", "678", 678},
    {"SingleLine", "127.0.0.1\n", "127.0.0.1", "", 0},
    {"Empty", "", "", "", 0},
    {"OnlyWhitespace", " \r\n\n\t", "", "", 0},
    {"PortThenLetter", "h\n5001x\n", "h", "5001x", 5001},
    {"LetterThenPort", "h\nx5001\n", "h", "x5001", 0},
    {"PlusSign", "h\n+80\n", "h", "+80", 80},
    {"MinusSign", "h\n-80\n", "h", "-80", -80},
    {"TwoSigns", "h\n+-80\n", "h", "+-80", 0},
    {"SignOnly", "h\n-\n", "h", "-", 0},
    {"PortFieldOf7", "h\n123456789\n", "h", "1234567", 1234567},
    {"AbovePortRange", "h\n70000\n", "h", "70000", 70000},
    {"RestIgnored", "h\n5001\n6002\n", "h", "5001", 5001},
};

void PrintTo(const addrCase& c, std::ostream* out) {
    *out << c.name;
}

class addrFileCases : public testing::TestWithParam<addrCase> {};

TEST_P(addrFileCases, ReadsTheTwoFields) {
    const addrCase& c = GetParam();
    std::istringstream in(c.content);
    const addrFile fields(in);
    EXPECT_EQ(fields.Address(), c.address);
    EXPECT_EQ(fields.PortField(), c.portField);
    EXPECT_EQ(fields.Port(), c.port);
}

INSTANTIATE_TEST_SUITE_P(, addrFileCases, testing::ValuesIn(ADDR_CASES),
                         [](const testing::TestParamInfo<addrCase>& testCase) {
                             return std::string(testCase.param.name);
                         });

TEST(addrFile, ConvertPortSkipsLeadingSpaceAndCapsOverlongNumbers) {
    EXPECT_EQ(addrFile::ConvertPort(" \t42"), 42);
    EXPECT_EQ(addrFile::ConvertPort(""), 0);
    EXPECT_EQ(addrFile::ConvertPort("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(addrFile::ConvertPort("-99999999999999999999"), -INT32_MAX);
}

TEST(addrFile, LoadReadsAFileAndReportsOneThatCannotBeOpened) {
    const scratchFolder folder;
    WriteBytes(folder.path / "ipaddr.bnk", "  127.0.0.1\r\n\r\n7001\r\n");
    const auto bank = addrFile::Load(folder.path / "ipaddr.bnk");
    ASSERT_TRUE(bank.has_value());
    EXPECT_EQ(bank->Address(), "127.0.0.1");
    EXPECT_EQ(bank->Port(), 7001);

    EXPECT_FALSE(addrFile::Load(folder.path / "ipaddr.kst").has_value());
    EXPECT_FALSE(addrFile::Load(folder.path).has_value()); // a folder
}

} // namespace
