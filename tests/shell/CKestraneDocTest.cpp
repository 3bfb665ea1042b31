#include "shell/CKestraneDoc.h"

#include "paymentVectors.h"
#include "platform/msgThread.h"
#include "probeThread.h"
#include "rawSocket.h"
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
    tempFolder folder;
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

} // namespace
