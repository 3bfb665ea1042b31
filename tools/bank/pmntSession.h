#pragma once

#include "bankContext.h"
#include "common/coinFormat.h"
#include "common/peerLink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bank's side of one payment, on a shop's connection:
//
//   shop: BankKeyOffer (1, 0)    bank: BankSignature (2, 1)
//   shop: ShopIdentity (4, 0), AmountNotice (8, 1)
//                                bank: IdentityReceipt (2, 2), CoinRequest (2, 4)
//   shop: CoinList (16, 1)       bank: BankReceipt (2, 8), BankConfirmation (16, 4)
//   shop: ConfirmationReply (2, 8)
//                                bank: BankClose (64, 0)
//
// The bank decrypts the key offer with its main key, keys the connection
// with it and signs it back; it checks that the shop's signature recovers the
// key text under the shop's public key; it checks every coin under its
// denomination's coin key and the sum against the amount, claims the coins in
// the register, confirms with the payment's transaction number and, once the
// shop has echoed it, writes the coins to the register and closes. Any
// refusal is a BankError (32, 1) with a plain text, after which the bank
// closes. One line on standard output tells each payment's outcome.
class pmntSession {
public:
    pmntSession(int descriptor, const bankContext& context);
    ~pmntSession();
    pmntSession(const pmntSession&) = delete;
    pmntSession& operator=(const pmntSession&) = delete;

    // The whole conversation; returns when it is over.
    void Run();

private:
    // Each returns false when the conversation has ended (its outcome told).
    bool Expect(std::uint8_t type, std::uint8_t step, const char* what, packetIn& packet);
    bool ExpectSealed(std::uint8_t type, std::uint8_t step, const char* what, std::size_t minimum,
                      bytes& plain);
    bool Refuse(const std::string& text);
    // Sends the bank's message at `point`, or does what the test switch at
    // that point says.
    bool Deliver(faultPoint point, std::uint8_t type, std::uint8_t step, const bytes& data);
    bool SendGarbage(faultPoint point, std::uint8_t type, std::uint8_t step, const bytes& data);
    // The coins of the opened coin list, or nothing when refused.
    std::optional<std::vector<coinIdent>> CheckCoins(const bytes& list);
    // Prints "Payment <text> (shop <id>)".
    void Tell(const std::string& text) const;
    // Tells the payment's outcome, releasing the coins it claimed.
    void Conclude(const std::string& text);
    void ReleaseClaim();

    peerLink link;
    const bankContext& bank;
    bytes keyText;
    std::optional<std::uint32_t> shopId;
    std::int32_t amount = 0;
    std::optional<std::uint32_t> transaction; // claimed, not yet committed
};
