#pragma once

#include "scriptedParties.h"
#include "shopProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using textLines = std::vector<std::string>;

// A shop process with the vectors' keys whose bank is a scripted bank, ready
// for consumers; it must stop cleanly (SIGTERM, exit status 0) at the end.
class shopSession : public ::testing::Test {
protected:
    void SetUp() override {
        shop.WriteVectorKeys();
        shop.WriteAddresses(bank.Port());
        port = shop.StartListening();
        ASSERT_NE(port, 0u) << "the shop did not start listening";
    }
    void TearDown() override { EXPECT_EQ(shop.Stop(), 0); }

    textLines Activity(std::size_t count) { return shop.NextActivities(count); }

    scriptedBank bank;
    shopProcess shop;
    unsigned int port = 0;
};
