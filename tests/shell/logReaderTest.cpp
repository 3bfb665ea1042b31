#include "shell/logReader.h"

#include <gtest/gtest.h>

#include "shell/logRecord.h"
#include "shellTestSupport.h"

namespace {

using kind = logEntry::kind;

std::string Record(const std::string& timeText, const std::string& text) {
    std::string bytes;
    logRecord::AppendString(bytes, timeText);
    logRecord::AppendString(bytes, text);
    return bytes;
}

const std::string FIRST = Record("13 05 09, March 02, 1998", "P S 7\n");
const std::string SECOND = Record("09 00 00, May 01, 2024", "P F 12\n");
const std::string THIRD = Record("23 59 60, September 30, 2031", std::string(300, 'x'));
const std::string FOURTH = Record("00 00 00, January 01, 1970", std::string(70000, 'y'));

// What a parse found, in short: kind, offset and size of each entry.
struct seen {
    kind what;
    std::uint64_t offset;
    std::uint64_t size;
    bool operator==(const seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const seen& s) {
    return out << "{" << static_cast<int>(s.what) << ", " << s.offset << ", " << s.size << "}";
}

std::vector<seen> Shape(const std::vector<logEntry>& entries) {
    std::vector<seen> shape;
    for (const logEntry& entry : entries) {
        shape.push_back({entry.what, entry.offset, entry.size});
    }
    return shape;
}

TEST(logReader, ReadsWholeRecordsOfEveryLengthForm) {
    const auto entries = logReader::Parse(FIRST + SECOND + THIRD + FOURTH);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].timeText, "13 05 09, March 02, 1998");
    EXPECT_EQ(entries[0].text, "P S 7\n");
    EXPECT_EQ(entries[1].text, "P F 12\n");
    EXPECT_EQ(entries[2].text, std::string(300, 'x'));
    EXPECT_EQ(entries[3].text, std::string(70000, 'y'));
    EXPECT_EQ(entries[3].offset, FIRST.size() + SECOND.size() + THIRD.size());
    EXPECT_TRUE(logReader::Parse("").empty());
}

TEST(logReader, EmptyTimeTextIsARecordWhenItHasAText) {
    const auto entries = logReader::Parse(Record("", "P S 7\n") + FIRST);
    ASSERT_EQ(Shape(entries),
              (std::vector<seen>{{kind::RECORD, 0, 8}, {kind::RECORD, 8, FIRST.size()}}));
}

TEST(logReader, EveryCutOfTheLastRecordIsATruncation) {
    const std::string whole = FIRST + SECOND;
    for (std::size_t cut = FIRST.size() + 1; cut < whole.size(); ++cut) {
        const auto entries = logReader::Parse(whole.substr(0, cut));
        EXPECT_EQ(Shape(entries),
                  (std::vector<seen>{{kind::RECORD, 0, FIRST.size()},
                                     {kind::TRUNCATED, FIRST.size(), cut - FIRST.size()}}))
            << "cut at " << cut;
    }
}

struct damageCase {
    const char* name;
    std::function<std::string()> file;
    std::vector<seen> expected;
};

std::string Damaged(std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

const std::size_t F = FIRST.size();
const std::size_t S = SECOND.size();

void PrintTo(const damageCase& c, std::ostream* out) {
    *out << c.name;
}

class logReaderDamage : public testing::TestWithParam<damageCase> {};

TEST_P(logReaderDamage, ReportsTheDamageAndReadsOnPastIt) {
    EXPECT_EQ(Shape(logReader::Parse(GetParam().file())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    , logReaderDamage,
    testing::Values(
        damageCase{
            "TimeTextOverwritten",
            [] { return Damaged(FIRST + SECOND + THIRD, F + 3, "xx:yy"); },
            {{kind::RECORD, 0, F}, {kind::DAMAGED, F, S}, {kind::RECORD, F + S, THIRD.size()}}},
        damageCase{
            "TextLengthRunsPastTheEnd",
            [] { return Damaged(FIRST + SECOND + THIRD, F + 23, "\xFF\xFF\xFF\xFF\xFF\xFF\x7F"); },
            {{kind::RECORD, 0, F}, {kind::DAMAGED, F, S}, {kind::RECORD, F + S, THIRD.size()}}},
        damageCase{"BytesInsertedBetweenRecords",
                   [] { return FIRST + "garbage!" + SECOND; },
                   {{kind::RECORD, 0, F}, {kind::DAMAGED, F, 8}, {kind::RECORD, F + 8, S}}},
        damageCase{"TextLengthTooShort",
                   [] { return Damaged(FIRST + SECOND + THIRD, F + 23, "\x03"); },
                   {{kind::RECORD, 0, F},
                    {kind::RECORD, F, 27},
                    {kind::DAMAGED, F + 27, S - 27},
                    {kind::RECORD, F + S, THIRD.size()}}},
        damageCase{"ZeroFilledTail",
                   [] { return FIRST + std::string(4096, '\0'); },
                   {{kind::RECORD, 0, F}, {kind::DAMAGED, F, 4096}}},
        damageCase{"DamageThenTruncation",
                   [] { return FIRST + "??" + SECOND.substr(0, S - 1); },
                   {{kind::RECORD, 0, F}, {kind::DAMAGED, F, 2}, {kind::TRUNCATED, F + 2, S - 1}}}),
    [](const testing::TestParamInfo<damageCase>& testCase) {
        return std::string(testCase.param.name);
    });

TEST(logReader, ReadFileReadsAFileAndReportsOneThatCannotBeRead) {
    const scratchFolder folder;
    WriteBytes(folder.path / "log.kst", FIRST + FOURTH);
    const auto entries = logReader::ReadFile(folder.path / "log.kst");
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(Shape(*entries),
              (std::vector<seen>{{kind::RECORD, 0, F}, {kind::RECORD, F, FOURTH.size()}}));

    EXPECT_FALSE(logReader::ReadFile(folder.path / "missing.kst").has_value());
    EXPECT_FALSE(logReader::ReadFile(folder.path).has_value()); // a folder
}

TEST(logReader, ParseTimeTextTakesOnlyTimeTexts) {
    const auto time = logReader::ParseTimeText("13 05 09, March 02, 1998");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->hour, 13);
    EXPECT_EQ(time->minute, 5);
    EXPECT_EQ(time->second, 9);
    EXPECT_EQ(time->month, 3);
    EXPECT_EQ(time->day, 2);
    EXPECT_EQ(time->year, 1998);
    EXPECT_TRUE(logReader::ParseTimeText("23 59 60, September 30, 12345").has_value());

    for (const char* bad :
         {"13:05:09, March 02, 1998", "24 05 09, March 02, 1998", "13 05 09, Marchx 02, 1998",
          "13 05 09, March 32, 1998", "13 05 09, March 02, 98", "13 05 09, March 02, 199x",
          "13 05 09, Mars 02, 1998", ""}) {
        EXPECT_FALSE(logReader::ParseTimeText(bad).has_value()) << bad;
    }
}

} // namespace
