#pragma once

#include "crypto/PublicRsaKey.h"
#include "walletFile.h"

#include <cstdint>
#include <string>
#include <vector>

// The wallet's side of the bank's withdrawal exchange. For each coin it
// makes a coin message with a fresh serial number, blinds it with a random
// factor of its own (blindFactor), has the bank sign the blinded numbers (at most 256
// a request), removes the factor and checks that what remains is the coin
// key's signature of the message.
class wdrlClient {
public:
    wdrlClient(int descriptor, const std::vector<PublicRsaKey>& coinKeys);

    // New coins of the given denominations (0 to 9), or nothing with `error`
    // saying why (the bank's refusal text among others).
    std::optional<std::vector<walletCoin>> Withdraw(const std::vector<std::uint8_t>& denominations,
                                                    std::string& error);

private:
    bool WithdrawBatch(const std::vector<std::uint8_t>& denominations,
                       std::vector<walletCoin>& coins, std::string& error);

    int fd;
    const std::vector<PublicRsaKey>& coinKeys;
};
