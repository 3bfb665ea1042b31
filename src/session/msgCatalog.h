#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// Packet types; the step byte of a packet qualifies its type.
constexpr std::uint8_t PKT_KEY = 1;    // a key text under an RSA public key
constexpr std::uint8_t PKT_REPLY = 2;  // a reply or receipt within an exchange
constexpr std::uint8_t PKT_IDENT = 4;  // the shop's identification to the bank
constexpr std::uint8_t PKT_AMOUNT = 8; // the payment amount, shop to bank
constexpr std::uint8_t PKT_DATA = 16;  // coin list, key check, confirmations, leave notice
constexpr std::uint8_t PKT_ERROR = 32; // an error text in plain characters
constexpr std::uint8_t PKT_CLOSE = 64; // close notice

// The fixed sizes and encodings of the protocol's data blocks, shared by the
// consumer and the bank side of a session. Numbers of 32 bits travel
// little-endian; RSA blocks are 64 bytes; sealed blocks are those of SymKey.
class msgCatalog {
public:
    static constexpr std::uint32_t KEY_CHECK_VALUE = 19980424; // 88 E0 30 01 on the wire
    static constexpr int KEY_TEXT_LENGTH = 53;                 // the shop's own key texts
    static constexpr int RSA_BLOCK_LENGTH = 64;                // ciphertexts and signatures
    static constexpr int NUMBER_LENGTH = 4;                    // counts, amounts, identifiers
    static constexpr int CLOSE_NOTICE_LENGTH = 2;
    static constexpr std::array<std::uint8_t, CLOSE_NOTICE_LENGTH> CLOSE_NOTICE{0, 0};

    // An error text that the shop sends in a fixed-size field: the text, then
    // zero bytes up to `size`.
    struct errorField {
        std::string_view text;
        int size;
    };
    static constexpr int MAX_ERROR_FIELD = 60;
    static constexpr errorField BANK_DOWN{"Could not verify coins because bank is down", 60};
    static constexpr errorField KEYS_DIFFER{"Symmetric keys do not match", 40};
    static constexpr errorField BAD_KEY_OFFER{"Invalid key offer", 40};
    static constexpr errorField BAD_COIN_LIST{"Invalid coin list", 40};

    // The field's bytes; the first `field.size` of them are sent.
    static std::array<std::uint8_t, MAX_ERROR_FIELD> FieldBytes(const errorField& field);

    static void PutNumber(std::uint8_t* out, std::uint32_t value);
    static std::uint32_t GetNumber(const std::uint8_t* in);

    // What a coin list amounts to. The list is a count, then that many coin
    // records: a denomination d, a value length L, L value bytes.
    struct coinTotal {
        std::uint32_t count;
        std::int32_t amount; // the sum of 2^d
    };
    static constexpr int MAX_DENOMINATION = 9; // the bank has a coin key for 0..9
    // Walks the `length` opened bytes of a coin list. Nothing when the list
    // is shorter than its count, when a record or its value runs past the
    // end, or when a denomination has no coin key. Bytes after the last
    // record are allowed (they still reach the bank).
    static std::optional<coinTotal> ReadCoinList(const std::uint8_t* plain, int length);
};
