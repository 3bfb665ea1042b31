#include <gtest/gtest.h>

#include "childProcess.h"

#include "shell/logRecord.h"
#include "shellTestSupport.h"

namespace {

// Runs the log tool in `folder` with `arguments`.
toolRun RunLogTool(const std::filesystem::path& folder, const std::vector<std::string>& arguments) {
    return RunTool(programPaths::LOG, arguments, folder);
}

std::string Record(const std::string& timeText, const std::string& text) {
    std::string bytes;
    logRecord::AppendString(bytes, timeText);
    logRecord::AppendString(bytes, text);
    return bytes;
}

const std::string PAID = Record("13 05 09, March 02, 1998", "P S 7\n");
const std::string REFUSED = Record("13 06 10, March 02, 1998", "P F 12\n");
const std::string OTHER = Record("09 00 00, May 01, 2024", "note \"x\"\x01");
const std::string LINES = "1998-03-02 13:05:09  success  7\n"
                          "1998-03-02 13:06:10  failure  12\n"
                          "2024-05-01 09:00:00  \"note \\\"x\\\"\\x01\"\n";

class logTool : public testing::Test {
protected:
    scratchFolder folder;
};

TEST_F(logTool, PrintsAWholeLogFromTheWorkingFolder) {
    WriteBytes(folder.path / "log.kst", PAID + REFUSED + OTHER);
    const toolRun run = RunLogTool(folder.path, {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, LINES);
}

TEST_F(logTool, SaysWhereALogIsTruncated) {
    WriteBytes(folder.path / "cut.kst", PAID + REFUSED + OTHER.substr(0, 10));
    const toolRun run = RunLogTool(folder.path, {"cut.kst"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              LINES.substr(0, LINES.rfind("2024")) + "truncated at byte " +
                  std::to_string(PAID.size() + REFUSED.size()) +
                  ": the last 10 bytes are an incomplete record (the time text runs past the "
                  "end of the file)\n");
}

TEST_F(logTool, SaysWhereALogIsDamagedAndReadsOn) {
    std::string bytes = PAID + REFUSED + OTHER;
    bytes[PAID.size() + 3] = ':';
    WriteBytes(folder.path / "log.kst", bytes);
    const toolRun run = RunLogTool(folder.path, {"log.kst"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "1998-03-02 13:05:09  success  7\n"
                       "damaged at byte " +
                           std::to_string(PAID.size()) + ": " + std::to_string(REFUSED.size()) +
                           " bytes hold no record (no time text where a record should "
                           "start)\n"
                           "2024-05-01 09:00:00  \"note \\\"x\\\"\\x01\"\n");
}

TEST_F(logTool, HelpAndBadArguments) {
    const toolRun help = RunLogTool(folder.path, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: kestrane-log", 0), 0u) << help.out;
    EXPECT_EQ(RunLogTool(folder.path, {}).status, 2); // no log.kst here
    EXPECT_EQ(RunLogTool(folder.path, {"--bogus"}).status, 2);
    EXPECT_EQ(RunLogTool(folder.path, {"a", "b"}).status, 2);
}

} // namespace
