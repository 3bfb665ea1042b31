// The bank side of a session: the shop as the bank's client, from its key
// offer to the bank's close or error.

#include "crypto/SymKey.h"
#include "session/clntThread.h"
#include "shell/CKestraneDoc.h"
#include "wire/mssgPacket.h"
#include "wire/threadMessages.h"

#include <algorithm>

namespace {
// Two key texts give the same DES key when their first 8 bytes agree in all
// but the low bit of each byte.
bool SameDesKey(const std::uint8_t* a, const std::uint8_t* b) {
    return std::equal(a, a + SymKey::KEY_SIZE, b,
                      [](std::uint8_t x, std::uint8_t y) { return (x ^ y) <= 1; });
}
} // namespace

bool clntThread::ConnectToBank(const std::string& address, std::int32_t port) {
    bankSocket = std::make_unique<clntSocket>(*this, BANK_SOCKET_ID);
    if (!bankSocket->Connect(address, static_cast<unsigned int>(port))) {
        bankSocket.reset();
        return false;
    }
    bankSocket->owner = this;
    MakeKeyText(bankKeyText.data(), msgCatalog::KEY_TEXT_LENGTH);
    bankSocket->symKey = new SymKey(bankKeyText.data(), bankKeyText.size());

    std::uint8_t offer[msgCatalog::RSA_BLOCK_LENGTH];
    doc->bankKey->Encrypt(bankKeyText.data(), offer, msgCatalog::KEY_TEXT_LENGTH);
    SendPlain(*bankSocket, PKT_KEY, 0, offer, sizeof offer); // BankKeyOffer
    bankSocket->ArmReceive();
    return true;
}

void clntThread::BankStep(const mssgPacket& packet) {
    const std::uint8_t type = packet.GetType();
    const std::uint8_t step = packet.GetStep();
    if (type == PKT_ERROR) { // BankError, in any state: passed on as it came
        SendErrorAndClose(step, packet.GetData(), packet.GetLength());
        LogOutcome("P F");
        DropBank();
        return;
    }
    switch (bankSide.GetState()) {
    case BS_AWAIT_KEY_REPLY:
        if (type == PKT_REPLY && step == 1 && HandleBankSignature(packet)) {
            bankSide.SetState(BS_AWAIT_IDENT_REPLY);
        }
        break;
    case BS_AWAIT_IDENT_REPLY:
        if (type == PKT_REPLY && step == 2 && HandleIdentityReceipt(packet)) {
            bankSide.SetState(BS_AWAIT_AMOUNT_REPLY);
        }
        break;
    case BS_AWAIT_AMOUNT_REPLY:
        if (type == PKT_REPLY && step == 4 && HandleCoinRequest()) {
            bankSide.SetState(BS_AWAIT_CONFIRMATION);
        }
        break;
    case BS_AWAIT_CONFIRMATION:
        // A BankReceipt (PKT_REPLY, step 8) changes nothing.
        if (type == PKT_DATA && step == 4 && HandleBankConfirmation(packet)) {
            bankSide.SetState(BS_AWAIT_CLOSE);
        }
        break;
    case BS_AWAIT_CLOSE:
        if (type == PKT_CLOSE && step == 0) { // BankClose: the payment has succeeded
            PostThreadMessage(TM_PAYMENT_CONFIRMED, 0, 0);
            LogOutcome("P S");
            DropBank();
        }
        break;
    default:
        break;
    }
}

bool clntThread::HandleBankSignature(const mssgPacket& packet) {
    Report("Connected to bank.");
    // The key text as the bank signed it, followed by zero bytes.
    std::uint8_t signedText[msgCatalog::KEY_TEXT_LENGTH] = {};
    const int length = Open(*bankSocket, packet);
    const bool recovered = length >= msgCatalog::RSA_BLOCK_LENGTH &&
                           doc->bankKey->Recover(opened.data(), signedText) > 0;
    if (!recovered || !SameDesKey(signedText, bankKeyText.data())) {
        SendErrorAndClose(msgCatalog::BANK_DOWN);
        return false;
    }
    // ShopIdentity: the shop's signature over the text the bank returned,
    // then the shop's identifier.
    std::uint8_t identity[msgCatalog::RSA_BLOCK_LENGTH + msgCatalog::NUMBER_LENGTH];
    doc->shopKey->Sign(signedText, identity, msgCatalog::KEY_TEXT_LENGTH);
    msgCatalog::PutNumber(identity + msgCatalog::RSA_BLOCK_LENGTH, doc->shopId);
    SendSealed(*bankSocket, PKT_IDENT, 0, identity, sizeof identity);
    PostThreadMessage(TM_SEND_AMOUNT, 0, 0);
    return true;
}

bool clntThread::HandleIdentityReceipt(const mssgPacket& packet) {
    const int length = Open(*bankSocket, packet);
    if (length < msgCatalog::NUMBER_LENGTH || msgCatalog::GetNumber(opened.data()) != doc->shopId) {
        SendErrorAndClose(msgCatalog::BANK_DOWN);
        return false;
    }
    return true;
}

// The coin request's content is not used: the answer is the consumer's coin
// list, exactly as it was opened.
bool clntThread::HandleCoinRequest() {
    SendSealed(*bankSocket, PKT_DATA, 1, bankSide.payload, bankSide.payloadLength); // CoinList
    return true;
}

bool clntThread::HandleBankConfirmation(const mssgPacket& packet) {
    const int length = Open(*bankSocket, packet);
    if (length < msgCatalog::NUMBER_LENGTH) {
        BankFailed();
        return false;
    }
    // ConfirmationReply: the bank's value, unchanged.
    SendSealed(*bankSocket, PKT_REPLY, 8, opened.data(), msgCatalog::NUMBER_LENGTH);
    return true;
}

// The bank went away (closed, failed, or sent what cannot be read) before it
// closed or refused the payment: the payment has failed.
void clntThread::BankFailed() {
    SendErrorAndClose(msgCatalog::BANK_DOWN);
    LogOutcome("P F");
    DropBank();
}

void clntThread::DropBank() {
    Report("Disconnected from bank.");
    bankSocket.reset();
}
