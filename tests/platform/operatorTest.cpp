#include "platform/msgOperator.h"
#include "platform/outSurface.h"
#include "platform/recOperator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Redirects a standard descriptor into a temporary file until Finish.
class fdCapture {
public:
    explicit fdCapture(int target) : fd(target), saved(::dup(target)), file(std::tmpfile()) {
        std::fflush(nullptr);
        ::dup2(::fileno(file), fd);
    }
    ~fdCapture() { Finish(); }

    std::string Finish() {
        std::string text;
        if (file == nullptr) {
            return text;
        }
        std::fflush(nullptr);
        ::dup2(saved, fd);
        ::close(saved);
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;) {
            text.push_back(static_cast<char>(c));
        }
        std::fclose(file);
        file = nullptr;
        return text;
    }

private:
    int fd;
    int saved;
    std::FILE* file;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(operatorTest, TextsGoToStandardErrorUnlessAnOperatorIsInstalled) {
    recOperator recorder;
    fdCapture err(STDERR_FILENO);
    Operator().ShowMessage("SendPacket Error");
    SetOperator(&recorder);
    Operator().ShowMessage("data checksum invalid");
    SetOperator(nullptr);
    Operator().ShowMessage("header checksum invalid");
    EXPECT_EQ(err.Finish(), "SendPacket Error\nheader checksum invalid\n");
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"data checksum invalid"});
}

TEST(operatorTest, RecordingOperatorCollectsTextsFromManyThreadsAndWaitsForThem) {
    recOperator recorder;
    std::vector<std::string> expected;
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        for (int i = 0; i < 50; ++i) {
            expected.push_back(std::to_string(w) + "/" + std::to_string(i));
        }
        writers.emplace_back([&recorder, w] {
            for (int i = 0; i < 50; ++i) {
                recorder.ShowMessage(std::to_string(w) + "/" + std::to_string(i));
            }
        });
    }
    EXPECT_TRUE(recorder.WaitForCount(200));
    for (std::thread& t : writers) {
        t.join();
    }
    std::vector<std::string> texts = recorder.Texts();
    std::sort(texts.begin(), texts.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);
}

TEST(operatorTest, HeadlessSurfaceWritesWholeLinesFromManyThreads) {
    const std::string filler(300, '.');
    std::vector<std::string> expected;
    fdCapture out(STDOUT_FILENO);
    {
        std::vector<std::thread> writers;
        for (int w = 0; w < 4; ++w) {
            for (int i = 0; i < 200; ++i) {
                expected.push_back(std::to_string(w) + filler + std::to_string(i));
            }
            writers.emplace_back([&filler, w] {
                outSurface surface;
                for (int i = 0; i < 200; ++i) {
                    surface.LineAdded(std::to_string(w) + filler + std::to_string(i));
                }
            });
        }
        for (std::thread& t : writers) {
            t.join();
        }
    }
    std::vector<std::string> lines = Lines(out.Finish());
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

} // namespace
