#include "shell/logFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <set>
#include <thread>

#include "shell/logReader.h"
#include "shellTestSupport.h"

namespace {

class logFileTest : public testing::Test {
protected:
    // The texts of the records in the log, after checking that it holds
    // nothing but whole records.
    std::vector<std::string> RecordTexts() {
        std::vector<std::string> texts;
        for (const logEntry& entry : logReader::Parse(ReadBytes(folder.path / "log.kst"))) {
            EXPECT_EQ(entry.what, logEntry::kind::RECORD)
                << "at byte " << entry.offset << ": " << entry.text;
            EXPECT_TRUE(logReader::ParseTimeText(entry.timeText).has_value()) << entry.timeText;
            texts.push_back(entry.text);
        }
        return texts;
    }

    // Writes "P S <first + i>\n" for i below `count` from each of `threads`
    // threads at once, each thread with a range of its own.
    static void WriteFromThreads(logFile& log, int first, int threads, int count) {
        std::vector<std::thread> sessions;
        for (int t = 0; t < threads; ++t) {
            sessions.emplace_back([&log, first, t, count] {
                for (int i = 0; i < count; ++i) {
                    EXPECT_TRUE(log.Write("P S " + std::to_string(first + t * 1000 + i) + "\n"));
                }
            });
        }
        for (std::thread& session : sessions) {
            session.join();
        }
    }

    // Checks that `texts` holds each written text once, in each thread's order.
    static void ExpectAllWritten(const std::vector<std::string>& texts, std::size_t expected) {
        EXPECT_EQ(texts.size(), expected);
        EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), expected);
        std::map<int, int> lastOf;
        for (const std::string& text : texts) {
            const int value = std::stoi(text.substr(4));
            auto [last, first] = lastOf.try_emplace(value / 1000, value);
            EXPECT_TRUE(first || value > last->second) << text;
            last->second = value;
        }
    }

    scratchFolder folder;
    recordingOperator op;
};

TEST_F(logFileTest, FirstPaymentCreatesTheLogWithOneRecord) {
    logFile log(folder.path);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(log.Write("P S 7\n"));
    const std::time_t after = std::time(nullptr);

    const auto entries = logReader::Parse(ReadBytes(folder.path / "log.kst"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "P S 7\n");
    const std::string& timeText = entries[0].timeText;
    EXPECT_TRUE(timeText == logRecord::TimeText(before) || timeText == logRecord::TimeText(after))
        << timeText;
    EXPECT_EQ(std::filesystem::file_size(folder.path / "log.kst"), 1 + timeText.size() + 1 + 6);
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(logFileTest, ALaterRunAppendsToTheSameLog) {
    ASSERT_TRUE(logFile(folder.path).Write("P S 7\n", 889203909));
    ASSERT_TRUE(logFile(folder.path).Write("P F 12\n", 889203999));
    EXPECT_EQ(ReadBytes(folder.path / "log.kst"), logRecord(889203909, "P S 7\n").Serialize() +
                                                      logRecord(889203999, "P F 12\n").Serialize());
}

TEST_F(logFileTest, ManySessionsWritingAtOnceLeaveWholeRecords) {
    logFile log(folder.path);
    WriteFromThreads(log, 0, 8, 60);
    ExpectAllWritten(RecordTexts(), 8 * 60);
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(logFileTest, TwoShopProcessesAppendingAtOnceLeaveWholeRecords) {
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> shops;
    for (int shop = 1; shop <= 2; ++shop) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            char go;
            const bool started = read(start[0], &go, 1) == 0; // the parent closed it
            logFile log(folder.path);
            WriteFromThreads(log, shop * 100000, 4, 50);
            _exit(started ? 0 : 1);
        }
        shops.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t pid : shops) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ExpectAllWritten(RecordTexts(), 2 * 4 * 50);
}

struct unwritableCase {
    const char* name;
    std::function<std::filesystem::path(const std::filesystem::path&)> setUp;
    std::string error;
};

void PrintTo(const unwritableCase& c, std::ostream* out) {
    *out << c.name;
}

class logFileUnwritable : public testing::TestWithParam<unwritableCase> {
protected:
    scratchFolder folder;
    recordingOperator op;
};

TEST_P(logFileUnwritable, WriteReportsTheFailureAndTheRecord) {
    logFile log(GetParam().setUp(folder.path));
    bool written = true;
    EXPECT_NO_THROW(written = log.Write("P S 7\n"));
    EXPECT_FALSE(written);
    const auto messages = op.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("log.kst"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find(GetParam().error), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("\"P S 7\\n\""), std::string::npos) << messages[0];
}

INSTANTIATE_TEST_SUITE_P(
    , logFileUnwritable,
    testing::Values(unwritableCase{"MissingFolder", [](const auto& path) { return path / "gone"; },
                                   "No such file or directory"},
                    unwritableCase{"LogIsAFolder",
                                   [](const auto& path) {
                                       std::filesystem::create_directory(path / "log.kst");
                                       return path;
                                   },
                                   "Is a directory"},
                    unwritableCase{"DiskFull",
                                   [](const auto& path) {
                                       std::filesystem::create_symlink("/dev/full",
                                                                       path / "log.kst");
                                       return path;
                                   },
                                   "No space left on device"}),
    [](const testing::TestParamInfo<unwritableCase>& testCase) {
        return std::string(testCase.param.name);
    });

TEST(logFile, OperatorShowingAFailureDoesNotHoldTheLog) {
    const scratchFolder folder;
    recordingOperator op(true); // the first message waits until released
    logFile log(folder.path / "later");

    bool firstWritten = true;
    std::thread session([&] { firstWritten = log.Write("P S 1\n"); });
    op.WaitForMessages(1); // that session now waits on its message

    std::filesystem::create_directory(folder.path / "later");
    EXPECT_TRUE(log.Write("P S 2\n"));
    op.Release();
    session.join();

    EXPECT_FALSE(firstWritten);
    const auto entries = logReader::Parse(ReadBytes(folder.path / "later" / "log.kst"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "P S 2\n");
}

TEST_F(logFileTest, RecordCutShortIsTakenBackOut) {
    logFile log(folder.path);
    ASSERT_TRUE(log.Write("P S 1\n"));
    const auto sizeBefore = std::filesystem::file_size(folder.path / "log.kst");

    // A file size limit 10 bytes past the end lets the next record in only in
    // part, as a nearly full disk would.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{sizeBefore + 10, sizeBefore + 10};
        const bool limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        const bool refused = !log.Write("P S 2\n");
        const bool sizeKept = std::filesystem::file_size(folder.path / "log.kst") == sizeBefore;
        const auto messages = op.Messages();
        const bool told =
            messages.size() == 1 && messages[0].find("File too large") != std::string::npos;
        _exit(limited && refused && sizeKept && told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_TRUE(log.Write("P S 3\n"));
    EXPECT_EQ(RecordTexts(), (std::vector<std::string>{"P S 1\n", "P S 3\n"}));
}

} // namespace
