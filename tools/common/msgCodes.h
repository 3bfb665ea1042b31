#pragma once

#include <cstdint>

// The codes of the payment protocol as the companion tools speak it: packet
// types, the key-check value, the length of a key text, and the step that
// marks the reference bank's own withdrawal exchange.
struct msgCodes {
    static constexpr std::uint8_t PKT_KEY = 1;
    static constexpr std::uint8_t PKT_REPLY = 2;
    static constexpr std::uint8_t PKT_IDENT = 4;
    static constexpr std::uint8_t PKT_AMOUNT = 8;
    static constexpr std::uint8_t PKT_DATA = 16;
    static constexpr std::uint8_t PKT_ERROR = 32;
    static constexpr std::uint8_t PKT_CLOSE = 64;

    static constexpr std::uint32_t KEY_CHECK_VALUE = 19980424;
    static constexpr int KEY_TEXT_LENGTH = 53;
    static constexpr int RSA_BLOCK = 64;

    // Withdrawal: request (PKT_DATA, WITHDRAW_STEP), answer (PKT_REPLY,
    // WITHDRAW_STEP), refusal (PKT_ERROR, WITHDRAW_STEP).
    static constexpr std::uint8_t WITHDRAW_STEP = 16;

    // Denominations 0 to 9: a coin of denomination d is worth 2^d.
    static constexpr int COIN_KEYS = 10;
};
