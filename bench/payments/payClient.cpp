#include "payClient.h"

#include "common/msgCodes.h"

namespace {
using mc = msgCodes;
} // namespace

bool payClient::NextSealed(std::uint8_t type, std::uint8_t step, std::size_t minimum,
                           bytes& plain) {
    packetIn packet;
    const linkResult got = link.Receive(packet);
    if (got != linkResult::PACKET)
        return Fail(std::string("waiting for (") + std::to_string(type) + ", " +
                    std::to_string(step) + "): " + LinkResultText(got));
    if (packet.type == mc::PKT_ERROR)
        return Fail("the shop refused: " + byteUtil::PrintableText(packet.data));
    if (packet.type != type || packet.step != step)
        return Fail("the shop sent (" + std::to_string(packet.type) + ", " +
                    std::to_string(packet.step) + ") instead of (" + std::to_string(type) + ", " +
                    std::to_string(step) + ")");
    const auto opened = link.Open(packet.data);
    if (!opened || opened->size() < minimum)
        return Fail("a message of the shop does not open");
    plain = *opened;
    return true;
}

bool payClient::AgreeKey() {
    if (fd < 0)
        return Fail("cannot connect to the shop: " + failure);
    if (!OfferKey())
        return Fail("the connection to the shop failed");
    bytes signature, check;
    if (!NextSealed(mc::PKT_REPLY, 1, mc::RSA_BLOCK, signature) ||
        !NextSealed(mc::PKT_DATA, 2, 4, check))
        return false;
    if (!shopKey.Verify(keyText.data(), mc::KEY_TEXT_LENGTH, signature.data()))
        return Fail("the shop's signature does not verify");
    if (byteUtil::GetLe32(check.data()) != mc::KEY_CHECK_VALUE)
        return Fail("the shop's key check value is wrong");
    if (!link.SendSealed(mc::PKT_REPLY, 8, byteUtil::Le32(mc::KEY_CHECK_VALUE)))
        return Fail("the connection to the shop failed");
    return true;
}

bool payClient::Pay(const std::vector<coinRecord>& coins) {
    if (!link.SendSealed(mc::PKT_DATA, 1, coinList::Encode(coins)))
        return Fail("the connection to the shop failed");
    bytes receipt, confirmation;
    if (!NextSealed(mc::PKT_REPLY, 8, 4, receipt) || !NextSealed(mc::PKT_DATA, 4, 4, confirmation))
        return false;
    const std::uint32_t amount = byteUtil::GetLe32(confirmation.data());
    if (amount != coinList::Amount(coins))
        return Fail("the shop confirmed " + std::to_string(amount));
    if (!link.SendSealed(mc::PKT_REPLY, 8, byteUtil::Le32(amount)))
        return Fail("the connection to the shop failed");
    packetIn close;
    if (link.Receive(close) != linkResult::PACKET || close.type != mc::PKT_CLOSE)
        return Fail("no close notice after the confirmation");
    return true;
}
