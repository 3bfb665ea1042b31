#include "shell/lineStore.h"

void lineStore::AddLine(drawSurface* surface, const std::string& text) {
    const std::lock_guard<std::mutex> hold(lineLock);
    lines[nextSlot] = text;
    if (lineCount < MAX_LINES) {
        ++lineCount;
    } else {
        oldest = (oldest + 1) % MAX_LINES;
    }
    nextSlot = (nextSlot + 1) % MAX_LINES;
    if (surface != nullptr) {
        surface->LineAdded(text);
    }
}

std::vector<std::string> lineStore::Lines() const {
    const std::lock_guard<std::mutex> hold(lineLock);
    std::vector<std::string> held;
    held.reserve(lineCount);
    for (std::int32_t i = 0, slot = oldest; i < lineCount; ++i, slot = (slot + 1) % MAX_LINES) {
        held.push_back(lines[slot]);
    }
    return held;
}
