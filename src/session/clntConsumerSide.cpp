// The consumer side of a session: key agreement, key check, coin list, and
// the final reply.

#include "crypto/SymKey.h"
#include "session/clntThread.h"
#include "shell/CKestraneDoc.h"
#include "wire/mssgPacket.h"

void clntThread::ConsumerStep(const mssgPacket& packet) {
    const std::uint8_t type = packet.GetType();
    const std::uint8_t step = packet.GetStep();
    switch (consumerSide.GetState()) {
    case CS_AWAIT_KEY:
        if (type == PKT_KEY && step == 0 && HandleKeyOffer(packet)) { // ConsumerKeyOffer
            consumerSide.SetState(CS_AWAIT_COINS);
        }
        break;
    case CS_AWAIT_COINS:
        if (type == PKT_REPLY && step == 8) { // KeyCheckReply
            HandleReceipt(packet);
        } else if (type == PKT_DATA && step == 1) { // CoinList
            if (HandleCoins(packet)) {
                consumerSide.SetState(CS_AWAIT_FINAL);
            }
        } else if (type == PKT_DATA && step == 8) { // LeaveNotice
            ConsumerLeaves();
        }
        break;
    case CS_AWAIT_FINAL:
        if (type == PKT_REPLY && step == 8) { // FinalReply
            HandleReceipt(packet);
        }
        break;
    default:
        break;
    }
}

bool clntThread::HandleKeyOffer(const mssgPacket& packet) {
    Report("Consumer connect request.");
    if (packet.GetLength() < msgCatalog::RSA_BLOCK_LENGTH) {
        SendErrorAndClose(msgCatalog::BAD_KEY_OFFER);
        return false;
    }
    // A text shorter than 53 bytes, or none when the block does not decrypt,
    // is followed by zero bytes: those are keyed and signed with it.
    std::uint8_t keyText[msgCatalog::KEY_TEXT_LENGTH] = {};
    doc->shopKey->Decrypt(packet.GetData(), keyText);
    consumerSocket->symKey = new SymKey(keyText, sizeof keyText);

    std::uint8_t signature[msgCatalog::RSA_BLOCK_LENGTH];
    doc->shopKey->Sign(keyText, signature, msgCatalog::KEY_TEXT_LENGTH);
    SendSealed(*consumerSocket, PKT_REPLY, 1, signature, sizeof signature); // ShopSignature

    std::uint8_t check[msgCatalog::NUMBER_LENGTH];
    msgCatalog::PutNumber(check, msgCatalog::KEY_CHECK_VALUE);
    SendSealed(*consumerSocket, PKT_DATA, 2, check, sizeof check); // KeyCheck
    return true;
}

// A reply with step 8 is the key check before the coin list, and the final
// reply after it.
bool clntThread::HandleReceipt(const mssgPacket& packet) {
    if (consumerSide.GetState() == CS_AWAIT_COINS) {
        const int length = Open(*consumerSocket, packet);
        if (length >= msgCatalog::NUMBER_LENGTH &&
            msgCatalog::GetNumber(opened.data()) == msgCatalog::KEY_CHECK_VALUE) {
            return true;
        }
        SendErrorAndClose(msgCatalog::KEYS_DIFFER);
        return false;
    }
    ConsumerLeaves(); // the final reply's content is not used
    return true;
}

bool clntThread::HandleCoins(const mssgPacket& packet) {
    // The list is opened into the buffer that both sides then refer to.
    const int sealedLength = packet.GetLength();
    int length = 0;
    if (sealedLength > 0) {
        coinList.resize(static_cast<std::size_t>(sealedLength));
        length =
            consumerSocket->symKey->DecryptMessage(packet.GetData(), coinList.data(), sealedLength);
    }
    const std::optional<msgCatalog::coinTotal> total =
        msgCatalog::ReadCoinList(coinList.data(), length);
    if (!total) {
        SendErrorAndClose(msgCatalog::BAD_COIN_LIST);
        return false;
    }
    consumerSide.payload = coinList.data();
    consumerSide.payloadLength = length;
    consumerSide.count = total->count;
    consumerSide.amount = total->amount;
    bankSide.CopyFrom(consumerSide);

    // CoinReceipt: the count as the consumer sent it.
    SendSealed(*consumerSocket, PKT_REPLY, 8, coinList.data(), msgCatalog::NUMBER_LENGTH);
    if (!ConnectToBank(doc->bankAddress, doc->bankPort)) {
        SendErrorAndClose(msgCatalog::BANK_DOWN);
        return false;
    }
    return true;
}

// The consumer says goodbye (leave notice or final reply): it is answered at
// once, and the session ends as soon as no bank conversation is open.
void clntThread::ConsumerLeaves() {
    Report("Consumer disconnected.");
    SendPlain(*consumerSocket, PKT_CLOSE, 0, msgCatalog::CLOSE_NOTICE.data(),
              msgCatalog::CLOSE_NOTICE_LENGTH);
    consumerDone = true;
    if (!bankSocket) {
        EndSession();
    }
}

// The consumer's connection closed or failed, or carried a frame that could
// not be read: nothing more can be read from it.
void clntThread::ConsumerGone() {
    consumerDone = true;
    if (consumerSide.GetState() != CS_AWAIT_KEY) {
        Report("Consumer disconnected.");
    }
    if (!bankSocket) {
        EndSession();
    }
}
