#include "hostileClient.h"

#include "common/msgCodes.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {
using mc = msgCodes;
} // namespace

void hostileClient::Reset() {
    const linger abortive{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close(fd);
    fd = -1;
}

bool hostileClient::Expect(std::uint8_t type, std::uint8_t step) {
    packetIn packet;
    const linkResult got = link.Receive(packet);
    if (got != linkResult::PACKET)
        return Fail(std::string("waiting for the shop: ") + LinkResultText(got));
    if (packet.type != type || packet.step != step)
        return Fail("the shop sent (" + std::to_string(packet.type) + ", " +
                    std::to_string(packet.step) + ") instead of (" + std::to_string(type) + ", " +
                    std::to_string(step) + ")");
    return true;
}

bool hostileClient::AgreeKey() {
    return OfferKey() && Expect(mc::PKT_REPLY, 1) && Expect(mc::PKT_DATA, 2);
}

bool hostileClient::ShopEnds() {
    std::uint8_t byte = 0;
    for (;;) {
        const ssize_t n = recv(fd, &byte, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (n < 0 && errno == ECONNRESET))
            return true;
        return Fail(n > 0 ? "the shop sent more instead of closing"
                          : "the shop did not close the connection");
    }
}

bool hostileClient::Play(behaviour how, const std::vector<coinRecord>& coins) {
    if (fd < 0)
        return Fail("cannot connect to the shop: " + failure);
    const bytes list = coinList::Encode(coins);
    bool ok = true;
    switch (how) {
    case LEAVE_AT_ONCE:
        break;
    case LEAVE_AFTER_KEY:
        ok = AgreeKey();
        close(fd);
        fd = -1;
        return ok;
    case LEAVE_AFTER_CHECK:
        ok = AgreeKey() && link.SendSealed(mc::PKT_REPLY, 8, byteUtil::Le32(mc::KEY_CHECK_VALUE));
        break;
    case LEAVE_AFTER_COINS:
        ok = AgreeKey() && link.SendSealed(mc::PKT_DATA, 1, list) && Expect(mc::PKT_REPLY, 8);
        close(fd);
        fd = -1;
        return ok;
    case LEAVE_BEFORE_FINAL:
        ok = AgreeKey() && link.SendSealed(mc::PKT_DATA, 1, list) && Expect(mc::PKT_REPLY, 8) &&
             Expect(mc::PKT_DATA, 4);
        break;
    case GARBAGE:
        ok = link.SendRaw(bytes(256, 0xC3)) && ShopEnds();
        break;
    case OVERSIZED:
        ok = AgreeKey() && link.SendRaw(bytes{mc::PKT_DATA, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0}) &&
             ShopEnds();
        break;
    case HALF_FRAME_THEN_GONE: {
        ok = AgreeKey();
        const bytes frame = peerLink::Frame(mc::PKT_DATA, 1, link.Seal(list));
        ok = ok && link.SendRaw(bytes(frame.begin(), frame.begin() + 20));
        close(fd);
        fd = -1;
        return ok;
    }
    case BEHAVIOURS:
        return Fail("no such behaviour");
    }
    Reset();
    return ok;
}
