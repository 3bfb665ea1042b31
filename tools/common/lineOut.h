#pragma once

#include <string>

// Standard output of a companion tool: whole lines, flushed at once (tests and
// scripts read them through a pipe as they come), never interleaved when
// several threads print.
class lineOut {
public:
    static void Print(const std::string& line);
};
