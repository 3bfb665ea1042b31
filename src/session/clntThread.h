#pragma once

#include "crypto/lcRng.h"
#include "platform/msgThread.h"
#include "session/bankState.h"
#include "session/consumerState.h"
#include "session/msgCatalog.h"
#include "wire/clntSocket.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CKestraneDoc;
class drawSurface;
class mssgPacket;

// The thread that serves one consumer connection, from the consumer's key
// offer to the end of its payment: the consumer-side conversation, and the
// bank connection that has the coins accepted. Driven only by its thread
// messages (TM_CONSUMER_DATA, TM_BANK_DATA, and TM_END_SESSION,
// TM_PAYMENT_CONFIRMED, TM_SEND_AMOUNT that it posts to itself).
//
// The spawner sets consumerSocket's owner, accepts the connection into it,
// sets `doc` and `drawingContext`, arms the socket and only then starts the
// thread. When the session ends both connections are closed and released
// with it.
//
// Whatever ends the consumer's side, a bank conversation under way is
// finished and its outcome logged before the session ends, so that no
// payment the bank has accepted goes unrecorded.
class clntThread : public msgThread {
public:
    clntThread();
    ~clntThread() override;

    CKestraneDoc* doc = nullptr;                // set by the spawner; not owned
    std::unique_ptr<clntSocket> bankSocket;     // while a bank conversation is open
    std::unique_ptr<clntSocket> consumerSocket; // made by the constructor
    drawSurface* drawingContext = nullptr;      // set by the spawner; not owned
    consumerState consumerSide;
    bankState bankSide;
    std::unique_ptr<lcRng> generator; // key texts of the bank connection

protected:
    void ExitInstance() override;
    void OnMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    // Thread messages.
    void OnConsumerData();
    void OnBankData();
    void OnEndSession();
    void OnPaymentConfirmed();
    void OnSendAmount();

    // Consumer side.
    void ConsumerStep(const mssgPacket& packet);
    bool HandleKeyOffer(const mssgPacket& packet);
    bool HandleReceipt(const mssgPacket& packet);
    bool HandleCoins(const mssgPacket& packet);
    void ConsumerLeaves();
    void ConsumerGone();

    // Bank side.
    bool ConnectToBank(const std::string& address, std::int32_t port);
    void BankStep(const mssgPacket& packet);
    bool HandleBankSignature(const mssgPacket& packet);
    bool HandleIdentityReceipt(const mssgPacket& packet);
    bool HandleCoinRequest();
    bool HandleBankConfirmation(const mssgPacket& packet);
    void BankFailed();
    void DropBank();

    // Shared.
    void SendErrorAndClose(std::uint8_t step, const std::uint8_t* text, int length);
    void SendErrorAndClose(const msgCatalog::errorField& field);
    void SendSealed(clntSocket& socket, std::uint8_t type, std::uint8_t step,
                    const std::uint8_t* plain, int length);
    void SendPlain(clntSocket& socket, std::uint8_t type, std::uint8_t step,
                   const std::uint8_t* bytes, int length);
    // Opens the packet's data with the socket's key into `opened`; returns
    // the plaintext length, 0 when it does not open.
    int Open(const clntSocket& socket, const mssgPacket& packet);
    void Report(const std::string& text);
    void LogOutcome(const char* outcome);
    void EndSession();
    void SeedGenerator();
    void MakeKeyText(std::uint8_t* buffer, int n);

    std::array<std::uint8_t, msgCatalog::KEY_TEXT_LENGTH> bankKeyText{};
    std::vector<std::uint8_t> coinList; // the opened coin list: the payload of both sides
    std::vector<std::uint8_t> opened;   // scratch: the last message opened
    std::vector<std::uint8_t> sealed;   // scratch: the last message sealed
    bool consumerDone = false;          // nothing more is read from or sent to the consumer
    bool ending = false;                // TM_END_SESSION is posted
};
