#include "platform/strmSocket.h"

#include "probeThread.h"
#include "scriptedPeer.h"
#include "watchedSocket.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using bytes = std::vector<std::uint8_t>;

int ReceiveSome(strmSocket& socket, bytes& into) {
    std::uint8_t chunk[64];
    const int n = socket.Receive(chunk, sizeof(chunk));
    if (n > 0) {
        into.insert(into.end(), chunk, chunk + n);
    }
    return n;
}

// The sockets below are bound to a thread whose loop never runs: blocking use
// needs no loop.
TEST(strmSocketTest, ConnectsByAddressOrHostNameWithThePortTakenModulo65536) {
    struct {
        const char* host;
        unsigned int portOffset;
    } const cases[] = {{"127.0.0.1", 0}, {"localhost", 65536}, {"localhost", 3 * 65536}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " + " + std::to_string(c.portOffset));
        scriptedListener listener;
        probeThread dormant;
        strmSocket socket(dormant);
        ASSERT_TRUE(socket.Connect(c.host, listener.Port() + c.portOffset));
        scriptedPeer peer = listener.Accept();

        const bytes ping{'p', 'i', 'n', 'g'};
        EXPECT_EQ(socket.Send(ping.data(), 4), 4);
        EXPECT_EQ(peer.ReadExact(4), ping);

        peer.SendRaw({'p', 'o', 'n', 'g'});
        peer.Close();
        bytes got;
        while (ReceiveSome(socket, got) > 0) {
        }
        EXPECT_EQ(got, (bytes{'p', 'o', 'n', 'g'}));
        EXPECT_TRUE(socket.HasEnded());
    }
}

TEST(strmSocketTest, ConnectFailsWhenNothingListens) {
    // A bound socket that does not listen keeps its port from being anyone's listener.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof(address);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &size), 0);

    probeThread dormant;
    strmSocket socket(dormant);
    EXPECT_FALSE(socket.Connect("127.0.0.1", ntohs(address.sin_port)));
    ::close(holder);
}

TEST(strmSocketTest, ReceiveReportsAResetConnectionAsAFailure) {
    scriptedListener listener;
    probeThread dormant;
    strmSocket socket(dormant);
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    listener.Accept().Reset();
    std::uint8_t byte = 0;
    EXPECT_EQ(socket.Receive(&byte, 1), -1);
    EXPECT_TRUE(socket.HasEnded());
}

TEST(strmSocketTest, ShutdownFromAnotherThreadEndsABlockedReceive) {
    scriptedListener listener;
    probeThread dormant;
    strmSocket socket(dormant);
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    scriptedPeer peer = listener.Accept(); // open and silent: the Receive would wait for ever

    std::promise<void> reading;
    auto result = std::async(std::launch::async, [&] {
        std::uint8_t byte = 0;
        reading.set_value();
        return socket.Receive(&byte, 1);
    });
    reading.get_future().wait();
    socket.Shutdown();
    ASSERT_EQ(result.wait_for(TEST_GUARD), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
}

// A signal caught while Connect waits for the peer does not fail the connect:
// the connection is made, and Connect says so once it is.
TEST(strmSocketTest, ASignalDuringConnectDoesNotFailIt) {
    // A listener whose accept queue holds one connection, and holds it: the
    // next connect waits until the queue has room again.
    const int held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::getsockname(held, reinterpret_cast<sockaddr*>(&address), &size), 0);
    ASSERT_EQ(::listen(held, 0), 0);
    const std::uint16_t port = ntohs(address.sin_port);
    const scriptedPeer first = scriptedPeer::Connect(port);

    // A handler without SA_RESTART: the signal cuts a waiting connect short.
    struct sigaction caught {};
    caught.sa_handler = [](int) {};
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGUSR1, &caught, &before), 0);

    std::promise<pid_t> started;
    auto connected = std::async(std::launch::async, [&] {
        started.set_value(static_cast<pid_t>(::gettid()));
        probeThread dormant;
        strmSocket socket(dormant);
        return socket.Connect("127.0.0.1", port);
    });
    const pid_t connecting = started.get_future().get();
    // Signalled once it waits inside connect (system call 42).
    const std::string syscall = "/proc/self/task/" + std::to_string(connecting) + "/syscall";
    const auto guard = std::chrono::steady_clock::now() + TEST_GUARD;
    for (std::string number; number != "42" && std::chrono::steady_clock::now() < guard;) {
        std::ifstream(syscall) >> number;
        std::this_thread::yield();
    }
    ASSERT_EQ(::syscall(SYS_tgkill, ::getpid(), connecting, SIGUSR1), 0);

    // Room in the queue: the connect goes through on the peer's next try.
    ::close(::accept(held, nullptr, nullptr));
    ASSERT_EQ(connected.wait_for(TEST_GUARD), std::future_status::ready);
    EXPECT_TRUE(connected.get());
    ::sigaction(SIGUSR1, &before, nullptr);
    ::close(held);
}

// A connected socket bound to a running thread, and its peer.
class strmSocketNotifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket = std::make_unique<watchedSocket>(probe);
        ASSERT_TRUE(socket->Connect("127.0.0.1", listener.Port()));
        peer = listener.Accept();
        running = std::make_unique<loopRunner>(probe);
        probe.Execute([&] { probeId = std::this_thread::get_id(); });
    }
    void TearDown() override {
        running.reset();
        socket.reset();
    }
    // Reads what is waiting, on the bound thread.
    bytes ReadOnThread() {
        bytes got;
        probe.Execute([&] { ReceiveSome(*socket, got); });
        return got;
    }
    void ExpectAllOnProbeThread() const {
        for (const std::thread::id& id : socket->Threads()) {
            EXPECT_EQ(id, probeId);
        }
    }

    scriptedListener listener;
    probeThread probe;
    std::unique_ptr<watchedSocket> socket;
    scriptedPeer peer;
    std::unique_ptr<loopRunner> running;
    std::thread::id probeId;
};

TEST_F(strmSocketNotifyTest, NothingIsNotifiedUntilArmed) {
    peer.SendRaw({'a'});
    probe.Execute([] {});
    EXPECT_TRUE(socket->Events().empty());
    EXPECT_EQ(ReadOnThread(), bytes{'a'});
}

TEST_F(strmSocketNotifyTest, DataWaitingBeforeTheArmIsNotified) {
    peer.SendRaw({'a'});
    peer.SendRaw({'b'});
    socket->ArmReceive();
    ASSERT_TRUE(socket->WaitForCount(1));
    bytes got = ReadOnThread();
    while (got.size() < 2) {
        const bytes more = ReadOnThread();
        got.insert(got.end(), more.begin(), more.end());
    }
    EXPECT_EQ(got, (bytes{'a', 'b'}));
    EXPECT_EQ(socket->Events(), std::vector<std::string>{"receive"});
    ExpectAllOnProbeThread();
}

TEST_F(strmSocketNotifyTest, ArmingTwiceRaisesOneNotificationAndTheNextArmTheNext) {
    socket->ArmReceive();
    socket->ArmReceive();
    probe.Execute([] {}); // both arms taken, nothing waiting yet
    peer.SendRaw({'a'});
    ASSERT_TRUE(socket->WaitForCount(1));
    probe.Execute([] {}); // a second notification would have been queued before this
    EXPECT_EQ(socket->Events(), std::vector<std::string>{"receive"});
    EXPECT_EQ(ReadOnThread(), bytes{'a'});

    socket->ArmReceive();
    probe.Execute([] {});
    peer.SendRaw({'b'});
    ASSERT_TRUE(socket->WaitForCount(2));
    EXPECT_EQ(ReadOnThread(), bytes{'b'});
    ExpectAllOnProbeThread();
}

TEST_F(strmSocketNotifyTest, PeerCloseIsNotifiedThenReceiveSeesItAndOnCloseFollows) {
    socket->ArmReceive();
    probe.Execute([] {});
    peer.Close();
    ASSERT_TRUE(socket->WaitForCount(1));
    int result = -2;
    probe.Execute([&] {
        std::uint8_t byte = 0;
        result = socket->Receive(&byte, 1);
    });
    EXPECT_EQ(result, 0);
    ASSERT_TRUE(socket->WaitForCount(2));
    EXPECT_EQ(socket->Events(), (std::vector<std::string>{"receive", "close 0"}));
    EXPECT_TRUE(socket->HasEnded());
    ExpectAllOnProbeThread();
}

TEST_F(strmSocketNotifyTest, ClosingAnArmedSocketRaisesNothing) {
    socket->ArmReceive();
    probe.Execute([&] { socket->Close(); });
    probe.Execute([] {});
    EXPECT_TRUE(socket->Events().empty());
    EXPECT_FALSE(socket->IsOpen());
}

// Answers each notification by reading what it announced and arming the next;
// counts notifications that found nothing to read.
class drainingSocket : public strmSocket {
public:
    drainingSocket(msgThread& thread, std::size_t expectedBytes)
        : strmSocket(thread), expected(expectedBytes) {}

    int fd = -1; // found by the test, to look at the socket without reading it
    int emptyNotifications = 0;
    std::promise<void> drained;

protected:
    void OnReceive(int) override {
        pollfd probe{fd, POLLIN, 0};
        if (::poll(&probe, 1, 0) == 0) {
            ++emptyNotifications;
            ArmReceive();
            return;
        }
        std::uint8_t chunk[256];
        const int n = Receive(chunk, sizeof(chunk));
        total += n > 0 ? static_cast<std::size_t>(n) : 0;
        if (total == expected || n <= 0) {
            drained.set_value();
        } else {
            ArmReceive();
        }
    }

private:
    std::size_t expected;
    std::size_t total = 0;
};

// The descriptor of this process whose local TCP port is `port`.
int DescriptorOnPort(std::uint16_t port) {
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof(address);
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            return fd;
        }
    }
    return -1;
}

TEST(strmSocketStressTest, NoNotificationIsRaisedForBytesAlreadyRead) {
    constexpr std::size_t COUNT = 3000;
    scriptedListener listener;
    probeThread reader;
    drainingSocket socket(reader, COUNT);
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    scriptedPeer peer = listener.Accept();
    sockaddr_in remote{};
    socklen_t size = sizeof(remote);
    ::getpeername(peer.Descriptor(), reinterpret_cast<sockaddr*>(&remote), &size);
    socket.fd = DescriptorOnPort(ntohs(remote.sin_port));
    ASSERT_GE(socket.fd, 0);

    loopRunner running(reader);
    socket.ArmReceive();
    for (std::size_t i = 0; i < COUNT; ++i) { // many small arrivals, unsynchronised
        peer.SendRaw({std::uint8_t(i)});
    }
    auto drained = socket.drained.get_future();
    ASSERT_EQ(drained.wait_for(TEST_GUARD), std::future_status::ready);
    int empty = -1;
    reader.Execute([&] { empty = socket.emptyNotifications; });
    EXPECT_EQ(empty, 0);
}

} // namespace
