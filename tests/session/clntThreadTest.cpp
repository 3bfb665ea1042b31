#include "session/clntThread.h"

#include "paymentVectors.h"
#include "platform/acptSocket.h"
#include "probeThread.h"
#include "scriptedPeer.h"
#include "shell/CKestraneDoc.h"
#include "wire/threadMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using bytes = std::vector<std::uint8_t>;

bytes Vector(const char* field) {
    return paymentVectors::FromHex(paymentVectors::Data()[field].get<std::string>());
}

bytes ConsumerWire(int index) {
    return paymentVectors::FromHex(
        paymentVectors::Data()["consumer_conversation"][index]["frame_hex"].get<std::string>());
}

// A document read from a folder holding the vectors' start-up files.
class vectorDocument {
public:
    vectorDocument() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        const auto write = [&](const char* name, const bytes& b) {
            std::ofstream(folder / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(b.data()), static_cast<long>(b.size()));
        };
        write("kestpv.rsa", Vector("kestpv_rsa_hex"));
        write("bankpub.rsa", Vector("bankpub_rsa_hex"));
        std::ofstream(folder / "ipaddr.bnk") << "127.0.0.1\n1\n";
        std::ofstream(folder / "ipaddr.kst") << "127.0.0.1\n0\n";
        doc = std::make_unique<CKestraneDoc>(folder);
    }
    ~vectorDocument() {
        doc.reset();
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    std::unique_ptr<CKestraneDoc> doc;
};

// A bank notification that finds no bank connection (one posted just before
// the connection was released) is ignored; the session goes on.
TEST(clntThreadTest, ABankNotificationWithoutABankConnectionIsIgnored) {
    vectorDocument world;
    probeThread listenThread;
    acptSocket listener(listenThread);
    ASSERT_TRUE(listener.Listen(0, 5));
    scriptedPeer consumer = scriptedPeer::Connect(listener.LocalPort());

    auto* session = new clntThread;
    session->consumerSocket->owner = session;
    bool accepted = false;
    {
        loopRunner running(listenThread);
        listenThread.Execute([&] { accepted = listener.Accept(*session->consumerSocket); });
    }
    ASSERT_TRUE(accepted);
    session->doc = world.doc.get();
    session->PostThreadMessage(TM_BANK_DATA, 0, 0);
    session->consumerSocket->ArmReceive();
    ASSERT_TRUE(session->Start());

    consumer.SendRaw(ConsumerWire(0)); // key offer
    const bytes signature = ConsumerWire(1);
    EXPECT_EQ(consumer.ReadExact(signature.size()), signature);
    msgThread::StopAll();
    msgThread::WaitAll();
    EXPECT_EQ(world.doc->activityLines.Lines(),
              std::vector<std::string>{"Consumer connect request."});
}

} // namespace
