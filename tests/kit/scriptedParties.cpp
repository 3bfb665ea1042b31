#include "scriptedParties.h"

#include "paymentVectors.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace {
std::string Hex(const byteVec& bytes) {
    std::ostringstream out;
    for (std::uint8_t b : bytes) {
        out << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(b);
    }
    return out.str();
}

byteVec SealWith(const SymKey& key, const byteVec& plain) {
    byteVec sealed(static_cast<std::size_t>(SymKey::SealedLength(static_cast<int>(plain.size()))));
    sealed.resize(static_cast<std::size_t>(
        key.EncryptMessage(plain.data(), sealed.data(), static_cast<int>(plain.size()))));
    return sealed;
}

const byteVec& ConsumerKeyText() {
    static const byteVec text = paymentVectors::Text("consumer_key_text");
    return text;
}

byteVec Signed(const PrivateRsaKey& key, const byteVec& text) {
    byteVec signature(64);
    key.Sign(text.data(), signature.data(), 53);
    return signature;
}
} // namespace

byteVec VectorWire(const std::string& conversation, const std::string& name) {
    for (const auto& frame : paymentVectors::Data()[conversation]) {
        if (frame["name"] == name) {
            return paymentVectors::FromHex(frame["frame_hex"].get<std::string>());
        }
    }
    throw std::invalid_argument("no vector frame " + name);
}

::testing::AssertionResult SameFrame(const std::optional<wireFrame>& got, const byteVec& expected) {
    if (!got) {
        return ::testing::AssertionFailure()
               << "no frame (connection ended or timed out); expected " << Hex(expected);
    }
    if (got->wire != expected) {
        return ::testing::AssertionFailure()
               << "frame " << Hex(got->wire) << "\n expected " << Hex(expected);
    }
    return ::testing::AssertionSuccess();
}

byteVec NumberBytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

scriptedConsumer::scriptedConsumer(unsigned int shopPort)
    : peer(scriptedPeer::Connect(shopPort)),
      key(ConsumerKeyText().data(), ConsumerKeyText().size()) {}

byteVec scriptedConsumer::CoinList() {
    return paymentVectors::FromHex(paymentVectors::Data()["coin_list_hex"].get<std::string>());
}

void scriptedConsumer::SendVector(const std::string& name) const {
    peer.SendRaw(VectorWire("consumer_conversation", name));
}

byteVec scriptedConsumer::Seal(const byteVec& plain) const {
    return SealWith(key, plain);
}

void scriptedConsumer::SendSealed(std::uint8_t type, std::uint8_t step,
                                  const byteVec& plain) const {
    peer.Send(type, step, Seal(plain));
}

::testing::AssertionResult scriptedConsumer::ReceivesVector(const std::string& name) const {
    return Receives(VectorWire("consumer_conversation", name));
}

::testing::AssertionResult scriptedConsumer::Receives(const byteVec& wire) const {
    return SameFrame(peer.Receive(), wire);
}

::testing::AssertionResult scriptedConsumer::KeyExchange() const {
    SendVector("ConsumerKeyOffer");
    if (auto r = ReceivesVector("ShopSignature"); !r) {
        return r << " (ShopSignature)";
    }
    if (auto r = ReceivesVector("KeyCheck"); !r) {
        return r << " (KeyCheck)";
    }
    SendVector("KeyCheckReply");
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedConsumer::PayCoins() const {
    SendVector("CoinList");
    if (auto r = ReceivesVector("CoinReceipt"); !r) {
        return r << " (CoinReceipt)";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedConsumer::Finish() const {
    if (auto r = ReceivesVector("PaymentConfirmation"); !r) {
        return r << " (PaymentConfirmation)";
    }
    SendVector("FinalReply");
    if (auto r = ReceivesVector("CloseNotice"); !r) {
        return r << " (CloseNotice)";
    }
    if (!peer.PeerClosed()) {
        return ::testing::AssertionFailure() << "the shop did not close the consumer connection";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedBank::TakeKeyOffer() {
    peer.emplace(listener.Accept());
    if (!peer->Connected()) {
        return ::testing::AssertionFailure() << "the shop did not connect to the bank";
    }
    const std::optional<wireFrame> offer = peer->Receive();
    if (!offer || offer->type != 1 || offer->step != 0 || offer->data.size() != 64) {
        return ::testing::AssertionFailure() << "no BankKeyOffer of 64 bytes";
    }
    keyText.assign(53, 0);
    const int length = paymentVectors::BankKey().Decrypt(offer->data.data(), keyText.data());
    if (length != 53 || !std::all_of(keyText.begin(), keyText.end(),
                                     [](std::uint8_t c) { return c >= 32 && c <= 126; })) {
        return ::testing::AssertionFailure()
               << "the key offer decrypts to " << length << " bytes: " << Hex(keyText);
    }
    key = std::make_unique<SymKey>(keyText.data(), keyText.size());
    return ::testing::AssertionSuccess();
}

byteVec scriptedBank::Seal(const byteVec& plain) const {
    return SealWith(*key, plain);
}

bool scriptedBank::Send(std::uint8_t type, std::uint8_t step, const byteVec& data) const {
    return peer->Send(type, step, data);
}

void scriptedBank::SendSealed(std::uint8_t type, std::uint8_t step, const byteVec& plain) const {
    peer->Send(type, step, Seal(plain));
}

::testing::AssertionResult scriptedBank::ReceivesSealed(std::uint8_t type, std::uint8_t step,
                                                        const byteVec& plain) const {
    return SameFrame(peer->Receive(), FrameOf(type, step, Seal(plain)));
}

void scriptedBank::SendSignature(const byteVec& text) const {
    SendSealed(2, 1, Signed(paymentVectors::BankKey(), text.empty() ? keyText : text));
}

::testing::AssertionResult scriptedBank::Identify(std::int32_t amount,
                                                  const byteVec& signedText) const {
    byteVec identity = Signed(paymentVectors::ShopKey(), signedText.empty() ? keyText : signedText);
    const byteVec id = paymentVectors::FromHex(paymentVectors::Data()["shop_id_hex"]);
    identity.insert(identity.end(), id.begin(), id.end());
    if (auto r = ReceivesSealed(4, 0, identity); !r) {
        return r << " (ShopIdentity)";
    }
    if (auto r = ReceivesSealed(8, 1, NumberBytes(static_cast<std::uint32_t>(amount))); !r) {
        return r << " (AmountNotice)";
    }
    SendSealed(2, 2, id); // IdentityReceipt
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedBank::TakeCoins(const byteVec& coinList) const {
    SendSealed(2, 4, {'c', 'o', 'i', 'n', 's', '?'}); // CoinRequest
    if (auto r = ReceivesSealed(16, 1, coinList); !r) {
        return r << " (CoinList)";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedBank::Confirm(std::uint32_t value) const {
    SendSealed(2, 8, {'r', 'e', 'c', 'e', 'i', 'p', 't'}); // BankReceipt
    byteVec confirmation = NumberBytes(value);
    confirmation.push_back('!'); // bytes after the value are not echoed
    SendSealed(16, 4, confirmation);
    if (auto r = ReceivesSealed(2, 8, NumberBytes(value)); !r) {
        return r << " (ConfirmationReply)";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedBank::Close() const {
    Send(64, 0, {0, 0});
    if (!peer->PeerClosed()) {
        return ::testing::AssertionFailure() << "the shop did not close the bank connection";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult scriptedBank::Accept(std::int32_t amount,
                                                const byteVec& coinList) const {
    SendSignature();
    if (auto r = Identify(amount); !r) {
        return r;
    }
    if (auto r = TakeCoins(coinList); !r) {
        return r;
    }
    if (auto r = Confirm(); !r) {
        return r;
    }
    return Close();
}
