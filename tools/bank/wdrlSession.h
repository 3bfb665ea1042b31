#pragma once

#include "common/peerLink.h"
#include "crypto/PrivateRsaKey.h"

#include <string>
#include <vector>

// The bank's side of the withdrawal exchange, on a wallet's connection. The
// wallet sends requests, the bank answers each, until the wallet closes:
//
//   request (16, 16): a coin list of blinded coin messages, 1 to 256 records
//                     {denomination d, length, the blinded number b, big-endian}
//                     with 0 < b < n of coin key d
//   answer   (2, 16): a coin list of the same denominations, in the same
//                     order, each with b^x mod n under coin key d (x its
//                     private exponent) as 64 bytes big-endian
//   refusal (32, 16): a plain text saying what is wrong; the bank then closes
//
// Nothing is encrypted: the bank sees only blinded numbers, and their
// signatures are useless without the wallet's blinding factors. This
// reference bank keeps no accounts: it signs whatever a wallet asks for.
class wdrlSession {
public:
    static constexpr std::size_t MAX_COINS = 256;

    wdrlSession(int descriptor, const std::vector<PrivateRsaKey>& coinKeys);
    void Run();

private:
    void Refuse(const std::string& text);

    peerLink link;
    const std::vector<PrivateRsaKey>& coinKeys;
};
