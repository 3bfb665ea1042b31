#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/msgOperator.h"
#include "scratchFolder.h"

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

inline void WriteBytes(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}
