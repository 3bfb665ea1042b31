#include "common/toolOperator.h"

#include <cstdio>

void toolOperator::ShowMessage(const std::string& text) {
    const std::string line = name + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}
