#pragma once

#include "session/consumerState.h"

#include <cstdint>

// States of the bank side of a session.
constexpr std::int32_t BS_AWAIT_KEY_REPLY = 101; // key offer sent: waiting for the bank's signature
constexpr std::int32_t BS_AWAIT_IDENT_REPLY = 102; // identity and amount sent
constexpr std::int32_t BS_AWAIT_AMOUNT_REPLY =
    103; // identity accepted: waiting for the coin request
constexpr std::int32_t BS_AWAIT_CONFIRMATION = 104; // coin list sent
constexpr std::int32_t BS_AWAIT_CLOSE = 105;        // confirmation echoed: waiting for the close

// The bank side's protocol state and the payment it carries to the bank, a
// copy of the consumer side's. `payload` is shared with the consumer side and
// belongs to the session.
class bankState {
public:
    virtual ~bankState() = default;

    std::int32_t GetState() const { return state; }
    void SetState(std::int32_t next) { state = next; }

    // Back to the initial state with no payment.
    void Reset() { *this = bankState(); }
    // Takes the consumer side's payment and starts in BS_AWAIT_KEY_REPLY.
    void CopyFrom(const consumerState& from) {
        count = from.count;
        amount = from.amount;
        payload = from.payload;
        payloadLength = from.payloadLength;
        state = BS_AWAIT_KEY_REPLY;
    }

    std::uint32_t count = 0;
    std::int32_t amount = 0;
    const std::uint8_t* payload = nullptr;
    std::int32_t payloadLength = 0;
    std::int32_t state = BS_AWAIT_KEY_REPLY;
};
