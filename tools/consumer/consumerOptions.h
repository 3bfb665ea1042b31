#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line of kestrane-consumer.
struct consumerOptions {
    static const char* const USAGE;
    static constexpr std::uint64_t MAX_WITHDRAW_AMOUNT = 65536;

    std::string command; // withdraw, pay, leave, list
    std::string wallet = "wallet.txt";
    std::string host = "127.0.0.1";
    std::optional<std::uint16_t> port;
    std::string bankKeys = "bankpub.rsa";
    std::string shopKey = "kestpub.rsa";
    std::vector<std::uint8_t> denominations; // withdraw
    std::optional<std::uint64_t> amount;
    std::vector<std::size_t> coins; // pay: wallet indexes from 0
    bool keep = false;
    unsigned timeout = 60;
    bool help = false;

    // The options of argv, or nothing with `error` set.
    static std::optional<consumerOptions> Parse(int argc, char** argv, std::string& error);
};
