#include "session/clntThread.h"

#include "crypto/SymKey.h"
#include "crypto/rndDraw.h"
#include "shell/CKestraneDoc.h"
#include "wire/mssgPacket.h"
#include "wire/threadMessages.h"

#include <sys/random.h>

#include <array>
#include <chrono>

namespace {
// The warm-up skips between 1 and 642 bytes of the generator.
constexpr unsigned int WARM_UP_BITS = 5131;

// An error text as one activity line: up to its first zero byte, as a C
// string reads it; bytes that are not printable ASCII (line ends included)
// are shown as \xHH so that the line stays one line.
std::string ActivityText(const std::uint8_t* text, int length) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string line;
    for (int i = 0; i < length && text[i] != 0; ++i) {
        const std::uint8_t c = text[i];
        if (c >= 32 && c <= 126) {
            line += static_cast<char>(c);
        } else {
            line += {'\\', 'x', HEX[c >> 4], HEX[c & 15]};
        }
    }
    return line;
}

// Two words from the system's random source, in one call (from the clock
// should it fail).
std::array<std::uint32_t, 2> RandomWords() {
    std::array<std::uint32_t, 2> words{};
    if (::getrandom(words.data(), sizeof words, 0) != static_cast<ssize_t>(sizeof words)) {
        const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        words = {static_cast<std::uint32_t>(now), static_cast<std::uint32_t>(now >> 32)};
    }
    return words;
}
} // namespace

clntThread::clntThread() : consumerSocket(std::make_unique<clntSocket>(*this, CONSUMER_SOCKET_ID)) {
    SeedGenerator();
}

clntThread::~clntThread() = default;

// The connections go with the session: the bank never waits on a session
// that has ended, and no notification reaches it afterwards.
void clntThread::ExitInstance() {
    bankSocket.reset();
    consumerSocket.reset();
}

void clntThread::OnMessage(unsigned int message, std::uintptr_t, std::intptr_t) {
    switch (message) {
    case TM_CONSUMER_DATA:
        OnConsumerData();
        break;
    case TM_END_SESSION:
        OnEndSession();
        break;
    case TM_BANK_DATA:
        OnBankData();
        break;
    case TM_PAYMENT_CONFIRMED:
        OnPaymentConfirmed();
        break;
    case TM_SEND_AMOUNT:
        OnSendAmount();
        break;
    default:
        break;
    }
}

void clntThread::OnConsumerData() {
    if (consumerDone || ending) {
        return;
    }
    mssgPacket packet;
    if (consumerSocket->ReceivePacket(&packet) != rcvResult::COMPLETE) {
        ConsumerGone();
        return;
    }
    const std::unique_ptr<const std::uint8_t[]> data(packet.GetData());
    ConsumerStep(packet);
}

// A notification may still be queued from a bank connection that is gone.
void clntThread::OnBankData() {
    if (!bankSocket || ending) {
        return;
    }
    mssgPacket packet;
    if (bankSocket->ReceivePacket(&packet) != rcvResult::COMPLETE) {
        BankFailed();
        return;
    }
    const std::unique_ptr<const std::uint8_t[]> data(packet.GetData());
    BankStep(packet);
}

void clntThread::OnEndSession() {
    bankSide.Reset();
    Quit();
}

void clntThread::OnPaymentConfirmed() {
    if (ending) {
        return;
    }
    if (consumerDone) {
        // The consumer has gone or said goodbye; the outcome is logged.
        bankSide.Reset();
        EndSession();
        return;
    }
    std::uint8_t amount[msgCatalog::NUMBER_LENGTH];
    msgCatalog::PutNumber(amount, static_cast<std::uint32_t>(bankSide.amount));
    SendSealed(*consumerSocket, PKT_DATA, 4, amount, sizeof amount); // PaymentConfirmation
    bankSide.Reset();
}

void clntThread::OnSendAmount() {
    if (!bankSocket || ending) {
        return;
    }
    std::uint8_t amount[msgCatalog::NUMBER_LENGTH];
    msgCatalog::PutNumber(amount, static_cast<std::uint32_t>(bankSide.amount));
    SendSealed(*bankSocket, PKT_AMOUNT, 1, amount, sizeof amount); // AmountNotice
}

void clntThread::SendErrorAndClose(std::uint8_t step, const std::uint8_t* text, int length) {
    Report(ActivityText(text, length));
    if (!consumerDone) {
        SendPlain(*consumerSocket, PKT_ERROR, step, text, length); // ErrorText
        Report("Consumer disconnected.");
        SendPlain(*consumerSocket, PKT_CLOSE, 0, msgCatalog::CLOSE_NOTICE.data(),
                  msgCatalog::CLOSE_NOTICE_LENGTH);
        consumerDone = true;
    }
    EndSession();
}

void clntThread::SendErrorAndClose(const msgCatalog::errorField& field) {
    const auto bytes = msgCatalog::FieldBytes(field);
    SendErrorAndClose(1, bytes.data(), field.size);
}

void clntThread::SendSealed(clntSocket& socket, std::uint8_t type, std::uint8_t step,
                            const std::uint8_t* plain, int length) {
    sealed.resize(static_cast<std::size_t>(SymKey::SealedLength(length)));
    const int size = socket.symKey->EncryptMessage(plain, sealed.data(), length);
    SendPlain(socket, type, step, sealed.data(), size);
}

void clntThread::SendPlain(clntSocket& socket, std::uint8_t type, std::uint8_t step,
                           const std::uint8_t* bytes, int length) {
    mssgPacket packet;
    packet.SetPacket(type, step, bytes, length);
    socket.SendPacket(&packet);
}

int clntThread::Open(const clntSocket& socket, const mssgPacket& packet) {
    const int length = packet.GetLength();
    if (length <= 0 || socket.symKey == nullptr) {
        return 0;
    }
    opened.resize(static_cast<std::size_t>(length));
    return socket.symKey->DecryptMessage(packet.GetData(), opened.data(), length);
}

void clntThread::Report(const std::string& text) {
    doc->ReportActivity(drawingContext, text);
}

void clntThread::LogOutcome(const char* outcome) {
    doc->log.Write(std::string(outcome) + ' ' + std::to_string(bankSide.amount) + '\n');
}

void clntThread::EndSession() {
    if (!ending) {
        ending = true;
        PostThreadMessage(TM_END_SESSION, 0, 0);
    }
}

// Seeded from the system's random source: sessions started in the same
// second must not share the key texts they offer the bank.
void clntThread::SeedGenerator() {
    const std::array<std::uint32_t, 2> random = RandomWords();
    const std::uint32_t seed = random[0] % 2147483646u + 1; // a state of the generator
    generator = std::make_unique<lcRng>(seed);
    rndDraw::Number(*generator, random[1] % WARM_UP_BITS);
}

void clntThread::MakeKeyText(std::uint8_t* buffer, int n) {
    for (int i = 0; i < n; ++i) {
        buffer[i] = static_cast<std::uint8_t>(rndDraw::Byte(*generator) % 95 + 32);
    }
}
