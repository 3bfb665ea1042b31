#pragma once

#include "common/coinFormat.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

// The bank's persistent register of spent coins: a text file, one line per
// coin of every accepted payment,
//
//   <transaction> <shop id> <denomination> <serial, 48 hex digits>\n
//
// (decimal numbers, single spaces). Lines are only ever appended, all lines
// of a payment in one write, and the file is synced before the payment is
// reported as committed. At start the file is read whole; a last line
// without its line feed (a write cut short, never confirmed) is cut off, any
// other malformed line stops the bank. The file is locked against a second
// bank.
//
// A payment first claims its coins (so that two payments in progress cannot
// spend the same coin), then commits or releases the claim. Any thread may
// call any operation.
class spentRegister {
public:
    enum class claimResult {
        CLAIMED, // the coins are the payment's until Commit or Release
        SPENT,   // a coin is in the register already, or twice in the list
        IN_USE,  // a coin is claimed by another payment in progress
    };

    // Opens (creating it if missing) and reads the register. Throws
    // std::runtime_error when it cannot be opened, locked or read.
    explicit spentRegister(const std::filesystem::path& file);
    ~spentRegister();
    spentRegister(const spentRegister&) = delete;
    spentRegister& operator=(const spentRegister&) = delete;

    // Claims the coins of a payment from `shopId`; on CLAIMED `transaction`
    // receives the payment's number (unique in the register).
    claimResult Claim(const std::vector<coinIdent>& coins, std::uint32_t shopId,
                      std::uint32_t& transaction);
    // Writes the claimed coins to the file and syncs it. False when that
    // fails: the file is cut back to what it held and the claim released.
    bool Commit(std::uint32_t transaction);
    void Release(std::uint32_t transaction);

    std::size_t SpentCount() const;
    // True when opening cut off an incomplete last line.
    bool DroppedTail() const { return droppedTail; }

private:
    struct claim {
        std::uint32_t shopId;
        std::vector<coinIdent> coins;
    };

    void Load(const std::string& name);

    mutable std::mutex lock;
    int fd = -1;
    off_t size = 0;
    bool droppedTail = false;
    std::uint32_t nextTransaction = 1;
    std::set<coinIdent> spent;
    std::set<coinIdent> claimed;
    std::map<std::uint32_t, claim> claims;
};
