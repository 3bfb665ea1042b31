#include "platform/errOperator.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex errLock;
}

void errOperator::ShowMessage(const std::string& text) {
    const std::string line = text + '\n';
    std::lock_guard<std::mutex> guard(errLock);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
