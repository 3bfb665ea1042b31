#pragma once

#include "childProcess.h"
#include "common/coinFormat.h"
#include "common/coinList.h"
#include "common/keyFile.h"
#include "scratchFolder.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A coin made by a test: what identifies it and the coin record to pay with.
struct mintedCoin {
    coinIdent ident;
    coinRecord record;
};

// A demo world made by the real kestrane-keygen in a scratch folder, with
// its keys loaded for the test's scripted peers: the shop's id and private
// key, the bank's main key and coin keys 0 to 9 (private).
class demoWorld {
public:
    explicit demoWorld(std::uint32_t shopId = 42);

    bool Made() const { return made; }
    const std::filesystem::path& Folder() const { return folder.path; }
    std::string File(const std::string& name) const { return (folder.path / name).string(); }

    // A valid coin of denomination d with a fresh serial number, signed
    // directly with the coin key, as a withdrawal would give it.
    mintedCoin Mint(std::uint8_t denomination) const;
    // The wallet file text of these coins (the consumer's format).
    static std::string WalletText(const std::vector<mintedCoin>& coins);

    std::uint32_t shopId;
    std::unique_ptr<PrivateRsaKey> shopKey;
    std::unique_ptr<PrivateRsaKey> bankKey;
    std::vector<PrivateRsaKey> coinKeys;

private:
    scratchFolder folder;
    bool made = false;
};

// kestrane-bank run in a folder that holds its key files (bankpv.rsa,
// kestpub.rsa), with its register there too, once both ports are known.
struct runningBank {
    std::unique_ptr<childProcess> process;
    std::uint16_t paymentPort = 0;
    std::uint16_t withdrawPort = 0;

    bool Ready() const { return paymentPort != 0 && withdrawPort != 0; }
};
runningBank StartBank(const std::filesystem::path& folder,
                      const std::vector<std::string>& args = {});
