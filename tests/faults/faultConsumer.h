#pragma once

#include "demoWorld.h"
#include "scriptedPeer.h"

#include <cstdint>
#include <string>
#include <vector>

// A consumer of a demo world played by a fault test: it pays the shop with
// coins minted for it, one step of the conversation at a time, so that it can
// stop after any step, or all the way through. Each step checks the shop's
// answers; a step whose answers do not come is a test failure.
class faultConsumer {
public:
    // The points of the conversation, in order.
    enum stage {
        CONNECTED,   // nothing sent yet
        KEY_OFFERED, // key offer sent; ShopSignature and KeyCheck received
        KEY_CHECKED, // key-check reply sent
        COINS_SENT,  // coin list sent; CoinReceipt received
        CONFIRMED,   // PaymentConfirmation received
        FINISHED,    // final reply sent; CloseNotice and the end received
    };

    // Connects to the shop; the coins are of `denominations`.
    faultConsumer(std::uint16_t shopPort, const demoWorld& world,
                  const std::vector<std::uint8_t>& denominations);

    // Plays the conversation on from where it stands up to `last`; true when
    // every answer came as it should.
    bool PlayTo(stage last);
    stage Reached() const { return reached; }
    std::int32_t Amount() const { return amount; }

    // After the coin list: the shop's error text (the bank refused, or is
    // down) and its close notice, then the end of the connection.
    std::string ExpectErrorAndClose();
    // The shop ends the connection (a close, or a reset when it did not read
    // all that was sent) without sending anything more.
    bool ConnectionEnds() const;

    scriptedPeer peer;

private:
    bool Step(stage next);

    const demoWorld& world;
    bytes coins; // the coin list
    std::int32_t amount = 0;
    stage reached = CONNECTED;
};
