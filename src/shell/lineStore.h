#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/drawSurface.h"

// The activity lines of the window: a ring of the latest MAX_LINES lines that
// sessions report, shared by every session thread and the view that draws it.
class lineStore {
public:
    static constexpr std::int32_t MAX_LINES = 48;

    // Stores `text` as the newest line (dropping the oldest one when the ring
    // is full), then tells `surface`, if any, while the store is still locked,
    // so that two reports are never seen out of order. The surface must not
    // call back into this store.
    void AddLine(drawSurface* surface, const std::string& text);

    // The held lines, oldest first.
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex lineLock;
    std::array<std::string, MAX_LINES> lines;
    std::int32_t oldest = 0;
    std::int32_t nextSlot = 0;
    std::int32_t lineCount = 0;
};
