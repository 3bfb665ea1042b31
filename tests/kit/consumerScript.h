#pragma once

#include "common/coinList.h"
#include "crypto/PrivateRsaKey.h"
#include "scriptedPeer.h"

#include <cstdint>
#include <string>
#include <vector>

// The shop's side of the consumer conversation, played by a test against a
// consumer that connected to it.
class consumerScript {
public:
    consumerScript(scriptedPeer connection, const PrivateRsaKey& shopKey);

    scriptedPeer peer;

    // ConsumerKeyOffer (1, 0): the consumer's key text; keys the connection
    // and answers with ShopSignature (2, 1) and KeyCheck (16, 2).
    bytes AcceptKey();
    // KeyCheckReply (2, 8) carrying the key-check value.
    void ExpectKeyCheckReply();
    // CoinList (16, 1): its records (the opened bytes in `list`).
    std::vector<coinRecord> ExpectCoinList();
    bytes list;
    void SendReceipt(std::uint32_t count);
    void SendConfirmation(std::int32_t amount);
    void ExpectFinalReply();
    // LeaveNotice (16, 8).
    void ExpectLeave();
    void SendError(const std::string& text, std::uint8_t step = 1);
    void SendClose();

private:
    const PrivateRsaKey& shopKey;
};
