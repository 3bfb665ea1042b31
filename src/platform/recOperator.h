#pragma once

#include "platform/msgOperator.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// An operator that records the texts it is shown, for tests. Any thread may
// show a text; a test reads them back or waits until a number of texts has
// been shown.
class recOperator : public msgOperator {
public:
    void ShowMessage(const std::string& text) override;

    // The texts shown so far, oldest first.
    std::vector<std::string> Texts() const;

    // Blocks until at least `count` texts have been shown. Returns false if
    // that has not happened within `limit`, a guard against a hung test.
    bool WaitForCount(std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable shown;
    std::vector<std::string> texts;
};
