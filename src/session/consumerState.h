#pragma once

#include <cstdint>

// States of the consumer side of a session.
constexpr std::int32_t CS_AWAIT_KEY = 401;   // waiting for the consumer's key offer
constexpr std::int32_t CS_AWAIT_COINS = 402; // key agreed: waiting for key check and coin list
constexpr std::int32_t CS_AWAIT_FINAL = 403; // coins with the bank: waiting for the final reply

// The consumer side's protocol state and, once the coin list has arrived, the
// payment it carries. `payload` points at the opened coin list, which belongs
// to the session.
class consumerState {
public:
    virtual ~consumerState() = default;

    std::int32_t GetState() const { return state; }
    void SetState(std::int32_t next) { state = next; }

    std::uint32_t count = 0;
    std::int32_t amount = 0;
    const std::uint8_t* payload = nullptr;
    std::int32_t payloadLength = 0;
    std::int32_t state = CS_AWAIT_KEY;
};
