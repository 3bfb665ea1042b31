#pragma once

#include "common/coinList.h"
#include "shopClient.h"

#include <vector>

// A consumer of the soak run that misbehaves: it goes away at some step of
// its conversation (orderly or with a reset), or sends what is no frame the
// shop can take, or stops inside a frame, or connects and says nothing. It
// checks the shop's answers up to where it stops; a failure is its text.
class hostileClient : public shopClient {
public:
    enum behaviour {
        LEAVE_AT_ONCE,        // connects and resets the connection
        LEAVE_AFTER_KEY,      // closes after the shop's key answers
        LEAVE_AFTER_CHECK,    // resets after its key-check reply
        LEAVE_AFTER_COINS,    // closes after the coin receipt: the payment goes on
        LEAVE_BEFORE_FINAL,   // resets after the confirmation, without a final reply
        GARBAGE,              // bytes whose header announces a negative length
        OVERSIZED,            // a header announcing 2^31 - 1 bytes
        HALF_FRAME_THEN_GONE, // half a coin list frame, then closes
        BEHAVIOURS
    };

    using shopClient::shopClient;

    // Plays `how` with `coins` (used by the behaviours that get as far as
    // paying). True when the shop answered as it should up to the point
    // where the client stopped.
    bool Play(behaviour how, const std::vector<coinRecord>& coins);
    // True when the coins reached the bank (LEAVE_AFTER_COINS and
    // LEAVE_BEFORE_FINAL): the shop then finishes the payment and logs it.
    static bool Pays(behaviour how) {
        return how == LEAVE_AFTER_COINS || how == LEAVE_BEFORE_FINAL;
    }

private:
    bool AgreeKey();
    bool Expect(std::uint8_t type, std::uint8_t step);
    // The shop closes (or resets) the connection without sending more.
    bool ShopEnds();
    void Reset();
};
