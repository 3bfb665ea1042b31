#include "bankScript.h"

#include "common/msgCodes.h"

#include <gtest/gtest.h>

namespace {

using mc = msgCodes;

bytes ShopKeyText() {
    std::string text = "Key text of a scripted shop's bank connection";
    text.resize(mc::KEY_TEXT_LENGTH, '.');
    return bytes(text.begin(), text.end());
}

} // namespace

bankScript::bankScript(std::uint16_t port, std::uint32_t id, const PrivateRsaKey& shop,
                       const PublicRsaKey& bank)
    : peer(scriptedPeer::Connect(port)), keyText(ShopKeyText()), shopId(id), shopKey(shop),
      bankKey(bank) {}

void bankScript::OfferKey() {
    bytes offer(mc::RSA_BLOCK);
    bankKey.Encrypt(keyText.data(), offer.data(), mc::KEY_TEXT_LENGTH);
    peer.SetKey(keyText);
    peer.Send(mc::PKT_KEY, 0, offer);
}

bytes bankScript::Recover(const bytes& signature) {
    const auto opened = peer.Link().Open(signature);
    if (!opened || opened->size() < static_cast<std::size_t>(mc::RSA_BLOCK))
        return {};
    std::uint8_t text[mc::RSA_BLOCK];
    const int length = bankKey.Recover(opened->data(), text);
    return bytes(text, text + length);
}

bytes bankScript::ExpectSignature() {
    return Recover(peer.Expect(mc::PKT_REPLY, 1));
}

void bankScript::Identify(std::int32_t amount, const bytes& signedText, std::uint32_t id) {
    bytes identity(mc::RSA_BLOCK);
    bytes text = signedText;
    text.resize(mc::KEY_TEXT_LENGTH);
    shopKey.Sign(text.data(), identity.data(), mc::KEY_TEXT_LENGTH);
    byteUtil::PutLe32(identity, id);
    peer.SendSealed(mc::PKT_IDENT, 0, identity);
    peer.SendSealed(mc::PKT_AMOUNT, 1, byteUtil::Le32(static_cast<std::uint32_t>(amount)));
}

std::uint32_t bankScript::ExpectIdentityReceipt() {
    const bytes receipt = peer.ExpectSealed(mc::PKT_REPLY, 2);
    return receipt.size() >= 4 ? byteUtil::GetLe32(receipt.data()) : 0;
}

void bankScript::ExpectCoinRequest() {
    peer.ExpectSealed(mc::PKT_REPLY, 4);
}

void bankScript::SendCoins(const bytes& list) {
    peer.SendSealed(mc::PKT_DATA, 1, list);
}

void bankScript::ExpectReceipt() {
    peer.ExpectSealed(mc::PKT_REPLY, 8);
}

std::uint32_t bankScript::ExpectConfirmation() {
    const bytes confirmation = peer.ExpectSealed(mc::PKT_DATA, 4);
    return confirmation.size() >= 4 ? byteUtil::GetLe32(confirmation.data()) : 0;
}

void bankScript::Reply(std::uint32_t value) {
    peer.SendSealed(mc::PKT_REPLY, 8, byteUtil::Le32(value));
}

void bankScript::ExpectClose() {
    peer.Expect(mc::PKT_CLOSE, 0);
}

bool bankScript::Next(std::uint8_t type, std::uint8_t step, bytes& data, outcome& result) {
    packetIn packet;
    const linkResult got = peer.Receive(packet);
    if (got != linkResult::PACKET) {
        ADD_FAILURE() << "waiting for (" << int(type) << ", " << int(step)
                      << "): " << LinkResultText(got);
        return false;
    }
    if (packet.type == mc::PKT_ERROR) {
        result.error = byteUtil::PrintableText(packet.data);
        result.errorStep = packet.step;
        return false;
    }
    if (packet.type != type || packet.step != step) {
        ADD_FAILURE() << "expected (" << int(type) << ", " << int(step) << "), got ("
                      << int(packet.type) << ", " << int(packet.step) << ")";
        return false;
    }
    data = packet.data;
    return true;
}

bankScript::outcome bankScript::Pay(const bytes& list, std::int32_t amount) {
    outcome result;
    bytes data;
    OfferKey();
    if (!Next(mc::PKT_REPLY, 1, data, result))
        return result;
    const bytes text = Recover(data);
    EXPECT_EQ(text, keyText) << "the bank signed another key text";
    Identify(amount, text, shopId);
    if (!Next(mc::PKT_REPLY, 2, data, result))
        return result;
    const auto receipt = peer.Link().Open(data);
    EXPECT_TRUE(receipt && receipt->size() >= 4 && byteUtil::GetLe32(receipt->data()) == shopId)
        << "the identity receipt does not carry the shop id";
    if (!Next(mc::PKT_REPLY, 4, data, result))
        return result;
    SendCoins(list);
    if (!Next(mc::PKT_REPLY, 8, data, result) || !Next(mc::PKT_DATA, 4, data, result))
        return result;
    const auto confirmation = peer.Link().Open(data);
    if (!confirmation || confirmation->size() < 4) {
        ADD_FAILURE() << "the bank's confirmation does not open";
        return result;
    }
    result.transaction = byteUtil::GetLe32(confirmation->data());
    Reply(result.transaction);
    if (!Next(mc::PKT_CLOSE, 0, data, result))
        return result;
    result.accepted = true;
    return result;
}
