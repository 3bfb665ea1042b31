#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "shell/logRecord.h"
#include "shellTestSupport.h"

namespace {

struct toolRun {
    int status = -1;
    std::string output;
};

// Runs the log tool in `folder` with `arguments`, standard output captured.
toolRun RunTool(const std::filesystem::path& folder, const std::string& arguments) {
    const std::string command =
        "cd '" + folder.string() + "' && '" KESTRANE_LOG_TOOL "' " + arguments + " 2>/dev/null";
    toolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
    tempFolder folder;
};

TEST_F(logTool, PrintsAWholeLogFromTheWorkingFolder) {
    WriteBytes(folder.path / "log.kst", PAID + REFUSED + OTHER);
    const toolRun run = RunTool(folder.path, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, LINES);
}

TEST_F(logTool, SaysWhereALogIsTruncated) {
    WriteBytes(folder.path / "cut.kst", PAID + REFUSED + OTHER.substr(0, 10));
    const toolRun run = RunTool(folder.path, "cut.kst");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              LINES.substr(0, LINES.rfind("2024")) + "truncated at byte " +
                  std::to_string(PAID.size() + REFUSED.size()) +
                  ": the last 10 bytes are an incomplete record (the time text runs past the "
                  "end of the file)\n");
}

TEST_F(logTool, SaysWhereALogIsDamagedAndReadsOn) {
    std::string bytes = PAID + REFUSED + OTHER;
    bytes[PAID.size() + 3] = ':';
    WriteBytes(folder.path / "log.kst", bytes);
    const toolRun run = RunTool(folder.path, "log.kst");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "1998-03-02 13:05:09  success  7\n"
                          "damaged at byte " +
                              std::to_string(PAID.size()) + ": " + std::to_string(REFUSED.size()) +
                              " bytes hold no record (no time text where a record should "
                              "start)\n"
                              "2024-05-01 09:00:00  \"note \\\"x\\\"\\x01\"\n");
}

TEST_F(logTool, HelpAndBadArguments) {
    const toolRun help = RunTool(folder.path, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: kestrane-log", 0), 0u) << help.output;
    EXPECT_EQ(RunTool(folder.path, "").status, 2); // no log.kst here
    EXPECT_EQ(RunTool(folder.path, "--bogus").status, 2);
    EXPECT_EQ(RunTool(folder.path, "a b").status, 2);
}

} // namespace
