#pragma once

#include <stdlib.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/msgOperator.h"

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class tempFolder {
public:
    tempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~tempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    tempFolder(const tempFolder&) = delete;
    tempFolder& operator=(const tempFolder&) = delete;

    std::filesystem::path path;
};

// Installed as the operator for its lifetime: records every message. With
// `holdFirst`, the first caller is kept waiting inside ShowMessage until
// Release(), as a real message box keeps it until it is dismissed.
class recordingOperator : public msgOperator {
public:
    explicit recordingOperator(bool holdFirst = false) : holding(holdFirst) { SetOperator(this); }
    ~recordingOperator() override { SetOperator(nullptr); }

    void ShowMessage(const std::string& text) override {
        std::unique_lock<std::mutex> hold(lock);
        messages.push_back(text);
        changed.notify_all();
        if (messages.size() == 1) {
            changed.wait(hold, [&] { return !holding; });
        }
    }
    void WaitForMessages(std::size_t count) {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return messages.size() >= count; });
    }
    void Release() {
        const std::lock_guard<std::mutex> hold(lock);
        holding = false;
        changed.notify_all();
    }
    std::vector<std::string> Messages() {
        const std::lock_guard<std::mutex> hold(lock);
        return messages;
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    bool holding;
    std::vector<std::string> messages;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
