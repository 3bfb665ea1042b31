#include "shell/logRecord.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include <nlohmann/json.hpp>

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Sets the time zone for one test and puts the old one back after it.
class timeZone {
public:
    explicit timeZone(const std::string& zone) {
        if (const char* old = std::getenv("TZ")) {
            saved = old;
        }
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }
    ~timeZone() {
        if (saved) {
            setenv("TZ", saved->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> saved;
};

TEST(logRecord, MatchesTheConformanceRecord) {
    std::ifstream file(KESTRANE_VECTORS_DIR "/payment.json");
    ASSERT_TRUE(file.is_open());
    const auto vector = nlohmann::json::parse(file).at("log_record");
    const timeZone zone(vector.at("tz").get<std::string>());

    const logRecord record(vector.at("unix_time").get<std::time_t>(),
                           vector.at("text").get<std::string>());
    EXPECT_EQ(record.Serialize(), FromHex(vector.at("record_hex").get<std::string>()));
}

TEST(logRecord, TimeTextIsHoursMinutesSecondsMonthDayYear) {
    const timeZone zone("UTC");
    EXPECT_EQ(logRecord::TimeText(0), "00 00 00, January 01, 1970");
    EXPECT_EQ(logRecord::TimeText(1726000000), "20 26 40, September 10, 2024");
}

TEST(logRecord, TimeThatCannotBeConvertedGivesAnEmptyTimeText) {
    EXPECT_EQ(logRecord::TimeText(INT64_MAX), "");
    EXPECT_EQ(logRecord(INT64_MAX, "P S 1\n").Serialize(), std::string("\0\x06P S 1\n", 8));
}

struct lengthCase {
    std::size_t length;
    std::string prefix;
};

void PrintTo(const lengthCase& c, std::ostream* out) {
    *out << "length " << c.length;
}

class logRecordStringLayout : public testing::TestWithParam<lengthCase> {};

TEST_P(logRecordStringLayout, PrefixesTheLengthInItsForm) {
    const std::string text(GetParam().length, 'x');
    std::string bytes;
    logRecord::AppendString(bytes, text);
    EXPECT_EQ(bytes.substr(0, GetParam().prefix.size()), GetParam().prefix);
    EXPECT_EQ(bytes.substr(GetParam().prefix.size()), text);
}

using namespace std::string_literals;

// The boundaries of the three forms: one byte, 0xFF and 16 bits, 0xFF 0xFFFF
// and 32 bits.
INSTANTIATE_TEST_SUITE_P(, logRecordStringLayout,
                         testing::Values(lengthCase{0, "\x00"s}, lengthCase{6, "\x06"s},
                                         lengthCase{254, "\xFE"s}, lengthCase{255, "\xFF\xFF\x00"s},
                                         lengthCase{65533, "\xFF\xFD\xFF"s},
                                         lengthCase{65534, "\xFF\xFF\xFF\xFE\xFF\x00\x00"s},
                                         lengthCase{70000, "\xFF\xFF\xFF\x70\x11\x01\x00"s}),
                         [](const testing::TestParamInfo<lengthCase>& testCase) {
                             return "Length" + std::to_string(testCase.param.length);
                         });

} // namespace
