#pragma once

#include "faultPlan.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line of kestrane-bank.
struct bankOptions {
    static const char* const USAGE;

    std::string keys = "bankpv.rsa";
    std::vector<std::string> shops;
    std::string address = "127.0.0.1";
    std::uint16_t port = 0;
    std::uint16_t withdrawPort = 0;
    std::string registerFile = "spent-coins.txt";
    std::size_t maxConnections = 32;
    unsigned idleTimeout = 300;
    faultPlan faults;
    bool help = false;

    // The options of argv, or nothing with `error` set.
    static std::optional<bankOptions> Parse(int argc, char** argv, std::string& error);
};
