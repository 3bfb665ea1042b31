#include "platform/acptSocket.h"
#include "platform/strmSocket.h"

#include "probeThread.h"
#include "scriptedPeer.h"
#include "watchedSocket.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using bytes = std::vector<std::uint8_t>;

constexpr int BACKLOG = 5;

TEST(acptSocketTest, AcceptsIntoASocketOfAnotherThreadWhoseNotificationsArriveThere) {
    probeThread listenThread;
    probeThread sessionThread;
    acceptProbe listener(listenThread);
    watchedSocket target(sessionThread);
    listener.targets = {&target};
    ASSERT_TRUE(listener.Listen(0, BACKLOG));
    {
        loopRunner listening(listenThread);
        loopRunner serving(sessionThread);
        std::thread::id sessionId;
        sessionThread.Execute([&] { sessionId = std::this_thread::get_id(); });

        scriptedPeer peer = scriptedPeer::Connect(listener.LocalPort());
        peer.SendRaw({'h', 'i'});
        ASSERT_TRUE(listener.WaitForCount(1));
        EXPECT_EQ(listener.Results(), std::vector<bool>{true});
        ASSERT_TRUE(target.WaitForCount(1));
        EXPECT_EQ(target.Threads().front(), sessionId);

        bytes got;
        sessionThread.Execute([&] {
            std::uint8_t chunk[2];
            for (int n = 0; got.size() < 2 && (n = target.Receive(chunk, 2)) > 0;) {
                got.insert(got.end(), chunk, chunk + n);
            }
        });
        EXPECT_EQ(got, (bytes{'h', 'i'}));
    }
}

TEST(acptSocketTest, EveryWaitingConnectionIsNotified) {
    probeThread listenThread;
    probeThread dormant;
    acceptProbe listener(listenThread);
    strmSocket a(dormant), b(dormant), c(dormant);
    listener.targets = {&a, &b, &c};
    ASSERT_TRUE(listener.Listen(0, BACKLOG));
    // All three wait before the listener's thread looks at them.
    scriptedPeer one = scriptedPeer::Connect(listener.LocalPort());
    scriptedPeer two = scriptedPeer::Connect(listener.LocalPort());
    scriptedPeer three = scriptedPeer::Connect(listener.LocalPort());
    loopRunner listening(listenThread);
    ASSERT_TRUE(listener.WaitForCount(3));
    EXPECT_EQ(listener.Results(), (std::vector<bool>{true, true, true}));
}

TEST(acptSocketTest, AConnectionResetBeforeItIsAcceptedFailsAndTheNextIsServed) {
    probeThread listenThread;
    probeThread dormant;
    acceptProbe listener(listenThread);
    strmSocket first(dormant), second(dormant);
    listener.targets = {&first, &second};
    ASSERT_TRUE(listener.Listen(0, BACKLOG));

    scriptedPeer gone = scriptedPeer::Connect(listener.LocalPort());
    const std::uint16_t gonePort = gone.LocalPort();
    gone.Reset();
    WaitUntilGone(gonePort,
                  static_cast<std::uint16_t>(
                      listener.LocalPort())); // the reset has reached the waiting connection
    scriptedPeer next = scriptedPeer::Connect(listener.LocalPort());

    loopRunner listening(listenThread);
    ASSERT_TRUE(listener.WaitForCount(2));
    EXPECT_EQ(listener.Results(), (std::vector<bool>{false, true}));
    EXPECT_FALSE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());
    next.SendRaw({'x'});
    std::uint8_t byte = 0;
    EXPECT_EQ(second.Receive(&byte, 1), 1);
    EXPECT_EQ(byte, 'x');
}

TEST(acptSocketTest, ListenTakesThePortModulo65536AndRefusesAPortInUse) {
    probeThread dormant;
    acptSocket first(dormant);
    ASSERT_TRUE(first.Listen(0, BACKLOG));
    const unsigned int port = first.LocalPort();
    ASSERT_NE(port, 0u);

    acptSocket second(dormant);
    EXPECT_FALSE(second.Listen(port, BACKLOG)) << "another listener holds the port";
    EXPECT_EQ(second.LocalPort(), 0u);
    first.Close();
    ASSERT_TRUE(second.Listen(port + 65536, BACKLOG));
    EXPECT_EQ(second.LocalPort(), port);
}

TEST(acptSocketTest, ListensAgainOnAPortWhoseLastConnectionIsStillClosing) {
    probeThread listenThread;
    probeThread dormant;
    auto listener = std::make_unique<acceptProbe>(listenThread);
    strmSocket served(dormant);
    listener->targets = {&served};
    ASSERT_TRUE(listener->Listen(0, BACKLOG));
    const unsigned int port = listener->LocalPort();
    {
        loopRunner listening(listenThread);
        scriptedPeer peer = scriptedPeer::Connect(port);
        ASSERT_TRUE(listener->WaitForCount(1));
        served.Close();                        // the shop closes first ...
        EXPECT_TRUE(peer.ReadToEnd().empty()); // ... the peer sees it ...
    }                                          // ... and closes too
    listener.reset();

    acptSocket again(dormant);
    EXPECT_TRUE(again.Listen(port, BACKLOG));
}

} // namespace
