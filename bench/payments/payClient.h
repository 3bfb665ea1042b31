#pragma once

#include "common/coinList.h"
#include "common/peerLink.h"
#include "crypto/PublicRsaKey.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// One consumer of the load generator: a connection to the shop on which it
// agrees a key and then pays (coin list, receipt, confirmation, final reply,
// close notice) or stays idle. It checks what a wallet checks of the shop's
// answers, but prints nothing: a failure is its text.
class payClient {
public:
    payClient(std::uint16_t shopPort, const PublicRsaKey& shopKey, std::mt19937_64& random);
    ~payClient();
    payClient(const payClient&) = delete;
    payClient& operator=(const payClient&) = delete;

    // Key offer, the shop's signature and key check, the key-check reply.
    bool AgreeKey();
    // The whole payment after the key agreement: true when the shop
    // confirmed `coins`' amount and closed the session.
    bool Pay(const std::vector<coinRecord>& coins);

    const std::string& Failure() const { return failure; }

private:
    bool Fail(const std::string& text);
    // The next packet must be (type, step) and open into at least `minimum`
    // bytes.
    bool NextSealed(std::uint8_t type, std::uint8_t step, std::size_t minimum, bytes& plain);

    std::string failure; // first: the connect below writes to it
    int fd;
    peerLink link;
    const PublicRsaKey& shopKey;
    std::mt19937_64& random;
};
