#include "shopTalk.h"

#include "common/lineOut.h"
#include "common/msgCodes.h"
#include "keyText.h"

namespace {
using mc = msgCodes;
} // namespace

shopTalk::shopTalk(int descriptor, const PublicRsaKey& key) : link(descriptor), shopKey(key) {}

bool shopTalk::Fail(outcome& result, const std::string& text) {
    result.result = outcome::FAILED;
    result.text = text;
    return false;
}

bool shopTalk::Send(std::uint8_t type, std::uint8_t step, const bytes& plain, outcome& result) {
    if (link.SendSealed(type, step, plain))
        return true;
    return Fail(result, "the connection to the shop failed");
}

void shopTalk::ExpectClose() {
    packetIn packet;
    const linkResult got = link.Receive(packet);
    if (got == linkResult::PACKET && packet.type == mc::PKT_CLOSE)
        lineOut::Print("Shop closed the session");
    else if (got == linkResult::PACKET)
        lineOut::Print("Shop sent type " + std::to_string(packet.type) + ", step " +
                       std::to_string(packet.step) + " instead of its close notice");
    else
        lineOut::Print(std::string("No close notice from the shop: ") + LinkResultText(got));
}

bool shopTalk::Next(std::uint8_t type, std::uint8_t step, const char* what, packetIn& packet,
                    outcome& result) {
    const linkResult got = link.Receive(packet);
    if (got != linkResult::PACKET)
        return Fail(result, std::string("no ") + what + " from the shop: " + LinkResultText(got));
    if (packet.type == mc::PKT_ERROR) {
        result.result = outcome::REFUSED;
        result.text = byteUtil::PrintableText(packet.data);
        lineOut::Print("Shop error: " + result.text);
        ExpectClose();
        return false;
    }
    if (packet.type != type || packet.step != step)
        return Fail(result, "the shop sent type " + std::to_string(packet.type) + ", step " +
                                std::to_string(packet.step) + " instead of " + what);
    return true;
}

bool shopTalk::NextSealed(std::uint8_t type, std::uint8_t step, const char* what,
                          std::size_t minimum, bytes& plain, outcome& result) {
    packetIn packet;
    if (!Next(type, step, what, packet, result))
        return false;
    const auto opened = link.Open(packet.data);
    if (!opened || opened->size() < minimum)
        return Fail(result, std::string("the shop's ") + what + " does not open under the key");
    plain = *opened;
    return true;
}

bool shopTalk::AgreeKey(outcome& result) {
    const bytes text = keyText::Make();
    bytes offer(mc::RSA_BLOCK);
    shopKey.Encrypt(text.data(), offer.data(), mc::KEY_TEXT_LENGTH);
    link.SetKey(text.data(), text.size());
    if (!link.Send(mc::PKT_KEY, 0, offer))
        return Fail(result, "the connection to the shop failed");
    lineOut::Print("Sent key offer");

    bytes signature;
    if (!NextSealed(mc::PKT_REPLY, 1, "signature", mc::RSA_BLOCK, signature, result))
        return false;
    if (!shopKey.Verify(text.data(), mc::KEY_TEXT_LENGTH, signature.data()))
        return Fail(result, "the shop's signature does not verify: not the shop of this key file");
    lineOut::Print("Shop signature verified");

    bytes check;
    if (!NextSealed(mc::PKT_DATA, 2, "key check", 4, check, result))
        return false;
    if (byteUtil::GetLe32(check.data()) != mc::KEY_CHECK_VALUE)
        return Fail(result, "the shop's key check value is wrong");
    if (!Send(mc::PKT_REPLY, 8, byteUtil::Le32(mc::KEY_CHECK_VALUE), result))
        return false;
    lineOut::Print("Key check passed");
    return true;
}

shopTalk::outcome shopTalk::Pay(const std::vector<coinRecord>& coins) {
    outcome result;
    if (!AgreeKey(result))
        return result;
    if (!Send(mc::PKT_DATA, 1, coinList::Encode(coins), result))
        return result;
    result.coinsSent = true;
    lineOut::Print("Sent coin list: " + std::to_string(coins.size()) + " coins, amount " +
                   std::to_string(coinList::Amount(coins)));

    bytes receipt;
    if (!NextSealed(mc::PKT_REPLY, 8, "coin receipt", 4, receipt, result))
        return result;
    const std::uint32_t count = byteUtil::GetLe32(receipt.data());
    if (count != coins.size()) {
        Fail(result, "the shop's coin receipt names " + std::to_string(count) + " coins");
        return result;
    }
    lineOut::Print("Shop received " + std::to_string(count) + " coins");

    bytes confirmation;
    if (!NextSealed(mc::PKT_DATA, 4, "payment confirmation", 4, confirmation, result))
        return result;
    result.result = outcome::CONFIRMED;
    result.amount = static_cast<std::int32_t>(byteUtil::GetLe32(confirmation.data()));
    lineOut::Print("Payment confirmed: " + std::to_string(result.amount));
    if (link.SendSealed(mc::PKT_REPLY, 8,
                        byteUtil::Le32(static_cast<std::uint32_t>(result.amount)))) {
        lineOut::Print("Sent final reply");
        ExpectClose();
    }
    return result;
}

shopTalk::outcome shopTalk::Leave() {
    outcome result;
    if (!AgreeKey(result) || !Send(mc::PKT_DATA, 8, bytes{0, 0}, result))
        return result;
    lineOut::Print("Sent leave notice");
    packetIn packet;
    if (Next(mc::PKT_CLOSE, 0, "close notice", packet, result)) {
        lineOut::Print("Shop closed the session");
        result.result = outcome::CONFIRMED;
    }
    return result;
}
