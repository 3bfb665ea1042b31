#pragma once

#include "crypto/PrivateRsaKey.h"
#include "faultPlan.h"
#include "shopDirectory.h"
#include "spentRegister.h"

#include <vector>

// What every conversation of the bank works with: its keys (the main key and
// coin keys 0 to 9), the shops it knows, the spent-coin register and the test
// switches. Built once at start; the register is the only part that changes.
struct bankContext {
    const PrivateRsaKey& bankKey;
    const std::vector<PrivateRsaKey>& coinKeys;
    const shopDirectory& shops;
    spentRegister& spent;
    const faultPlan& faults;
};
