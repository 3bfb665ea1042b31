#include "wire/clntSocket.h"

#include "crypto/SymKey.h"
#include "wire/mssgPacket.h"
#include "wire/threadMessages.h"

#include "probeThread.h"
#include "scopedRecorder.h"
#include "scriptedPeer.h"
#include "wireVectors.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

// What the session thread read for one arrival message.
struct reading {
    rcvResult result;
    std::uint8_t type;
    bytes data;
    bool dataNull;
};

// A connection bound to a running session-like thread that answers each
// arrival message with one ReceivePacket, as the session does.
class clntSocketTest : public ::testing::Test {
protected:
    void Open(std::uint8_t id) {
        socket = std::make_unique<clntSocket>(session, id);
        ASSERT_TRUE(socket->Connect("127.0.0.1", listener.Port()));
        peer = listener.Accept();
        socket->owner = &session;
        session.hook = [this](unsigned int message) {
            if (message != TM_CONSUMER_DATA && message != TM_BANK_DATA) {
                return;
            }
            mssgPacket packet;
            const rcvResult result = socket->ReceivePacket(&packet);
            reading r{result, packet.GetType(), {}, packet.GetData() == nullptr};
            if (result == rcvResult::COMPLETE) {
                r.data.assign(packet.GetData(), packet.GetData() + packet.GetLength());
            }
            delete[] packet.GetData();
            readings.push_back(r);
        };
        running = std::make_unique<loopRunner>(session);
        socket->ArmReceive();
    }
    // What the session thread has read so far, copied on that thread.
    std::vector<reading> Readings() {
        std::vector<reading> copy;
        session.Execute([&] { copy = readings; });
        return copy;
    }
    void TearDown() override {
        running.reset();
        socket.reset();
    }

    scopedRecorder recorder;
    scriptedListener listener;
    probeThread session;
    std::unique_ptr<clntSocket> socket;
    scriptedPeer peer;
    std::unique_ptr<loopRunner> running;
    std::vector<reading> readings; // used on the session thread only
};

// Data arriving on a socket posts the message of the socket's id, parameters 0.
class clntSocketIdTest
    : public clntSocketTest,
      public ::testing::WithParamInterface<std::pair<std::uint8_t, unsigned int>> {};

TEST_P(clntSocketIdTest, ArrivalPostsTheMessageOfTheSocketIdToItsOwner) {
    Open(GetParam().first);
    peer.SendRaw(FrameVectors().at(1).frame);
    ASSERT_TRUE(session.WaitForCount(1));
    const auto messages = session.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, GetParam().second);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, 0);
    const std::vector<reading> got = Readings();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].result, rcvResult::COMPLETE);
    EXPECT_EQ(got[0].data, FromHex("616263"));
    EXPECT_TRUE(recorder.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(BankAndConsumer, clntSocketIdTest,
                         ::testing::Values(std::make_pair(BANK_SOCKET_ID, TM_BANK_DATA),
                                           std::make_pair(CONSUMER_SOCKET_ID, TM_CONSUMER_DATA)));

TEST_F(clntSocketTest, AnUnknownIdShowsTheTextAndPostsNothing) {
    Open(0);
    peer.SendRaw(FrameVectors().at(0).frame);
    ASSERT_TRUE(recorder.WaitForCount(1));
    session.Execute([] {});
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"Message from unknown host received"});
    EXPECT_TRUE(session.Messages().empty());
}

TEST_F(clntSocketTest, BackToBackFramesGiveOneMessageEachAndThePeerCloseALastOne) {
    Open(CONSUMER_SOCKET_ID);
    const std::vector<frameVector> vectors = FrameVectors();
    bytes both = vectors[2].frame;
    both.insert(both.end(), vectors[3].frame.begin(), vectors[3].frame.end());
    peer.SendRaw(both);
    ASSERT_TRUE(session.WaitForCount(2));
    std::vector<reading> got = Readings(); // a message for bytes already read would block here
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, 2);
    EXPECT_EQ(got[1].type, 64);

    peer.Close();
    ASSERT_TRUE(session.WaitForCount(3));
    got = Readings();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].result, rcvResult::CLOSED);
    EXPECT_TRUE(got[2].dataNull);
    EXPECT_TRUE(socket->HasEnded());
    EXPECT_EQ(session.Numbers(), std::vector<unsigned int>(3, TM_CONSUMER_DATA));
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(clntSocketTest, AFrameSplitAcrossArrivalsIsReadForOneMessage) {
    Open(BANK_SOCKET_ID);
    const bytes frame = FrameVectors().at(1).frame;
    peer.SendRaw(bytes(frame.begin(), frame.begin() + 5));
    peer.SendRaw(bytes(frame.begin() + 5, frame.end()));
    ASSERT_TRUE(session.WaitForCount(1));
    const std::vector<reading> got = Readings();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].result, rcvResult::COMPLETE);
    EXPECT_EQ(got[0].data, FromHex("616263"));
}

TEST_F(clntSocketTest, SendsFramesAndOwnsItsKey) {
    Open(CONSUMER_SOCKET_ID);
    const std::uint8_t keyText[53] = "a key text of fifty-three printable characters......";
    socket->symKey = new SymKey(keyText, sizeof(keyText)); // released with the socket
    session.Execute([&] {
        mssgPacket packet;
        packet.SetKeyPacket(nullptr, 0);
        socket->SendPacket(&packet);
    });
    EXPECT_EQ(peer.ReadExact(10), FrameVectors().at(0).frame);
}

} // namespace
