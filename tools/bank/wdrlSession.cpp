#include "wdrlSession.h"

#include "common/coinList.h"
#include "common/lineOut.h"
#include "common/msgCodes.h"

#include <cryptopp/integer.h>

namespace {
using mc = msgCodes;
} // namespace

wdrlSession::wdrlSession(int descriptor, const std::vector<PrivateRsaKey>& keys)
    : link(descriptor), coinKeys(keys) {}

void wdrlSession::Refuse(const std::string& text) {
    lineOut::Print("Withdrawal refused: " + text);
    link.Send(mc::PKT_ERROR, mc::WITHDRAW_STEP, bytes(text.begin(), text.end()));
    link.Finish();
}

void wdrlSession::Run() {
    for (;;) {
        packetIn request;
        const linkResult result = link.Receive(request);
        if (result == linkResult::CLOSED)
            return;
        if (result != linkResult::PACKET) {
            lineOut::Print(std::string("Withdrawal abandoned: ") + LinkResultText(result));
            return;
        }
        if (request.type != mc::PKT_DATA || request.step != mc::WITHDRAW_STEP) {
            Refuse("Unexpected message (type " + std::to_string(request.type) + ", step " +
                   std::to_string(request.step) + "): expected a withdrawal request");
            return;
        }
        const auto records = coinList::Decode(request.data);
        if (!records) {
            Refuse("Withdrawal request is malformed");
            return;
        }
        if (records->empty() || records->size() > MAX_COINS) {
            Refuse("Withdrawal request must ask for 1 to " + std::to_string(MAX_COINS) + " coins");
            return;
        }
        std::vector<coinRecord> answer;
        std::string denominations;
        for (const coinRecord& record : *records) {
            if (record.denomination >= mc::COIN_KEYS) {
                Refuse("Coin of unknown denomination " + std::to_string(record.denomination));
                return;
            }
            const PrivateRsaKey& key = coinKeys[record.denomination];
            const CryptoPP::Integer blinded(record.value.data(), record.value.size());
            if (record.value.size() > key.Modulus().ByteCount() || !blinded.IsPositive() ||
                blinded >= key.Modulus()) {
                Refuse("Blinded number out of range");
                return;
            }
            CryptoPP::Integer signature;
            key.ApplyPrivateFunction(blinded, signature);
            coinRecord signedRecord{record.denomination, bytes(mc::RSA_BLOCK)};
            signature.Encode(signedRecord.value.data(), signedRecord.value.size());
            answer.push_back(std::move(signedRecord));
            denominations += " " + std::to_string(record.denomination);
        }
        if (!link.Send(mc::PKT_REPLY, mc::WITHDRAW_STEP, coinList::Encode(answer))) {
            lineOut::Print("Withdrawal abandoned: the connection failed");
            return;
        }
        lineOut::Print("Withdrawal: signed " + std::to_string(answer.size()) +
                       " coins, denominations" + denominations);
    }
}
