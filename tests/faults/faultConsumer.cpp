#include "faultConsumer.h"

#include "common/msgCodes.h"

#include <cryptopp/osrng.h>

#include <sys/socket.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace {
bytes NewKeyText() {
    CryptoPP::AutoSeededRandomPool rng;
    bytes text(msgCodes::KEY_TEXT_LENGTH);
    for (std::uint8_t& c : text) {
        c = static_cast<std::uint8_t>(32 + rng.GenerateWord32(0, 94));
    }
    return text;
}
} // namespace

faultConsumer::faultConsumer(std::uint16_t shopPort, const demoWorld& demo,
                             const std::vector<std::uint8_t>& denominations)
    : peer(scriptedPeer::Connect(shopPort)), world(demo) {
    std::vector<coinRecord> records;
    for (const std::uint8_t d : denominations) {
        records.push_back(world.Mint(d).record);
        amount += 1 << d;
    }
    coins = coinList::Encode(records);
}

bool faultConsumer::PlayTo(stage last) {
    while (reached < last) {
        const auto next = static_cast<stage>(reached + 1);
        if (!Step(next)) {
            return false;
        }
        reached = next;
    }
    return true;
}

bool faultConsumer::Step(stage next) {
    switch (next) {
    case CONNECTED:
        return true;
    case KEY_OFFERED: {
        const bytes text = NewKeyText();
        bytes offer(msgCodes::RSA_BLOCK);
        world.shopKey->PublicKey().Encrypt(text.data(), offer.data(), msgCodes::KEY_TEXT_LENGTH);
        peer.Send(msgCodes::PKT_KEY, 0, offer);
        peer.SetKey(text);
        const bytes signature = peer.ExpectSealed(msgCodes::PKT_REPLY, 1);
        const bytes check = peer.ExpectSealed(msgCodes::PKT_DATA, 2);
        return world.shopKey->PublicKey().Verify(text.data(), msgCodes::KEY_TEXT_LENGTH,
                                                 signature.data()) &&
               check == byteUtil::Le32(msgCodes::KEY_CHECK_VALUE);
    }
    case KEY_CHECKED:
        return peer.SendSealed(msgCodes::PKT_REPLY, 8, byteUtil::Le32(msgCodes::KEY_CHECK_VALUE));
    case COINS_SENT:
        peer.SendSealed(msgCodes::PKT_DATA, 1, coins);
        return peer.ExpectSealed(msgCodes::PKT_REPLY, 8) == bytes(coins.begin(), coins.begin() + 4);
    case CONFIRMED:
        return peer.ExpectSealed(msgCodes::PKT_DATA, 4) ==
               byteUtil::Le32(static_cast<std::uint32_t>(amount));
    case FINISHED:
        peer.SendSealed(msgCodes::PKT_REPLY, 8, byteUtil::Le32(0));
        return !peer.Expect(msgCodes::PKT_CLOSE, 0).empty() && peer.PeerClosed();
    }
    return false;
}

std::string faultConsumer::ExpectErrorAndClose() {
    packetIn packet;
    if (peer.Receive(packet) != linkResult::PACKET || packet.type != msgCodes::PKT_ERROR) {
        ADD_FAILURE() << "no error from the shop";
        return {};
    }
    EXPECT_FALSE(peer.Expect(msgCodes::PKT_CLOSE, 0).empty());
    EXPECT_TRUE(peer.PeerClosed());
    return byteUtil::PrintableText(packet.data);
}

bool faultConsumer::ConnectionEnds() const {
    std::uint8_t byte = 0;
    for (;;) {
        const ssize_t n = ::recv(peer.Descriptor(), &byte, 1, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // The guard (a receive timeout) or a byte: no end as asked.
        return n == 0 || (n < 0 && (errno == ECONNRESET || errno == EPIPE));
    }
}
