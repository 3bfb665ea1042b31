#include "scriptedPeer.h"
#include "shopProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets or removes environment variables for the programs started meanwhile.
class scopedEnvironment {
public:
    void Set(const char* name, const char* value) {
        Remember(name);
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~scopedEnvironment() {
        for (const auto& [name, value] : saved) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
    }

private:
    void Remember(const char* name) {
        const char* value = std::getenv(name);
        saved.emplace_back(name,
                           value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

// The port of "Listening on port N" among the operator's lines, skipping what
// the window system may say before it; 0 if it never comes.
unsigned int ListeningPort(shopProcess& shop) {
    const std::string prefix = "Listening on port ";
    while (const std::optional<std::string> line = shop.NextMessage()) {
        if (line->rfind(prefix, 0) == 0) {
            return static_cast<unsigned int>(std::stoul(line->substr(prefix.size())));
        }
    }
    return 0;
}

// The real program in window mode (on the offscreen platform) serves
// consumers and stops cleanly on SIGTERM, as closing the window does.
TEST(windowProcess, ServesAndStopsCleanlyOnSigterm) {
    scopedEnvironment environment;
    environment.Set("QT_QPA_PLATFORM", "offscreen");
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    shop.Start({});
    const unsigned int port = ListeningPort(shop);
    ASSERT_NE(port, 0u);
    scriptedPeer consumer = scriptedPeer::Connect(port);
    consumer.Send(1, 0, byteVec(64, 0x5A)); // a key offer
    const std::optional<wireFrame> answer = consumer.Receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->type, 2); // the shop's signature
    EXPECT_EQ(shop.Stop(), 0);
    EXPECT_TRUE(shop.RestOfActivities().empty()) << "activity lines belong in the window";
}

TEST(windowProcess, WithoutADisplayPointsAtHeadless) {
    scopedEnvironment environment;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.Set(name, nullptr);
    }
    shopProcess shop;
    shop.WriteVectorKeys();
    shop.WriteAddresses(UnusedPort());
    shop.Start({});
    EXPECT_EQ(shop.WaitExit(), 2);
    const std::vector<std::string> said = shop.RestOfMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("no display"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("kestrane --headless"), std::string::npos) << said[0];
}

} // namespace
