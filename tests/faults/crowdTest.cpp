// Many hostile sessions at once, while honest payments go on: consumers that
// go away at every step, send garbage or oversized frames, stop inside a
// frame, or connect and say nothing. Every honest payment completes and is
// logged once, and the shop gives back every descriptor and thread.

#include "faultConsumer.h"
#include "faultWorld.h"

#include "common/msgCodes.h"
#include "common/peerLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int HONEST_PAYMENTS = 12;
constexpr int HOSTILE_ROUNDS = 3; // of each kind of hostile consumer

// One hostile consumer: how far it plays, and what it does then.
enum class hostileEnd { CLOSE, RESET, GARBAGE, OVERSIZED, HALF_FRAME, SILENT };

struct hostilePlan {
    faultConsumer::stage after;
    hostileEnd end;
};

std::vector<hostilePlan> Plans() {
    std::vector<hostilePlan> plans;
    for (int round = 0; round < HOSTILE_ROUNDS; ++round) {
        for (int s = faultConsumer::CONNECTED; s <= faultConsumer::CONFIRMED; ++s) {
            const auto stage = static_cast<faultConsumer::stage>(s);
            plans.push_back({stage, hostileEnd::CLOSE});
            plans.push_back({stage, hostileEnd::RESET});
        }
        plans.push_back({faultConsumer::CONNECTED, hostileEnd::GARBAGE});
        plans.push_back({faultConsumer::KEY_OFFERED, hostileEnd::OVERSIZED});
        plans.push_back({faultConsumer::KEY_CHECKED, hostileEnd::HALF_FRAME});
        plans.push_back({faultConsumer::CONNECTED, hostileEnd::SILENT});
    }
    return plans;
}

// Sessions that wait for their consumer (half a frame, or nothing at all)
// until the test lets them go.
bool Waits(hostileEnd end) {
    return end == hostileEnd::HALF_FRAME || end == hostileEnd::SILENT;
}

TEST(crowdTest, HostileSessionsAtOnceLeaveHonestPaymentsWhole) {
    faultWorld scene;
    ASSERT_NE(scene.shopPort, 0);
    // Many activity lines: read and dropped, so that the shop never waits on
    // its output.
    scene.shop.process.Discard();

    const std::vector<hostilePlan> plans = Plans();
    std::vector<std::unique_ptr<faultConsumer>> hostiles(plans.size());
    std::atomic<int> confirmed{0};
    std::atomic<int> paidByHostiles{0};
    std::vector<std::thread> crowd;
    for (int i = 0; i < HONEST_PAYMENTS; ++i) {
        crowd.emplace_back([&] {
            faultConsumer honest(scene.shopPort, scene.world, {0});
            if (honest.PlayTo(faultConsumer::FINISHED)) {
                ++confirmed;
            }
        });
    }
    for (std::size_t i = 0; i < plans.size(); ++i) {
        crowd.emplace_back([&, i] {
            const hostilePlan& plan = plans[i];
            hostiles[i] = std::make_unique<faultConsumer>(scene.shopPort, scene.world,
                                                          std::vector<std::uint8_t>{1});
            faultConsumer& hostile = *hostiles[i];
            EXPECT_TRUE(hostile.PlayTo(plan.after));
            if (plan.after >= faultConsumer::COINS_SENT) {
                ++paidByHostiles;
            }
            switch (plan.end) {
            case hostileEnd::CLOSE:
                hostile.peer.Close();
                break;
            case hostileEnd::RESET:
                hostile.peer.Reset();
                break;
            case hostileEnd::GARBAGE:
                hostile.peer.SendRaw(bytes(512, 0xC3));
                EXPECT_TRUE(hostile.ConnectionEnds());
                break;
            case hostileEnd::OVERSIZED: {
                bytes header{msgCodes::PKT_DATA, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0};
                hostile.peer.SendRaw(header);
                EXPECT_TRUE(hostile.ConnectionEnds());
                break;
            }
            case hostileEnd::HALF_FRAME: {
                const bytes frame = peerLink::Frame(msgCodes::PKT_DATA, 1, bytes(64, 9));
                hostile.peer.SendRaw(bytes(frame.begin(), frame.begin() + 20));
                break;
            }
            case hostileEnd::SILENT:
                break;
            }
        });
    }
    for (std::thread& t : crowd) {
        t.join();
    }
    EXPECT_EQ(confirmed, HONEST_PAYMENTS);

    // The waiting sessions held only themselves; now their consumers go.
    for (std::size_t i = 0; i < plans.size(); ++i) {
        if (Waits(plans[i].end)) {
            EXPECT_TRUE(hostiles[i]->peer.Quiet());
            hostiles[i]->peer.Close();
        }
    }
    EXPECT_TRUE(scene.ShopRecovered());
    EXPECT_EQ(scene.Logged("P S 1\n"), HONEST_PAYMENTS);
    EXPECT_EQ(scene.Logged("P S 2\n"), paidByHostiles);
    EXPECT_EQ(scene.Logged("P F 1\n") + scene.Logged("P F 2\n"), 0);
    EXPECT_EQ(scene.shop.Stop(), 0);
}

} // namespace
