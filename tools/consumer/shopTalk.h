#pragma once

#include "common/coinList.h"
#include "common/peerLink.h"
#include "crypto/PublicRsaKey.h"

#include <cstdint>
#include <string>
#include <vector>

// The consumer's side of a conversation with a shop, printing each step:
//
//   consumer: ConsumerKeyOffer (1, 0)   shop: ShopSignature (2, 1), KeyCheck (16, 2)
//   consumer: KeyCheckReply (2, 8)
// then either a payment
//   consumer: CoinList (16, 1)          shop: CoinReceipt (2, 8)
//                                       shop: PaymentConfirmation (16, 4)
//   consumer: FinalReply (2, 8)         shop: CloseNotice (64, 0)
// or leaving
//   consumer: LeaveNotice (16, 8)       shop: CloseNotice (64, 0)
//
// The key text goes to the shop under its public key; the shop must sign it
// back under the same key, and seal the key-check value with it. An
// ErrorText (32, any step) from the shop ends the conversation: its text is
// the outcome.
class shopTalk {
public:
    struct outcome {
        enum { CONFIRMED, REFUSED, FAILED } result = FAILED;
        std::string text;        // the shop's error text, or what went wrong
        std::int32_t amount = 0; // the confirmed amount
        bool coinsSent = false;  // the coin list went out
    };

    shopTalk(int descriptor, const PublicRsaKey& shopKey);

    outcome Pay(const std::vector<coinRecord>& coins);
    outcome Leave();

private:
    bool AgreeKey(outcome& result);
    // The next packet, which must be (type, step); an ErrorText or anything
    // else ends the conversation with `result` set.
    bool Next(std::uint8_t type, std::uint8_t step, const char* what, packetIn& packet,
              outcome& result);
    bool NextSealed(std::uint8_t type, std::uint8_t step, const char* what, std::size_t minimum,
                    bytes& plain, outcome& result);
    bool Fail(outcome& result, const std::string& text);
    bool Send(std::uint8_t type, std::uint8_t step, const bytes& plain, outcome& result);
    void ExpectClose();

    peerLink link;
    const PublicRsaKey& shopKey;
};
