#include "platform/outSurface.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex outLock;
}

void outSurface::LineAdded(const std::string& newest) {
    const std::string line = newest + '\n';
    std::lock_guard<std::mutex> guard(outLock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}
