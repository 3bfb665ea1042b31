#include "walletFile.h"

#include "common/msgCodes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::optional<walletCoin> ParseLine(const std::string& line) {
    std::istringstream in(line);
    int denomination = -1;
    std::string serial, value, rest;
    if (!(in >> denomination >> serial >> value) || (in >> rest) || denomination < 0 ||
        denomination >= msgCodes::COIN_KEYS || serial.size() != 2 * coinIdent::SERIAL_SIZE ||
        value.size() != 2 * msgCodes::RSA_BLOCK)
        return std::nullopt;
    const auto serialBytes = byteUtil::FromHex(serial);
    auto valueBytes = byteUtil::FromHex(value);
    if (!serialBytes || !valueBytes)
        return std::nullopt;
    walletCoin coin;
    coin.ident.denomination = static_cast<std::uint8_t>(denomination);
    std::copy(serialBytes->begin(), serialBytes->end(), coin.ident.serial.begin());
    coin.value = std::move(*valueBytes);
    return coin;
}

void WriteAll(int fd, const std::string& text, const std::string& name) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

walletFile walletFile::Load(const fs::path& file) {
    walletFile wallet;
    std::error_code missing;
    if (!fs::exists(file, missing))
        return wallet;
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        throw std::runtime_error("cannot read the wallet " + file.string());
    if (line != HEADER)
        throw std::runtime_error(file.string() + " is not a wallet (its first line is not \"" +
                                 HEADER + "\")");
    for (int number = 2; std::getline(in, line); ++number) {
        auto coin = ParseLine(line);
        if (!coin)
            throw std::runtime_error(file.string() + ": line " + std::to_string(number) +
                                     " is damaged");
        wallet.coins.push_back(std::move(*coin));
    }
    if (in.bad())
        throw std::runtime_error("cannot read the wallet " + file.string());
    return wallet;
}

void walletFile::Save(const fs::path& file) const {
    std::string text = std::string(HEADER) + "\n";
    for (const walletCoin& coin : coins) {
        text += std::to_string(coin.ident.denomination) + " " + coin.ident.SerialText() + " " +
                byteUtil::ToHex(coin.value) + "\n";
    }
    fs::path temporary = file;
    temporary += ".new";
    const std::string name = temporary.string();
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
    try {
        WriteAll(fd, text, name);
        if (fsync(fd) != 0)
            throw std::runtime_error("cannot sync " + name + ": " + std::strerror(errno));
    } catch (...) {
        close(fd);
        unlink(temporary.c_str());
        throw;
    }
    close(fd);
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        unlink(temporary.c_str());
        throw std::runtime_error("cannot replace " + file.string() + ": " + why);
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

std::uint64_t walletFile::Worth() const {
    std::uint64_t worth = 0;
    for (const walletCoin& coin : coins)
        worth += coin.Worth();
    return worth;
}

std::optional<std::vector<std::size_t>> walletFile::Pick(std::uint64_t amount) const {
    // With powers of two, taking the largest coin that still fits never
    // spoils an exact sum that exists.
    std::vector<std::size_t> order(coins.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return coins[a].ident.denomination > coins[b].ident.denomination;
    });
    std::vector<std::size_t> picked;
    for (const std::size_t i : order) {
        if (coins[i].Worth() <= amount) {
            amount -= coins[i].Worth();
            picked.push_back(i);
        }
    }
    if (amount != 0)
        return std::nullopt;
    return picked;
}

void walletFile::Remove(std::vector<std::size_t> indexes) {
    std::sort(indexes.rbegin(), indexes.rend());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const std::size_t i : indexes) {
        if (i < coins.size())
            coins.erase(coins.begin() + static_cast<std::ptrdiff_t>(i));
    }
}
