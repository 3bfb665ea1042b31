#include "shell/CKestraneDoc.h"

#include "crypto/RSARecord.h"
#include "platform/msgOperator.h"
#include "session/clntThread.h"
#include "shell/addrFile.h"
#include "shell/lstnSocket.h"
#include "shell/startError.h"

#include <fstream>

namespace {
constexpr const char* SHOP_KEY_FILE = "kestpv.rsa";
constexpr const char* BANK_KEY_FILE = "bankpub.rsa";
constexpr const char* BANK_ADDRESS_FILE = "ipaddr.bnk";
constexpr const char* SHOP_ADDRESS_FILE = "ipaddr.kst";
constexpr int BANK_KEY_RECORDS = 1 + CKestraneDoc::COIN_KEYS;

std::ifstream OpenKeyFile(const std::filesystem::path& folder, const char* name) {
    std::ifstream in(folder / name, std::ios::binary);
    if (!in) {
        throw startError(std::string("Could not open ") + name);
    }
    return in;
}

// Loads the next record of a key file; `index` (from 1) names it in the
// message when the file holds several.
void LoadRecord(RSARecord& record, std::istream& in, const char* name, int index) {
    if (!record.Load(in)) {
        std::string text = std::string("Could not read ") + name + ": ";
        text += index == 0 ? "the key record" : "key record " + std::to_string(index);
        throw startError(text + " is cut short or longer than " +
                         std::to_string(RSARecord::CAPACITY) + " bytes");
    }
}

// Builds a key of type Key from the record, turning a decoding failure into a
// start-up message that names the file.
template <typename Key>
std::unique_ptr<Key> DecodeKey(RSARecord& record, const char* name, int index) {
    try {
        return std::make_unique<Key>(record);
    } catch (const CryptoPP::Exception& e) {
        std::string text = std::string("Could not read ") + name + ": " + e.what();
        if (index != 0) {
            text += " in key record " + std::to_string(index);
        }
        throw startError(text);
    }
}

addrFile ReadAddressFile(const std::filesystem::path& folder, const char* name) {
    std::optional<addrFile> file = addrFile::Load(folder / name);
    if (!file) {
        throw startError(std::string("Could not open ") + name);
    }
    return *file;
}
} // namespace

CKestraneDoc::CKestraneDoc(const std::filesystem::path& folder) : log(folder) {
    LoadKeys(folder);
    LoadAddresses(folder);
}

CKestraneDoc::~CKestraneDoc() {
    StopServing();
}

std::unique_ptr<CKestraneDoc> CKestraneDoc::Open(const std::filesystem::path& folder) {
    try {
        return std::make_unique<CKestraneDoc>(folder);
    } catch (const startError& e) {
        Operator().ShowMessage(e.what());
    }
    return nullptr;
}

// One record buffer serves every key; each Load replaces what the previous
// key left in it.
void CKestraneDoc::LoadKeys(const std::filesystem::path& folder) {
    RSARecord record;
    {
        std::ifstream in = OpenKeyFile(folder, SHOP_KEY_FILE);
        LoadRecord(record, in, SHOP_KEY_FILE, 0);
        CryptoPP::byte id[4];
        if (record.Get(id, sizeof id) != sizeof id) {
            throw startError(std::string("Could not read ") + SHOP_KEY_FILE +
                             ": the key record is too short for the shop identifier");
        }
        shopId = static_cast<std::uint32_t>(id[0]) | static_cast<std::uint32_t>(id[1]) << 8 |
                 static_cast<std::uint32_t>(id[2]) << 16 | static_cast<std::uint32_t>(id[3]) << 24;
        shopKey = DecodeKey<PrivateRsaKey>(record, SHOP_KEY_FILE, 0);
    }
    std::ifstream in = OpenKeyFile(folder, BANK_KEY_FILE);
    for (int index = 1; index <= BANK_KEY_RECORDS; ++index) {
        LoadRecord(record, in, BANK_KEY_FILE, index);
        std::unique_ptr<PublicRsaKey> key = DecodeKey<PublicRsaKey>(record, BANK_KEY_FILE, index);
        if (index == 1) {
            bankKey = std::move(key);
        } else {
            coinKeys[index - 2] = std::move(key);
        }
    }
}

void CKestraneDoc::LoadAddresses(const std::filesystem::path& folder) {
    const addrFile bank = ReadAddressFile(folder, BANK_ADDRESS_FILE);
    bankAddress = bank.Address();
    bankPort = bank.Port();
    // The shop's own address field is not used: the listener takes every
    // local address.
    listenPort = ReadAddressFile(folder, SHOP_ADDRESS_FILE).Port();
}

bool CKestraneDoc::OnNewDocument(std::string* why) {
    if (listenSocket) {
        return true; // already listening: keep that listener
    }
    auto listener = std::make_unique<lstnSocket>(*this, listenThread);
    std::error_code failure;
    if (!listener->Listen(static_cast<unsigned int>(listenPort), LISTEN_BACKLOG, &failure)) {
        if (why != nullptr) {
            *why = "Could not listen on port " +
                   std::to_string(static_cast<std::uint16_t>(listenPort)) + ": " +
                   failure.message();
        }
        return false;
    }
    boundPort = listener->LocalPort();
    listenSocket = std::move(listener);
    listenRunner = std::thread([this] { listenThread.Run(); });
    return true;
}

void CKestraneDoc::AcceptConsumer() {
    auto* session = new clntThread;
    session->consumerSocket->owner = session;
    if (!listenSocket->Accept(*session->consumerSocket)) {
        delete session; // never started: nothing else refers to it
        return;
    }
    session->doc = this;
    session->drawingContext = surface;
    session->consumerSocket->ArmReceive();
    if (!session->Start()) {
        delete session; // the process is stopping, or no thread could be made
    }
}

void CKestraneDoc::ReportActivity(drawSurface* drawingContext, const std::string& text) {
    activityLines.AddLine(drawingContext, text);
}

void CKestraneDoc::StopServing() {
    if (listenRunner.joinable()) {
        msgThread::StopAll(); // the listener's loop and every session
        listenRunner.join();
        listenSocket.reset(); // its loop has ended: no accept is under way
        msgThread::WaitAll();
        boundPort = 0;
    }
    listenSocket.reset();
}
