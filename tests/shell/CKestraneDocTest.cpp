#include "shell/CKestraneDoc.h"

#include "paymentVectors.h"
#include "platform/msgThread.h"
#include "probeThread.h"
#include "scriptedPeer.h"
#include "shell/logReader.h"
#include "shell/lstnSocket.h"
#include "shell/startError.h"
#include "shellTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string VectorFile(const char* field) {
    const paymentVectors::bytes b =
        paymentVectors::FromHex(paymentVectors::Data()[field].get<std::string>());
    return std::string(b.begin(), b.end());
}

// A working folder with the four start-up files of the payment vectors.
class docFolder : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(folder.path / "kestpv.rsa", VectorFile("kestpv_rsa_hex"));
        WriteBytes(folder.path / "bankpub.rsa", VectorFile("bankpub_rsa_hex"));
        WriteBytes(folder.path / "ipaddr.bnk", "\n  bank.example\r\n70001 \n");
        WriteBytes(folder.path / "ipaddr.kst", "ignored\n0\n");
    }
    scratchFolder folder;
};

TEST_F(docFolder, ReadsKeysIdentifierAddressesAndPorts) {
    const CKestraneDoc doc(folder.path);
    EXPECT_EQ(doc.shopId, 42u);
    EXPECT_EQ(doc.shopKey->Modulus(), paymentVectors::ShopKey().Modulus());
    EXPECT_EQ(doc.bankKey->Modulus(), paymentVectors::BankKey().Modulus());
    for (int d = 0; d < CKestraneDoc::COIN_KEYS; ++d) {
        EXPECT_EQ(doc.coinKeys[d]->Modulus(), paymentVectors::CoinKey(d).Modulus()) << d;
    }
    EXPECT_EQ(doc.bankAddress, "bank.example");
    EXPECT_EQ(doc.bankPort, 70001);
    EXPECT_EQ(doc.listenPort, 0);
    EXPECT_EQ(doc.listenSocket, nullptr);
}

TEST_F(docFolder, AFailedStartIsAMessageNotACrash) {
    recordingOperator shown;
    WriteBytes(folder.path / "bankpub.rsa", VectorFile("bankpub_rsa_hex").substr(0, 90));
    EXPECT_EQ(CKestraneDoc::Open(folder.path), nullptr);
    std::filesystem::remove(folder.path / "kestpv.rsa");
    EXPECT_THROW(CKestraneDoc{folder.path}, startError);
    EXPECT_EQ(shown.Messages(),
              std::vector<std::string>{"Could not read bankpub.rsa: key record 2 is cut short or "
                                       "longer than 1024 bytes"});
}

TEST_F(docFolder, RecordsAndActivityLinesGoThroughTheDocument) {
    CKestraneDoc doc(folder.path);
    ASSERT_TRUE(doc.log.Write("P S 6\n"));
    const auto entries = logReader::ReadFile(folder.path / "log.kst");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front().text, "P S 6\n");

    struct seen : drawSurface {
        void LineAdded(const std::string& newest) override { lines.push_back(newest); }
        std::vector<std::string> lines;
    } surface;
    doc.ReportActivity(&surface, "Consumer connect request.");
    EXPECT_EQ(surface.lines, std::vector<std::string>{"Consumer connect request."});
    EXPECT_EQ(doc.activityLines.Lines(), surface.lines);
}

TEST_F(docFolder, AListenerThatCannotOpenSaysWhyAndKeepsNothing) {
    CKestraneDoc holder(folder.path);
    ASSERT_TRUE(holder.OnNewDocument());
    WriteBytes(folder.path / "ipaddr.kst", "x\n" + std::to_string(holder.ListeningPort()) + "\n");
    CKestraneDoc doc(folder.path);
    std::string why;
    EXPECT_FALSE(doc.OnNewDocument(&why));
    EXPECT_EQ(why, "Could not listen on port " + std::to_string(holder.ListeningPort()) +
                       ": Address already in use");
    EXPECT_EQ(doc.listenSocket, nullptr);
    EXPECT_EQ(doc.ListeningPort(), 0u);
}

// The first frames of the vectors' payment: a consumer's key offer and the
// shop's signature that answers it.
std::vector<std::uint8_t> VectorWire(int index) {
    return paymentVectors::FromHex(
        paymentVectors::Data()["consumer_conversation"][index]["frame_hex"].get<std::string>());
}
const std::vector<std::uint8_t> KEY_OFFER = VectorWire(0);
const std::vector<std::uint8_t> SHOP_SIGNATURE = VectorWire(1);

TEST_F(docFolder, TheNewCommandKeepsTheOpenListener) {
    CKestraneDoc doc(folder.path);
    ASSERT_TRUE(doc.OnNewDocument());
    const lstnSocket* first = doc.listenSocket.get();
    const unsigned int port = doc.ListeningPort();
    ASSERT_NE(port, 0u);
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.listenSocket.get(), first);
    EXPECT_EQ(doc.ListeningPort(), port);

    // Still accepting: a consumer gets a session that answers it.
    scriptedPeer consumer = scriptedPeer::Connect(port);
    consumer.SendRaw(KEY_OFFER);
    EXPECT_EQ(consumer.ReadExact(SHOP_SIGNATURE.size()), SHOP_SIGNATURE);
    doc.StopServing();
    EXPECT_EQ(doc.ListeningPort(), 0u);
    // The session is gone with the listener: its connection ends (the key
    // check may or may not have been sent before the stop).
    EXPECT_LE(consumer.ReadToEnd().size(), VectorWire(2).size());
}

TEST_F(docFolder, AConnectionResetBeforeItIsAcceptedLeavesNoSessionAndTheNextIsServed) {
    CKestraneDoc doc(folder.path);
    probeThread listenThread; // held back until both connections wait
    doc.listenSocket = std::make_unique<lstnSocket>(doc, listenThread);
    ASSERT_TRUE(doc.listenSocket->Listen(0, CKestraneDoc::LISTEN_BACKLOG));
    const unsigned int port = doc.listenSocket->LocalPort();

    scriptedPeer gone = scriptedPeer::Connect(port);
    const std::uint16_t gonePort = gone.LocalPort();
    gone.Reset();
    WaitUntilGone(gonePort, static_cast<std::uint16_t>(port));
    scriptedPeer next = scriptedPeer::Connect(port);
    {
        loopRunner listening(listenThread);
        next.SendRaw(KEY_OFFER);
        EXPECT_EQ(next.ReadExact(SHOP_SIGNATURE.size()), SHOP_SIGNATURE);
    }
    doc.listenSocket.reset();
    msgThread::StopAll();
    msgThread::WaitAll();
    EXPECT_EQ(doc.activityLines.Lines(), std::vector<std::string>{"Consumer connect request."});
}

} // namespace
