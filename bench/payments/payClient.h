#pragma once

#include "common/coinList.h"
#include "shopClient.h"

#include <vector>

// One consumer of the load generator: a connection to the shop on which it
// agrees a key and then pays (coin list, receipt, confirmation, final reply,
// close notice) or stays idle. It checks what a wallet checks of the shop's
// answers, but prints nothing: a failure is its text.
class payClient : public shopClient {
public:
    using shopClient::shopClient;

    // Key offer, the shop's signature and key check, the key-check reply.
    bool AgreeKey();
    // The whole payment after the key agreement: true when the shop
    // confirmed `coins`' amount and closed the session.
    bool Pay(const std::vector<coinRecord>& coins);

private:
    // The next packet must be (type, step) and open into at least `minimum`
    // bytes.
    bool NextSealed(std::uint8_t type, std::uint8_t step, std::size_t minimum, bytes& plain);
};
