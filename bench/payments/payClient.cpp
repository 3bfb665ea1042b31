#include "payClient.h"

#include "common/msgCodes.h"
#include "common/tcpSocket.h"

#include <unistd.h>

namespace {
using mc = msgCodes;
constexpr unsigned GUARD_SECONDS = 120;
} // namespace

payClient::payClient(std::uint16_t shopPort, const PublicRsaKey& key, std::mt19937_64& rng)
    : fd(tcpSocket::Connect("127.0.0.1", shopPort, failure)), link(fd), shopKey(key), random(rng) {
    if (fd >= 0) {
        failure.clear(); // the connect's text of an address that did not answer
        tcpSocket::SetTimeouts(fd, GUARD_SECONDS);
    }
}

payClient::~payClient() {
    if (fd >= 0)
        close(fd);
}

bool payClient::Fail(const std::string& text) {
    if (failure.empty())
        failure = text;
    return false;
}

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
    std::uniform_int_distribution<int> printable(32, 126);
    bytes text(mc::KEY_TEXT_LENGTH);
    for (std::uint8_t& c : text)
        c = static_cast<std::uint8_t>(printable(random));
    bytes offer(mc::RSA_BLOCK);
    shopKey.Encrypt(text.data(), offer.data(), mc::KEY_TEXT_LENGTH);
    link.SetKey(text.data(), text.size());
    if (!link.Send(mc::PKT_KEY, 0, offer))
        return Fail("the connection to the shop failed");
    bytes signature, check;
    if (!NextSealed(mc::PKT_REPLY, 1, mc::RSA_BLOCK, signature) ||
        !NextSealed(mc::PKT_DATA, 2, 4, check))
        return false;
    if (!shopKey.Verify(text.data(), mc::KEY_TEXT_LENGTH, signature.data()))
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
