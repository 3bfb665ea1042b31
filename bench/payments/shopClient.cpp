#include "shopClient.h"

#include "common/msgCodes.h"
#include "common/tcpSocket.h"

#include <unistd.h>

namespace {
using mc = msgCodes;
constexpr unsigned GUARD_SECONDS = 120;
} // namespace

shopClient::shopClient(std::uint16_t shopPort, const PublicRsaKey& key, std::mt19937_64& rng)
    : fd(tcpSocket::Connect("127.0.0.1", shopPort, failure)), link(fd), shopKey(key), random(rng) {
    if (fd >= 0) {
        failure.clear(); // the connect's text of an address that did not answer
        tcpSocket::SetTimeouts(fd, GUARD_SECONDS);
        tcpSocket::NoDelay(fd);
    }
}

shopClient::~shopClient() {
    if (fd >= 0)
        close(fd);
}

bool shopClient::Fail(const std::string& text) {
    if (failure.empty())
        failure = text;
    return false;
}

bool shopClient::OfferKey() {
    std::uniform_int_distribution<int> printable(32, 126);
    keyText.assign(mc::KEY_TEXT_LENGTH, 0);
    for (std::uint8_t& c : keyText)
        c = static_cast<std::uint8_t>(printable(random));
    bytes offer(mc::RSA_BLOCK);
    shopKey.Encrypt(keyText.data(), offer.data(), mc::KEY_TEXT_LENGTH);
    link.SetKey(keyText.data(), keyText.size());
    return link.Send(mc::PKT_KEY, 0, offer);
}
