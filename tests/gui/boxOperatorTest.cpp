#include "gui/boxOperator.h"
#include "gui/CKestraneView.h"
#include "platform/recOperator.h"
#include "shell/lineStore.h"
#include "shownWatcher.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace {

class boxOperatorFixture : public testing::Test {
protected:
    recOperator stderrStandIn;
    boxOperator op{stderrStandIn};
};

TEST_F(boxOperatorFixture, ShowsTheTextInABoxTitledKestrane) {
    QString title;
    QString text;
    shownWatcher<QMessageBox> answer([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    op.ShowMessage("Could not open kestpv.rsa");
    EXPECT_EQ(answer.Count(), 1);
    EXPECT_EQ(title, QStringLiteral("Kestrane"));
    EXPECT_EQ(text, QStringLiteral("Could not open kestpv.rsa"));
    EXPECT_TRUE(stderrStandIn.Texts().empty());
}

// A session's box keeps that session waiting until the operator dismisses it;
// meanwhile another session reports and the view repaints.
TEST_F(boxOperatorFixture, ABoxBlocksOnlyTheThreadThatAskedForIt) {
    lineStore store;
    CKestraneView view(store);
    view.show();

    std::atomic<bool> returned{false};
    bool blockedWhileShown = false;
    std::vector<std::string> paintedMeanwhile;
    shownWatcher<QMessageBox> answer([&](QMessageBox* box) {
        std::thread other([&] {
            for (int i = 1; i <= 3; ++i) {
                store.AddLine(&view, "Consumer connect request.");
            }
        });
        other.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return view.LastPainted().size() == 3; }));
        for (const auto& line : view.LastPainted()) {
            paintedMeanwhile.push_back(line.text);
        }
        blockedWhileShown = !returned;
        box->button(QMessageBox::Ok)->click();
    });

    std::thread session([&] {
        op.ShowMessage("header checksum invalid");
        returned = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }));
    session.join();

    EXPECT_EQ(answer.Count(), 1);
    EXPECT_TRUE(blockedWhileShown);
    EXPECT_EQ(paintedMeanwhile, std::vector<std::string>(3, "Consumer connect request."));
    EXPECT_TRUE(stderrStandIn.Texts().empty());
}

// Calls `act` on the GUI thread just before the first queued call to `target`
// runs, that is while a box request from another thread is still queued.
class beforeQueuedCall : public QObject {
public:
    beforeQueuedCall(QObject& target, std::function<void()> onCall) : act(std::move(onCall)) {
        target.installEventFilter(this);
    }
    bool Called() const { return called; }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MetaCall && !called) {
            called = true;
            act();
        }
        return false;
    }

private:
    std::function<void()> act;
    bool called = false;
};

// Stopping the sessions waits for them on the GUI thread. A session waiting
// for a box that is still queued there is let go once closing has begun, its
// text goes to standard error, and the box is never shown.
TEST_F(boxOperatorFixture, ClosingReleasesAThreadWaitingForItsBox) {
    shownWatcher<QMessageBox> answer([](QMessageBox* box) { box->reject(); });
    std::thread session([&] { op.ShowMessage("SendPacket Error"); });
    beforeQueuedCall stop(op, [&] {
        op.BeginClosing();
        session.join(); // as the clean stop waits for the sessions
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stop.Called(); }));

    op.ShowMessage("ReceivePacket Error");
    std::thread late([&] { op.ShowMessage("data checksum invalid"); });
    late.join();
    QCoreApplication::processEvents();

    EXPECT_EQ(answer.Count(), 0);
    EXPECT_EQ(stderrStandIn.Texts(),
              (std::vector<std::string>{"SendPacket Error", "ReceivePacket Error",
                                        "data checksum invalid"}));
}

} // namespace
