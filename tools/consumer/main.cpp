// kestrane-consumer: a wallet that obtains coins from the reference bank and
// pays shops with them; see --help.

#include "consumerOptions.h"
#include "shopTalk.h"
#include "walletFile.h"
#include "wdrlClient.h"

#include "common/keyFile.h"
#include "common/lineOut.h"
#include "common/msgCodes.h"
#include "common/tcpSocket.h"
#include "common/toolOperator.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

// A connected descriptor, closed at the end of the scope.
class openConn {
public:
    explicit openConn(int descriptor) : fd(descriptor) {}
    ~openConn() {
        if (fd >= 0)
            close(fd);
    }
    openConn(const openConn&) = delete;
    openConn& operator=(const openConn&) = delete;
    int fd;
};

int Connect(const consumerOptions& options, const char* peer) {
    std::string error;
    const int fd = tcpSocket::Connect(options.host, *options.port, error);
    if (fd < 0) {
        std::cerr << "kestrane-consumer: " << error << "\n";
        return -1;
    }
    tcpSocket::SetTimeouts(fd, options.timeout);
    lineOut::Print(std::string("Connected to the ") + peer + " at " + options.host + " port " +
                   std::to_string(*options.port));
    return fd;
}

int List(const consumerOptions& options) {
    const walletFile wallet = walletFile::Load(options.wallet);
    lineOut::Print("Wallet " + options.wallet + ": " + std::to_string(wallet.coins.size()) +
                   " coins, worth " + std::to_string(wallet.Worth()));
    for (std::size_t i = 0; i < wallet.coins.size(); ++i) {
        const walletCoin& coin = wallet.coins[i];
        lineOut::Print("  " + std::to_string(i + 1) + ". denomination " +
                       std::to_string(coin.ident.denomination) + ", worth " +
                       std::to_string(coin.Worth()) + ", serial " + coin.ident.SerialText());
    }
    return 0;
}

int Withdraw(const consumerOptions& options) {
    const std::vector<PublicRsaKey> keys = keyFile::ReadPublicKeys(options.bankKeys);
    if (keys.size() != 1 + msgCodes::COIN_KEYS)
        throw std::runtime_error(options.bankKeys + ": " + std::to_string(keys.size()) +
                                 " keys instead of 11 (the main key and coin keys 0 to 9)");
    const std::vector<PublicRsaKey> coinKeys(keys.begin() + 1, keys.end());
    walletFile wallet = walletFile::Load(options.wallet);
    std::vector<std::uint8_t> denominations = options.denominations;
    for (int d = msgCodes::COIN_KEYS; d-- > 0;) {
        if (options.amount && (*options.amount >> d & 1) != 0)
            denominations.push_back(static_cast<std::uint8_t>(d));
    }
    if (options.amount && *options.amount >> msgCodes::COIN_KEYS != 0) {
        // Amounts of 1024 and more take several coins of 512.
        for (std::uint64_t n = *options.amount >> msgCodes::COIN_KEYS << 1; n > 0; --n)
            denominations.push_back(msgCodes::COIN_KEYS - 1);
    }

    const openConn conn(Connect(options, "bank"));
    if (conn.fd < 0)
        return EXIT_REFUSED;
    std::string error;
    const auto coins = wdrlClient(conn.fd, coinKeys).Withdraw(denominations, error);
    if (!coins) {
        lineOut::Print("Withdrawal failed: " + error);
        return EXIT_REFUSED;
    }
    std::uint64_t worth = 0;
    for (const walletCoin& coin : *coins) {
        wallet.coins.push_back(coin);
        worth += coin.Worth();
    }
    wallet.Save(options.wallet);
    lineOut::Print("Withdrew " + std::to_string(coins->size()) + " coins worth " +
                   std::to_string(worth) + "; the wallet holds " +
                   std::to_string(wallet.coins.size()) + " coins worth " +
                   std::to_string(wallet.Worth()));
    return 0;
}

int TalkToShop(const consumerOptions& options) {
    const std::vector<shopPublicKey> shops = keyFile::ReadShopKeys(options.shopKey);
    if (shops.size() != 1)
        throw std::runtime_error(options.shopKey + ": " + std::to_string(shops.size()) +
                                 " shop records instead of one");
    const bool paying = options.command == "pay";
    walletFile wallet = walletFile::Load(options.wallet);
    std::vector<std::size_t> picked = options.coins;
    if (paying && options.amount) {
        const auto found = wallet.Pick(*options.amount);
        if (!found) {
            std::cerr << "kestrane-consumer: the wallet holds no coins adding up to exactly "
                      << *options.amount << " (it holds " << wallet.coins.size() << " coins worth "
                      << wallet.Worth() << ")\n";
            return EXIT_USAGE;
        }
        picked = *found;
    }
    std::vector<coinRecord> coins;
    std::set<std::size_t> seen;
    for (const std::size_t i : picked) {
        if (i >= wallet.coins.size() || !seen.insert(i).second) {
            std::cerr << "kestrane-consumer: no coin number " << i + 1 << " in the wallet, or "
                      << "named twice (it holds " << wallet.coins.size() << " coins)\n";
            return EXIT_USAGE;
        }
        coins.push_back({wallet.coins[i].ident.denomination, wallet.coins[i].value});
    }

    const openConn conn(Connect(options, "shop"));
    if (conn.fd < 0)
        return EXIT_REFUSED;
    lineOut::Print("Shop id " + std::to_string(shops.front().shopId));
    shopTalk talk(conn.fd, shops.front().key);
    const shopTalk::outcome result = paying ? talk.Pay(coins) : talk.Leave();
    if (result.result == shopTalk::outcome::FAILED)
        lineOut::Print(
            "Failed: " + result.text +
            (result.coinsSent ? " (the coins stay in the wallet: they may be spent)" : ""));
    if (result.result != shopTalk::outcome::CONFIRMED)
        return EXIT_REFUSED;
    if (!paying) {
        lineOut::Print("Left the shop without paying");
        return 0;
    }
    if (options.keep) {
        lineOut::Print("Kept the " + std::to_string(coins.size()) + " paid coins in the wallet");
    } else {
        wallet.Remove(picked);
        wallet.Save(options.wallet);
        lineOut::Print("Removed the " + std::to_string(coins.size()) +
                       " paid coins from the wallet");
    }
    const std::uint64_t paid = coinList::Amount(coins);
    if (static_cast<std::uint64_t>(result.amount) != paid) {
        lineOut::Print("The shop confirmed " + std::to_string(result.amount) + ", not the " +
                       std::to_string(paid) + " paid");
        return EXIT_REFUSED;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = consumerOptions::Parse(argc, argv, error);
    if (!options) {
        std::cerr << "kestrane-consumer: " << error << "\n\n" << consumerOptions::USAGE;
        return EXIT_USAGE;
    }
    if (options->help) {
        std::cout << consumerOptions::USAGE;
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    toolOperator op("kestrane-consumer");
    SetOperator(&op);
    int status = EXIT_USAGE;
    try {
        if (options->command == "list")
            status = List(*options);
        else if (options->command == "withdraw")
            status = Withdraw(*options);
        else
            status = TalkToShop(*options);
    } catch (const std::exception& e) {
        std::cerr << "kestrane-consumer: " << e.what() << "\n";
    }
    SetOperator(nullptr);
    return status;
}
