#pragma once

#include "common/coinList.h"
#include "crypto/PrivateRsaKey.h"
#include "crypto/PublicRsaKey.h"
#include "scriptedPeer.h"

#include <cstdint>
#include <string>
#include <vector>

// The shop's side of the bank conversation, played by a test against a bank:
// step by step (each step checks what the bank sends as a shop would), or a
// whole payment at once.
class bankScript {
public:
    // Connects to the bank's payment port as shop `shopId`; `bankKey` is the
    // bank's public main key.
    bankScript(std::uint16_t port, std::uint32_t shopId, const PrivateRsaKey& shopKey,
               const PublicRsaKey& bankKey);

    scriptedPeer peer;
    bytes keyText; // 53 characters; the connection's key once offered

    // BankKeyOffer (1, 0) of keyText.
    void OfferKey();
    // BankSignature (2, 1): the key text that the bank signed (empty when
    // the signature does not recover).
    bytes ExpectSignature();
    // ShopIdentity (4, 0): the shop's signature over `signedText` and `id`;
    // then AmountNotice (8, 1).
    void Identify(std::int32_t amount) { Identify(amount, keyText, shopId); }
    void Identify(std::int32_t amount, const bytes& signedText, std::uint32_t id);
    // IdentityReceipt (2, 2): the shop id in it.
    std::uint32_t ExpectIdentityReceipt();
    void ExpectCoinRequest();
    void SendCoins(const bytes& list);
    void SendCoins(const std::vector<coinRecord>& coins) { SendCoins(coinList::Encode(coins)); }
    void ExpectReceipt();
    // BankConfirmation (16, 4): its value.
    std::uint32_t ExpectConfirmation();
    // ConfirmationReply (2, 8).
    void Reply(std::uint32_t value);
    void ExpectClose();

    struct outcome {
        bool accepted = false;
        std::string error; // the text of a BankError
        std::uint8_t errorStep = 0;
        std::uint32_t transaction = 0; // the confirmed value
    };
    // A whole payment as the shop makes it, stopping at a BankError.
    outcome Pay(const bytes& list, std::int32_t amount);
    outcome Pay(const std::vector<coinRecord>& coins, std::int32_t amount) {
        return Pay(coinList::Encode(coins), amount);
    }

private:
    // The next packet's data, when it is (type, step); false for a BankError
    // (noted in `result`) or anything else (a test failure).
    bool Next(std::uint8_t type, std::uint8_t step, bytes& data, outcome& result);
    bytes Recover(const bytes& sealedSignature);

    std::uint32_t shopId;
    const PrivateRsaKey& shopKey;
    const PublicRsaKey& bankKey;
};
