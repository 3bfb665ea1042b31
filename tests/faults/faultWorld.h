#pragma once

#include "demoWorld.h"
#include "procWatch.h"
#include "shopProcess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The stage of a fault test: a demo world made by kestrane-keygen, its real
// kestrane-bank (with test switches, or none), and the real `kestrane
// --headless` with the world's keys, listening; and what the shop held once
// it was listening, before any consumer came.
class faultWorld {
public:
    struct bankSetting {
        std::vector<std::string> switches; // kestrane-bank's test switches
        bool listening = true;             // false: nothing listens at the bank's port
    };

    explicit faultWorld(const bankSetting& setting);
    faultWorld() : faultWorld(bankSetting{}) {}

    // The shop still runs, and once its sessions have ended it holds exactly
    // the descriptors and threads it held before any consumer came.
    ::testing::AssertionResult ShopRecovered();

    // How many records of log.kst hold exactly `text`; the log must read back
    // whole.
    int Logged(const std::string& text) const;

    demoWorld world;
    runningBank bank;
    shopProcess shop;
    std::uint16_t shopPort = 0;
    procWatch::usage baseline;
};
