#include "demoWorld.h"

#include "common/msgCodes.h"

#include <gtest/gtest.h>

#include <cryptopp/osrng.h>

demoWorld::demoWorld(std::uint32_t id) : shopId(id) {
    const toolRun keygen =
        RunTool(programPaths::KEYGEN, {"--shop-id", std::to_string(id), "."}, folder.path);
    if (keygen.status != 0) {
        ADD_FAILURE() << "kestrane-keygen failed: " << keygen.err;
        return;
    }
    try {
        const shopPrivateKey shop = keyFile::ReadShopPrivateKey(folder.path / "kestpv.rsa");
        shopKey = std::make_unique<PrivateRsaKey>(shop.key);
        std::vector<PrivateRsaKey> bank = keyFile::ReadPrivateKeys(folder.path / "bankpv.rsa");
        bankKey = std::make_unique<PrivateRsaKey>(bank.front());
        coinKeys.assign(bank.begin() + 1, bank.end());
        made = shop.shopId == id && coinKeys.size() == msgCodes::COIN_KEYS;
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

mintedCoin demoWorld::Mint(std::uint8_t denomination) const {
    CryptoPP::AutoSeededRandomPool rng;
    mintedCoin coin{coinFormat::NewCoin(denomination, rng),
                    coinRecord{denomination, bytes(msgCodes::RSA_BLOCK)}};
    CryptoPP::Integer value;
    coinKeys.at(denomination).ApplyPrivateFunction(coinFormat::Message(coin.ident), value);
    value.Encode(coin.record.value.data(), coin.record.value.size());
    return coin;
}

std::string demoWorld::WalletText(const std::vector<mintedCoin>& coins) {
    std::string text = "kestrane-wallet 1\n";
    for (const mintedCoin& coin : coins) {
        text += std::to_string(coin.ident.denomination) + " " + coin.ident.SerialText() + " " +
                byteUtil::ToHex(coin.record.value) + "\n";
    }
    return text;
}

runningBank StartBank(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    runningBank bank;
    bank.process = std::make_unique<childProcess>(programPaths::BANK, args, folder);
    bank.paymentPort = bank.process->Port("Payments");
    bank.withdrawPort = bank.process->Port("Withdrawals");
    if (!bank.Ready())
        ADD_FAILURE() << "kestrane-bank did not start: " << bank.process->Errors();
    return bank;
}
