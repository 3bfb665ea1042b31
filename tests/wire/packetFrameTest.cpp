#include "wire/packetFrame.h"

#include "wire/mssgPacket.h"
#include "wire/packetCrc.h"

#include "allocProbe.h"
#include "common/fdStream.h"
#include "scopedRecorder.h"
#include "scriptedPeer.h"
#include "wireVectors.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Two connected ends: the framing works on `near`, the test plays the peer on
// `far`. Operator texts are recorded.
class packetFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    void TearDown() override {
        ::close(fds[0]);
        CloseFar();
    }

    int Near() const { return fds[0]; }
    void CloseFar() {
        if (fds[1] >= 0) {
            ::close(fds[1]);
            fds[1] = -1;
        }
    }
    void Write(const bytes& b) {
        ASSERT_EQ(fdStream(fds[1]).Send(b.data(), int(b.size())), int(b.size()));
    }
    bytes ReadFar(std::size_t count) {
        bytes b(count);
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::recv(fds[1], b.data() + got, count - got, 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        b.resize(got);
        return b;
    }
    static int Pending(int fd) {
        int n = -1;
        ::ioctl(fd, FIONREAD, &n);
        return n;
    }

    int fds[2] = {-1, -1};
    scopedRecorder recorder;
};

// The packet as received: the data followed by its two checksum bytes.
bytes Received(const mssgPacket& packet) {
    return bytes(packet.GetData(), packet.GetData() + packet.GetLength() + 2);
}

bytes Header(std::uint8_t type, std::uint32_t length) {
    bytes h{type,
            0,
            std::uint8_t(length),
            std::uint8_t(length >> 8),
            std::uint8_t(length >> 16),
            std::uint8_t(length >> 24),
            0,
            0};
    packetCrc().AppendCrc(h.data(), 6);
    return h;
}

TEST_F(packetFrameTest, SendsTheGivenFramesByteForByte) {
    for (const frameVector& v : FrameVectors()) {
        SCOPED_TRACE(v.name);
        mssgPacket packet;
        packet.SetPacket(v.type, v.step, v.data.data(), int(v.data.size()));
        fdStream stream(Near());
        packetFrame::Send(stream, packet);
        EXPECT_EQ(ReadFar(v.frame.size()), v.frame);
        EXPECT_EQ(Pending(fds[1]), 0);
    }
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(packetFrameTest, ReceivesTheGivenFramesIntoPacketsWithoutAMessage) {
    for (const frameVector& v : FrameVectors()) {
        SCOPED_TRACE(v.name);
        Write(v.frame);
        fdStream stream(Near());
        mssgPacket packet;
        ASSERT_EQ(packetFrame::Receive(stream, packet), rcvResult::COMPLETE);
        EXPECT_EQ(packet.GetType(), v.type);
        EXPECT_EQ(packet.GetStep(), v.step);
        EXPECT_EQ(packet.GetLength(), int(v.data.size()));
        EXPECT_EQ(packet.GetChecksum(), v.frame[6] | v.frame[7] << 8);
        bytes expected = v.data;
        expected.insert(expected.end(), v.frame.end() - 2, v.frame.end());
        EXPECT_EQ(Received(packet), expected);
        delete[] packet.GetData();
    }
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(packetFrameTest, AFrameArrivingOneByteAtATimeGivesTheSamePacket) {
    const frameVector v = FrameVectors().at(1);
    Write(v.frame);
    fdStream trickle(Near(), 1);
    mssgPacket packet;
    ASSERT_EQ(packetFrame::Receive(trickle, packet), rcvResult::COMPLETE);
    EXPECT_EQ(packet.GetType(), 1);
    EXPECT_EQ(packet.GetChecksum(), 0x7CDE);
    EXPECT_EQ(Received(packet), FromHex("616263 9DD6"));
    delete[] packet.GetData();
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(packetFrameTest, BackToBackFramesAreReadOneByEachCall) {
    const std::vector<frameVector> vectors = FrameVectors();
    bytes both = vectors[2].frame;
    both.insert(both.end(), vectors[3].frame.begin(), vectors[3].frame.end());
    Write(both);
    fdStream stream(Near());
    mssgPacket first;
    ASSERT_EQ(packetFrame::Receive(stream, first), rcvResult::COMPLETE);
    EXPECT_EQ(first.GetType(), 2);
    delete[] first.GetData();
    EXPECT_EQ(Pending(Near()), int(vectors[3].frame.size())) << "the second frame stays unread";
    mssgPacket second;
    ASSERT_EQ(packetFrame::Receive(stream, second), rcvResult::COMPLETE);
    EXPECT_EQ(second.GetType(), 64);
    EXPECT_EQ(Received(second), FromHex("0000 0000"));
    delete[] second.GetData();
}

TEST_F(packetFrameTest, ADamagedFrameIsShownAndStillDelivered) {
    const struct {
        int index; // into the 13-byte frame 01 00 03 00 00 00 DE 7C 61 62 63 9D D6
        const char* text;
    } cases[] = {
        {0, "header checksum invalid"}, {1, "header checksum invalid"},
        {7, "header checksum invalid"}, {8, "data checksum invalid"},
        {10, "data checksum invalid"},  {12, "data checksum invalid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        scopedRecorder seen;
        bytes frame = FrameVectors().at(1).frame;
        frame[c.index] ^= 0x20;
        Write(frame);
        fdStream stream(Near());
        mssgPacket packet;
        ASSERT_EQ(packetFrame::Receive(stream, packet), rcvResult::COMPLETE);
        EXPECT_EQ(seen.Texts(), std::vector<std::string>{c.text});
        bytes header(frame.begin(), frame.begin() + 8);
        EXPECT_EQ(packet.GetType(), header[0]);
        EXPECT_EQ(packet.GetStep(), header[1]);
        EXPECT_EQ(packet.GetChecksum(), header[6] | header[7] << 8);
        EXPECT_EQ(Received(packet), bytes(frame.begin() + 8, frame.end()));
        delete[] packet.GetData();
    }
}

TEST_F(packetFrameTest, AFrameThatCannotBeBuiltShowsSendPacketErrorAndSendsNothing) {
    const std::uint8_t abc[3] = {'a', 'b', 'c'};
    const struct {
        const std::uint8_t* data;
        std::int32_t length;
    } cases[] = {{abc, -1}, {nullptr, 3}, {abc, INT32_MIN}};
    fdStream stream(Near());
    for (const auto& c : cases) {
        mssgPacket packet;
        packet.SetKeyPacket(c.data, c.length);
        packetFrame::Send(stream, packet);
    }
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>(3, "SendPacket Error"));
    EXPECT_EQ(Pending(fds[1]), 0);
}

TEST_F(packetFrameTest, SendingLeavesThePacketUnchangedAndTwoSendsGiveTwoEqualFrames) {
    const frameVector v = FrameVectors().at(2);
    mssgPacket packet;
    packet.SetReplyPacket(1, v.data.data(), 3);
    fdStream stream(Near());
    packetFrame::Send(stream, packet);
    packetFrame::Send(stream, packet);
    EXPECT_EQ(packet.GetChecksum(), 13);
    EXPECT_EQ(packet.GetData(), v.data.data());
    bytes twice = v.frame;
    twice.insert(twice.end(), v.frame.begin(), v.frame.end());
    EXPECT_EQ(ReadFar(twice.size()), twice);
}

TEST_F(packetFrameTest, UnusableLengthsAreRefusedWithoutAllocatingOrWaiting) {
    const std::uint32_t lengths[] = {MAX_PACKET_LENGTH + 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    fdStream stream(Near());
    for (std::uint32_t length : lengths) {
        SCOPED_TRACE(length);
        scopedRecorder seen;
        Write(Header(16, length)); // and nothing more: the peer stays silent
        mssgPacket packet;
        ResetLargestAllocation();
        EXPECT_EQ(packetFrame::Receive(stream, packet), rcvResult::REFUSED);
        EXPECT_LT(LargestAllocation(), 4096u);
        EXPECT_EQ(packet.GetData(), nullptr);
        EXPECT_EQ(seen.Texts(), std::vector<std::string>{"ReceivePacket Error"});
    }
}

TEST_F(packetFrameTest, TheLargestAllowedLengthIsRead) {
    bytes frame = Header(16, MAX_PACKET_LENGTH);
    bytes data(MAX_PACKET_LENGTH + 2);
    for (std::size_t i = 0; i < MAX_PACKET_LENGTH; ++i) {
        data[i] = std::uint8_t(i * 7);
    }
    packetCrc().AppendCrc(data.data(), MAX_PACKET_LENGTH);
    frame.insert(frame.end(), data.begin(), data.end());
    std::thread writer([&] { Write(frame); });
    fdStream stream(Near());
    mssgPacket packet;
    const rcvResult result = packetFrame::Receive(stream, packet);
    writer.join();
    ASSERT_EQ(result, rcvResult::COMPLETE);
    EXPECT_EQ(packet.GetLength(), MAX_PACKET_LENGTH);
    EXPECT_EQ(Received(packet), data);
    EXPECT_TRUE(recorder.Texts().empty());
    delete[] packet.GetData();
}

TEST(packetFrameEndTest, APeerThatLeavesBeforeAWholeFrameEndsTheReceptionWithoutAPacket) {
    const bytes frame = FrameVectors().at(1).frame; // 13 bytes
    const struct {
        std::size_t sent;
        bool reset;
        rcvResult result;
        std::vector<std::string> texts;
    } cases[] = {
        {0, false, rcvResult::CLOSED, {}},
        {3, false, rcvResult::CLOSED, {}},
        {8, false, rcvResult::CLOSED, {}},
        {11, false, rcvResult::CLOSED, {}},
        {12, false, rcvResult::CLOSED, {}},
        {3, true, rcvResult::FAILED, {"ReceivePacket Error"}},
        {10, true, rcvResult::FAILED, {"ReceivePacket Error"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sent) + (c.reset ? " then reset" : " then close"));
        scopedRecorder seen;
        scriptedListener listener;
        scriptedPeer peer = scriptedPeer::Connect(listener.Port());
        scriptedPeer shop = listener.Accept();
        peer.SendRaw(bytes(frame.begin(), frame.begin() + long(c.sent)));
        if (c.reset) {
            peer.Reset();
        } else {
            peer.Close();
        }
        fdStream stream(shop.Descriptor());
        mssgPacket packet;
        EXPECT_EQ(packetFrame::Receive(stream, packet), c.result);
        EXPECT_EQ(packet.GetData(), nullptr);
        EXPECT_EQ(seen.Texts(), c.texts);
    }
}

} // namespace
