#include "pmntSession.h"

#include "common/coinList.h"
#include "common/lineOut.h"
#include "common/msgCodes.h"
#include "common/tcpSocket.h"
#include "wire/packetCrc.h"

#include <cryptopp/osrng.h>

namespace {

using mc = msgCodes;

// Another key text of the same length whose every byte gives another DES key
// byte: each character moves two places on in 32..126.
bytes OtherText(const bytes& text) {
    bytes other = text;
    for (std::uint8_t& c : other)
        c = static_cast<std::uint8_t>(32 + (c - 32 + 2) % 95);
    return other;
}

bytes TextBytes(const std::string& text) {
    return bytes(text.begin(), text.end());
}

} // namespace

pmntSession::pmntSession(int descriptor, const bankContext& context)
    : link(descriptor), bank(context) {}

pmntSession::~pmntSession() {
    ReleaseClaim();
}

void pmntSession::ReleaseClaim() {
    if (transaction)
        bank.spent.Release(*transaction);
    transaction.reset();
}

void pmntSession::Conclude(const std::string& text) {
    ReleaseClaim();
    Tell(text);
}

void pmntSession::Tell(const std::string& text) const {
    lineOut::Print("Payment " + text + " (shop " +
                   (shopId ? std::to_string(*shopId) : std::string("not identified")) + ")");
}

bool pmntSession::Refuse(const std::string& text) {
    Conclude("refused: " + text);
    link.Send(mc::PKT_ERROR, 1, TextBytes(text));
    link.Finish();
    return false;
}

bool pmntSession::Expect(std::uint8_t type, std::uint8_t step, const char* what, packetIn& packet) {
    const linkResult result = link.Receive(packet);
    if (result != linkResult::PACKET) {
        Conclude(std::string("abandoned while waiting for ") + what + ": " +
                 LinkResultText(result));
        return false;
    }
    if (packet.type != type || packet.step != step) {
        return Refuse("Unexpected message (type " + std::to_string(packet.type) + ", step " +
                      std::to_string(packet.step) + ") while waiting for " + what);
    }
    return true;
}

bool pmntSession::ExpectSealed(std::uint8_t type, std::uint8_t step, const char* what,
                               std::size_t minimum, bytes& plain) {
    packetIn packet;
    if (!Expect(type, step, what, packet))
        return false;
    const auto opened = link.Open(packet.data);
    if (!opened)
        return Refuse(std::string("Message does not open under the session key: ") + what);
    if (opened->size() < minimum)
        return Refuse(std::string("Message too short: ") + what);
    plain = *opened;
    return true;
}

bool pmntSession::Deliver(faultPoint point, std::uint8_t type, std::uint8_t step,
                          const bytes& data) {
    const std::string where = std::string(" at ") + faultPlan::PointName(point);
    switch (bank.faults.At(point)) {
    case faultAction::NONE:
        if (link.Send(type, step, data))
            return true;
        Conclude(std::string("abandoned: the connection failed") + where);
        return false;
    case faultAction::ERROR:
        Conclude("test switch: error" + where);
        link.Send(mc::PKT_ERROR, bank.faults.errorStep, TextBytes(bank.faults.errorText));
        link.Finish();
        return false;
    case faultAction::SILENT:
        Conclude("test switch: silent" + where);
        tcpSocket::SetTimeouts(link.Descriptor(), 0);
        link.Drain();
        return false;
    case faultAction::DROP:
        Conclude("test switch: connection dropped" + where);
        return false;
    case faultAction::GARBAGE:
        return SendGarbage(point, type, step, data);
    }
    return false;
}

bool pmntSession::SendGarbage(faultPoint point, std::uint8_t type, std::uint8_t step,
                              const bytes& data) {
    const garbageKind kind = bank.faults.garbage;
    Tell(std::string("test switch: garbage (") + faultPlan::GarbageName(kind) + ") at " +
         faultPlan::PointName(point));
    bytes raw;
    switch (kind) {
    case garbageKind::CRC:
        raw = peerLink::Frame(type, step, data);
        raw[6] ^= 0xFF;
        raw.back() ^= 0xFF;
        break;
    case garbageKind::SEALED: {
        // Random blocks of the message's length that do not open.
        CryptoPP::AutoSeededRandomPool rng;
        bytes noise(data.size());
        do {
            rng.GenerateBlock(noise.data(), noise.size());
        } while (link.Open(noise));
        raw = peerLink::Frame(type, step, noise);
        break;
    }
    case garbageKind::LENGTH: {
        ReleaseClaim();
        raw = {type, step, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0};
        packetCrc().AppendCrc(raw.data(), 6);
        link.SendRaw(raw);
        return false;
    }
    }
    if (link.SendRaw(raw))
        return true;
    Conclude(std::string("abandoned: the connection failed at ") + faultPlan::PointName(point));
    return false;
}

std::optional<std::vector<coinIdent>> pmntSession::CheckCoins(const bytes& list) {
    const auto records = coinList::Decode(list);
    if (!records) {
        Refuse("Coin list is malformed");
        return std::nullopt;
    }
    if (records->empty()) {
        Refuse("Coin list is empty");
        return std::nullopt;
    }
    std::vector<coinIdent> coins;
    for (const coinRecord& record : *records) {
        if (record.denomination >= mc::COIN_KEYS) {
            Refuse("Coin of unknown denomination " + std::to_string(record.denomination));
            return std::nullopt;
        }
        const PrivateRsaKey& key = bank.coinKeys[record.denomination];
        std::optional<coinIdent> coin;
        if (!record.value.empty() && record.value.size() <= coinFormat::MESSAGE_SIZE) {
            const CryptoPP::Integer value(record.value.data(), record.value.size());
            if (value.IsPositive() && value < key.Modulus()) {
                CryptoPP::Integer m;
                key.PublicKey().ApplyFunction(value, m);
                coin = coinFormat::Parse(m);
            }
        }
        if (!coin || coin->denomination != record.denomination) {
            Refuse("Coin is not valid");
            return std::nullopt;
        }
        coins.push_back(*coin);
    }
    if (static_cast<std::int64_t>(coinList::Amount(*records)) != amount) {
        Refuse("Amount does not match the coins");
        return std::nullopt;
    }
    return coins;
}

void pmntSession::Run() {
    packetIn offer;
    if (!Expect(mc::PKT_KEY, 0, "the key offer", offer))
        return;
    std::uint8_t text[mc::KEY_TEXT_LENGTH];
    if (offer.data.size() != mc::RSA_BLOCK ||
        bank.bankKey.Decrypt(offer.data.data(), text) != mc::KEY_TEXT_LENGTH) {
        Refuse("Key offer is not a 53-character key text under the bank's key");
        return;
    }
    keyText.assign(text, text + mc::KEY_TEXT_LENGTH);
    link.SetKey(keyText.data(), keyText.size());

    const bytes signedText = bank.faults.signOtherText ? OtherText(keyText) : keyText;
    bytes signature(mc::RSA_BLOCK);
    bank.bankKey.Sign(signedText.data(), signature.data(), mc::KEY_TEXT_LENGTH);
    if (!Deliver(faultPoint::SIGNATURE, mc::PKT_REPLY, 1, link.Seal(signature)))
        return;

    bytes identity;
    if (!ExpectSealed(mc::PKT_IDENT, 0, "the shop's identity", mc::RSA_BLOCK + 4, identity))
        return;
    shopId = byteUtil::GetLe32(identity.data() + mc::RSA_BLOCK);
    const PublicRsaKey* shopKey = bank.shops.Find(*shopId);
    if (shopKey == nullptr) {
        Refuse("Unknown shop");
        return;
    }
    if (!shopKey->Verify(keyText.data(), mc::KEY_TEXT_LENGTH, identity.data())) {
        Refuse("Shop signature does not verify");
        return;
    }

    bytes amountText;
    if (!ExpectSealed(mc::PKT_AMOUNT, 1, "the amount", 4, amountText))
        return;
    amount = static_cast<std::int32_t>(byteUtil::GetLe32(amountText.data()));
    const std::uint32_t receiptId = bank.faults.wrongShopId ? ~*shopId : *shopId;
    if (!Deliver(faultPoint::IDENTITY, mc::PKT_REPLY, 2, link.Seal(byteUtil::Le32(receiptId))) ||
        !Deliver(faultPoint::REQUEST, mc::PKT_REPLY, 4, link.Seal(TextBytes("Send coins"))))
        return;

    bytes list;
    if (!ExpectSealed(mc::PKT_DATA, 1, "the coin list", 1, list))
        return;
    const auto coins = CheckCoins(list);
    if (!coins)
        return;
    std::uint32_t number = 0;
    switch (bank.spent.Claim(*coins, *shopId, number)) {
    case spentRegister::claimResult::CLAIMED:
        transaction = number;
        break;
    case spentRegister::claimResult::SPENT:
        Refuse("Coin already spent");
        return;
    case spentRegister::claimResult::IN_USE:
        Refuse("Coin is being spent in another payment");
        return;
    }
    bytes receipt = byteUtil::Le32(static_cast<std::uint32_t>(coins->size()));
    byteUtil::PutLe32(receipt, static_cast<std::uint32_t>(amount));
    if (!Deliver(faultPoint::RECEIPT, mc::PKT_REPLY, 8, link.Seal(receipt)) ||
        !Deliver(faultPoint::CONFIRMATION, mc::PKT_DATA, 4, link.Seal(byteUtil::Le32(number))))
        return;

    bytes reply;
    if (!ExpectSealed(mc::PKT_REPLY, 8, "the confirmation reply", 4, reply))
        return;
    if (byteUtil::GetLe32(reply.data()) != number) {
        Refuse("Confirmation reply does not match");
        return;
    }
    if (!bank.faults.Delivers(faultPoint::CLOSE)) {
        // The test switch stands in for BankClose: the coins stay unspent.
        Deliver(faultPoint::CLOSE, mc::PKT_CLOSE, 0, bytes{0, 0});
        return;
    }
    const bool recorded = bank.spent.Commit(number);
    transaction.reset();
    if (!recorded) {
        Refuse("Bank cannot record the payment");
        return;
    }
    Tell("accepted: transaction " + std::to_string(number) + ", amount " + std::to_string(amount) +
         ", " + std::to_string(coins->size()) + " coins");
    if (bank.faults.At(faultPoint::CLOSE) == faultAction::GARBAGE)
        SendGarbage(faultPoint::CLOSE, mc::PKT_CLOSE, 0, bytes{0, 0});
    else
        link.Send(mc::PKT_CLOSE, 0, bytes{0, 0});
    link.Finish();
}
