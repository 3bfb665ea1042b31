#include "consumerScript.h"

#include "common/msgCodes.h"

#include <gtest/gtest.h>

namespace {
using mc = msgCodes;
} // namespace

consumerScript::consumerScript(scriptedPeer connection, const PrivateRsaKey& shop)
    : peer(std::move(connection)), shopKey(shop) {}

bytes consumerScript::AcceptKey() {
    const bytes offer = peer.Expect(mc::PKT_KEY, 0);
    if (offer.size() != static_cast<std::size_t>(mc::RSA_BLOCK)) {
        ADD_FAILURE() << "the key offer is " << offer.size() << " bytes";
        return {};
    }
    std::uint8_t text[mc::RSA_BLOCK];
    const int length = shopKey.Decrypt(offer.data(), text);
    EXPECT_EQ(length, mc::KEY_TEXT_LENGTH);
    const bytes keyText(text, text + length);
    peer.SetKey(keyText);
    bytes signature(mc::RSA_BLOCK);
    shopKey.Sign(text, signature.data(), length);
    peer.SendSealed(mc::PKT_REPLY, 1, signature);
    peer.SendSealed(mc::PKT_DATA, 2, byteUtil::Le32(mc::KEY_CHECK_VALUE));
    return keyText;
}

void consumerScript::ExpectKeyCheckReply() {
    const bytes reply = peer.ExpectSealed(mc::PKT_REPLY, 8);
    EXPECT_TRUE(reply.size() >= 4 && byteUtil::GetLe32(reply.data()) == mc::KEY_CHECK_VALUE);
}

std::vector<coinRecord> consumerScript::ExpectCoinList() {
    list = peer.ExpectSealed(mc::PKT_DATA, 1);
    const auto records = coinList::Decode(list);
    if (!records) {
        ADD_FAILURE() << "the coin list is malformed";
        return {};
    }
    return *records;
}

void consumerScript::SendReceipt(std::uint32_t count) {
    peer.SendSealed(mc::PKT_REPLY, 8, byteUtil::Le32(count));
}

void consumerScript::SendConfirmation(std::int32_t amount) {
    peer.SendSealed(mc::PKT_DATA, 4, byteUtil::Le32(static_cast<std::uint32_t>(amount)));
}

void consumerScript::ExpectFinalReply() {
    peer.ExpectSealed(mc::PKT_REPLY, 8);
}

void consumerScript::ExpectLeave() {
    peer.Expect(mc::PKT_DATA, 8);
}

void consumerScript::SendError(const std::string& text, std::uint8_t step) {
    peer.Send(mc::PKT_ERROR, step, bytes(text.begin(), text.end()));
}

void consumerScript::SendClose() {
    peer.Send(mc::PKT_CLOSE, 0, bytes{0, 0});
}
