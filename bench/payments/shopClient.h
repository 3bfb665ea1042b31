#pragma once

#include "common/peerLink.h"
#include "crypto/PublicRsaKey.h"

#include <cstdint>
#include <random>
#include <string>

// A consumer's connection to the shop, for the load generators: connected on
// construction (every wait on it guarded), it offers the shop a fresh key
// text and keeps the text of the first failure.
class shopClient {
public:
    shopClient(std::uint16_t shopPort, const PublicRsaKey& shopKey, std::mt19937_64& random);
    ~shopClient();
    shopClient(const shopClient&) = delete;
    shopClient& operator=(const shopClient&) = delete;

    const std::string& Failure() const { return failure; }

protected:
    // Keeps `text` unless a failure came first; false.
    bool Fail(const std::string& text);
    // Sends the key offer of a fresh printable key text (kept in keyText),
    // which seals and opens the messages of the link from then on.
    bool OfferKey();

    std::string failure; // first: the connect below writes to it
    int fd;
    peerLink link;
    const PublicRsaKey& shopKey;
    std::mt19937_64& random;
    bytes keyText;
};
