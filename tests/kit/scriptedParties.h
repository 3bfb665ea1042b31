#pragma once

#include "crypto/SymKey.h"
#include "scriptedPeer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The payment of the vectors (three coins worth 6), played by a scripted
// consumer and a scripted bank against the shop, one exchange at a time, so
// that tests can follow it, cut it short or slip other frames in. Every
// "Receives" checks the next frame from the shop byte for byte.

// A whole frame of the vectors, by conversation ("consumer_conversation",
// "bank_conversation", "error_frames") and name.
byteVec VectorWire(const std::string& conversation, const std::string& name);
// The frame is `expected`, shown as hex when not.
::testing::AssertionResult SameFrame(const std::optional<wireFrame>& got, const byteVec& expected);

// The consumer of the vectors: its key text, its coin list.
class scriptedConsumer {
public:
    explicit scriptedConsumer(unsigned int shopPort);

    static byteVec CoinList(); // the opened coin list of the vectors
    static constexpr std::int32_t AMOUNT = 6;

    void SendVector(const std::string& name) const; // a consumer frame of the vectors
    byteVec Seal(const byteVec& plain) const;
    void SendSealed(std::uint8_t type, std::uint8_t step, const byteVec& plain) const;

    ::testing::AssertionResult ReceivesVector(const std::string& name) const;
    ::testing::AssertionResult Receives(const byteVec& wire) const;

    // Key offer, then ShopSignature and KeyCheck, then the key-check reply.
    ::testing::AssertionResult KeyExchange() const;
    // Coin list, then CoinReceipt.
    ::testing::AssertionResult PayCoins() const;
    // PaymentConfirmation; final reply, then CloseNotice and the end of the
    // connection.
    ::testing::AssertionResult Finish() const;

    scriptedPeer peer;
    SymKey key;
};

// The bank: listens for the shop, takes its key offer and plays the bank's
// side with the key text the shop offered.
class scriptedBank {
public:
    scriptedBank() = default;

    unsigned int Port() const { return listener.Port(); }

    // Accepts the shop's connection and reads its BankKeyOffer: 64 bytes
    // that decrypt under the bank key to 53 characters from 32 to 126.
    ::testing::AssertionResult TakeKeyOffer();

    byteVec Seal(const byteVec& plain) const;
    bool Send(std::uint8_t type, std::uint8_t step, const byteVec& data) const;
    void SendSealed(std::uint8_t type, std::uint8_t step, const byteVec& plain) const;
    ::testing::AssertionResult ReceivesSealed(std::uint8_t type, std::uint8_t step,
                                              const byteVec& plain) const;

    // BankSignature over `text` (the offered key text when empty).
    void SendSignature(const byteVec& text = {}) const;
    // ShopIdentity (the shop's signature over `signedText`, the offered text
    // when empty, and its identifier) and AmountNotice; then IdentityReceipt.
    ::testing::AssertionResult Identify(std::int32_t amount, const byteVec& signedText = {}) const;
    // CoinRequest, then the consumer's coin list.
    ::testing::AssertionResult TakeCoins(const byteVec& coinList) const;
    // BankReceipt, BankConfirmation of `value`, then ConfirmationReply.
    ::testing::AssertionResult Confirm(std::uint32_t value = 0x12345678) const;
    // BankClose, then the shop closes the connection.
    ::testing::AssertionResult Close() const;
    // The whole conversation after the key offer, for a payment of `amount`.
    ::testing::AssertionResult Accept(std::int32_t amount, const byteVec& coinList) const;

    scriptedListener listener;
    std::optional<scriptedPeer> peer;
    byteVec keyText;
    std::unique_ptr<SymKey> key;
};

byteVec NumberBytes(std::uint32_t value);
