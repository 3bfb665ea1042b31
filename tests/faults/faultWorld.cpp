#include "faultWorld.h"

#include "scriptedPeer.h"

#include <algorithm>
#include <chrono>

namespace {
constexpr std::chrono::seconds RECOVERY_GUARD{60};
}

faultWorld::faultWorld(const bankSetting& setting) {
    if (!world.Made()) {
        return;
    }
    std::uint16_t bankPort = 0;
    if (setting.listening) {
        bank = StartBank(world.Folder(), setting.switches);
        bankPort = bank.paymentPort;
    } else {
        bankPort = UnusedPort();
    }
    shop.CopyKeysFrom(world.Folder());
    shop.WriteAddresses(bankPort);
    shopPort = static_cast<std::uint16_t>(shop.StartListening());
    if (shopPort == 0) {
        ADD_FAILURE() << "the shop did not start listening";
        return;
    }
    baseline = procWatch(shop.process.Pid()).Now();
}

::testing::AssertionResult faultWorld::ShopRecovered() {
    const procWatch watch(shop.process.Pid());
    if (!watch.Running()) {
        return ::testing::AssertionFailure() << "the shop is not running";
    }
    if (!watch.ReturnsTo(baseline, RECOVERY_GUARD)) {
        return ::testing::AssertionFailure() << "the shop holds more than before its sessions:\n"
                                             << watch.Difference(baseline);
    }
    return ::testing::AssertionSuccess();
}

int faultWorld::Logged(const std::string& text) const {
    const std::vector<std::string> texts = shop.LoggedTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "<damaged>"), 0);
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}
