#include "platform/msgThread.h"
#include "platform/strmSocket.h"

#include "probeThread.h"
#include "scriptedPeer.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

TEST(msgThreadTest, HandlesMessagesInPostingOrderWithParameters) {
    probeThread probe;
    for (unsigned int i = 1; i <= 200; ++i) {
        probe.PostThreadMessage(i, i * 2, -static_cast<std::intptr_t>(i));
    }
    loopRunner running(probe);
    ASSERT_TRUE(probe.WaitForCount(200));
    const auto messages = probe.Messages();
    for (unsigned int i = 1; i <= 200; ++i) {
        EXPECT_EQ(messages[i - 1].message, i);
        EXPECT_EQ(messages[i - 1].wParam, i * 2);
        EXPECT_EQ(messages[i - 1].lParam, -static_cast<std::intptr_t>(i));
    }
}

TEST(msgThreadTest, SelfPostedMessageRunsAfterItsHandlerAndAfterWhatWasQueued) {
    probeThread probe;
    std::vector<std::string> trace;
    probe.hook = [&](unsigned int message) {
        trace.push_back("begin " + std::to_string(message));
        if (message == 1) {
            probe.PostThreadMessage(3, 0, 0);
        }
        trace.push_back("end " + std::to_string(message));
    };
    probe.PostThreadMessage(1, 0, 0);
    probe.PostThreadMessage(2, 0, 0);
    loopRunner running(probe);
    ASSERT_TRUE(probe.WaitForCount(3));
    EXPECT_EQ(trace, (std::vector<std::string>{"begin 1", "end 1", "begin 2", "end 2", "begin 3",
                                               "end 3"}));
}

TEST(msgThreadTest, QuitEndsTheLoopAfterTheCurrentHandlerAndDropsTheRest) {
    probeThread probe;
    probe.hook = [&](unsigned int message) {
        if (message == 1) {
            probe.PostThreadMessage(3, 0, 0);
            probe.Quit();
        }
    };
    probe.PostThreadMessage(1, 0, 0);
    probe.PostThreadMessage(2, 0, 0);
    probe.Run(); // returns once the loop has ended
    EXPECT_EQ(probe.Numbers(), std::vector<unsigned int>{1});
}

// Reports how its started thread ends: ExitInstance, then the destructor, both
// on the thread itself.
class endingThread : public msgThread {
public:
    endingThread(std::promise<std::vector<std::string>>& report, bool init)
        : ended(report), initResult(init) {}
    ~endingThread() override {
        steps.push_back(std::this_thread::get_id() == runner ? "deleted on own thread" : "deleted");
        ended.set_value(steps);
    }

protected:
    bool InitInstance() override {
        runner = std::this_thread::get_id();
        steps.push_back("init");
        return initResult;
    }
    void ExitInstance() override { steps.push_back("exit"); }
    void OnMessage(unsigned int message, std::uintptr_t, std::intptr_t) override {
        steps.push_back("message " + std::to_string(message));
        Quit();
    }

private:
    std::promise<std::vector<std::string>>& ended;
    bool initResult;
    std::thread::id runner;
    std::vector<std::string> steps;
};

TEST(msgThreadTest, StartedThreadDeletesItsObjectWhenItsLoopEnds) {
    struct {
        bool init;
        std::vector<std::string> steps;
    } const cases[] = {
        {true, {"init", "message 7", "exit", "deleted on own thread"}},
        {false, {"init", "exit", "deleted on own thread"}},
    };
    for (const auto& c : cases) {
        std::promise<std::vector<std::string>> report;
        auto* thread = new endingThread(report, c.init);
        thread->PostThreadMessage(7, 0, 0);
        ASSERT_TRUE(thread->Start());
        auto ended = report.get_future();
        ASSERT_EQ(ended.wait_for(TEST_GUARD), std::future_status::ready);
        EXPECT_EQ(ended.get(), c.steps);
        msgThread::WaitAll();
    }
}

// A session-like thread that blocks in Receive when told to.
class blockedReader : public msgThread {
public:
    blockedReader(unsigned int port, std::promise<void>& reading, std::promise<int>& result,
                  std::promise<void>& deleted)
        : socket(*this), entered(reading), received(result), gone(deleted) {
        connected = socket.Connect("127.0.0.1", port);
    }
    ~blockedReader() override { gone.set_value(); }

    bool connected = false;

protected:
    void OnMessage(unsigned int, std::uintptr_t, std::intptr_t) override {
        std::uint8_t byte = 0;
        entered.set_value();
        received.set_value(socket.Receive(&byte, 1));
    }

private:
    strmSocket socket;
    std::promise<void>& entered;
    std::promise<int>& received;
    std::promise<void>& gone;
};

TEST(msgThreadTest, StopAllAbortsABlockedReceiveAndWaitAllReturnsOnceAllAreDeleted) {
    scriptedListener listener;
    std::promise<void> reading;
    std::promise<int> received;
    std::promise<void> deleted;
    auto* reader = new blockedReader(listener.Port(), reading, received, deleted);
    ASSERT_TRUE(reader->connected);
    scriptedPeer peer = listener.Accept(); // kept open: only the stop can end the Receive
    reader->PostThreadMessage(1, 0, 0);
    ASSERT_TRUE(reader->Start());
    ASSERT_EQ(reading.get_future().wait_for(TEST_GUARD), std::future_status::ready);

    msgThread::StopAll();
    probeThread late;
    EXPECT_FALSE(late.Start()) << "no thread starts while the process stops";
    msgThread::WaitAll();

    auto result = received.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
    EXPECT_EQ(deleted.get_future().wait_for(std::chrono::seconds(0)), std::future_status::ready);

    std::promise<std::vector<std::string>> report;
    auto* next = new endingThread(report, true);
    next->PostThreadMessage(1, 0, 0);
    EXPECT_TRUE(next->Start()) << "threads start again once all have ended";
    msgThread::WaitAll();
}

} // namespace
