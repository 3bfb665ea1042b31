#include "spentRegister.h"

#include "common/byteUtil.h"
#include "common/msgCodes.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::runtime_error Failure(const std::string& name, const std::string& what) {
    return std::runtime_error(name + ": " + what);
}

// Syncs the folder that holds a file, so that a newly made file survives.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

bool ParseNumber(std::string_view field, std::uint32_t& value) {
    if (field.empty() || (field.size() > 1 && field[0] == '0'))
        return false;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size();
}

// "<transaction> <shop> <denomination> <serial>"
bool ParseLine(std::string_view line, std::uint32_t& transaction, coinIdent& coin) {
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t space = line.find(' ');
        if ((space == std::string_view::npos) != (i == 3))
            return false;
        fields[i] = line.substr(0, space);
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    std::uint32_t shopId = 0;
    std::uint32_t denomination = 0;
    if (!ParseNumber(fields[0], transaction) || !ParseNumber(fields[1], shopId) ||
        !ParseNumber(fields[2], denomination) || denomination >= msgCodes::COIN_KEYS ||
        fields[3].size() != 2 * coinIdent::SERIAL_SIZE)
        return false;
    const auto serial = byteUtil::FromHex(fields[3]);
    if (!serial || byteUtil::ToHex(*serial) != fields[3])
        return false;
    coin.denomination = static_cast<std::uint8_t>(denomination);
    std::copy(serial->begin(), serial->end(), coin.serial.begin());
    return true;
}

} // namespace

spentRegister::spentRegister(const std::filesystem::path& file) {
    const std::string name = file.string();
    const bool existed = std::filesystem::exists(file);
    fd = open(file.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Failure(name, std::string("cannot open: ") + std::strerror(errno));
    try {
        if (flock(fd, LOCK_EX | LOCK_NB) < 0)
            throw Failure(name, "in use by another bank");
        if (!existed)
            SyncFolder(file);
        Load(name);
    } catch (...) {
        close(fd);
        throw;
    }
}

spentRegister::~spentRegister() {
    close(fd);
}

void spentRegister::Load(const std::string& name) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure(name, std::string("cannot read: ") + std::strerror(errno));
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t whole = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    if (whole != text.size()) {
        if (ftruncate(fd, static_cast<off_t>(whole)) < 0 || fsync(fd) < 0)
            throw Failure(name, std::string("cannot cut off an incomplete last line: ") +
                                    std::strerror(errno));
        droppedTail = true;
    }
    size = static_cast<off_t>(whole);
    std::size_t at = 0;
    for (int number = 1; at < whole; ++number) {
        const std::size_t end = text.find('\n', at);
        std::uint32_t transaction = 0;
        coinIdent coin;
        if (!ParseLine(std::string_view(text).substr(at, end - at), transaction, coin))
            throw Failure(name, "line " + std::to_string(number) + " is damaged");
        spent.insert(coin);
        if (transaction >= nextTransaction)
            nextTransaction = transaction + 1;
        at = end + 1;
    }
}

spentRegister::claimResult spentRegister::Claim(const std::vector<coinIdent>& coins,
                                                std::uint32_t shopId, std::uint32_t& transaction) {
    const std::lock_guard<std::mutex> hold(lock);
    std::set<coinIdent> own;
    for (const coinIdent& coin : coins) {
        if (spent.count(coin) != 0 || !own.insert(coin).second)
            return claimResult::SPENT;
    }
    for (const coinIdent& coin : coins) {
        if (claimed.count(coin) != 0)
            return claimResult::IN_USE;
    }
    while (nextTransaction == 0 || claims.count(nextTransaction) != 0)
        ++nextTransaction;
    transaction = nextTransaction++;
    claimed.insert(own.begin(), own.end());
    claims[transaction] = claim{shopId, coins};
    return claimResult::CLAIMED;
}

bool spentRegister::Commit(std::uint32_t transaction) {
    const std::lock_guard<std::mutex> hold(lock);
    const auto found = claims.find(transaction);
    if (found == claims.end())
        return false;
    std::string lines;
    for (const coinIdent& coin : found->second.coins) {
        lines += std::to_string(transaction) + " " + std::to_string(found->second.shopId) + " " +
                 std::to_string(coin.denomination) + " " + coin.SerialText() + "\n";
    }
    std::size_t written = 0;
    bool good = true;
    while (written < lines.size()) {
        const ssize_t n = write(fd, lines.data() + written, lines.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            good = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    good = good && fsync(fd) == 0;
    for (const coinIdent& coin : found->second.coins)
        claimed.erase(coin);
    if (!good) {
        if (ftruncate(fd, size) == 0)
            fsync(fd);
        claims.erase(found);
        return false;
    }
    size += static_cast<off_t>(lines.size());
    spent.insert(found->second.coins.begin(), found->second.coins.end());
    claims.erase(found);
    return true;
}

void spentRegister::Release(std::uint32_t transaction) {
    const std::lock_guard<std::mutex> hold(lock);
    const auto found = claims.find(transaction);
    if (found == claims.end())
        return;
    for (const coinIdent& coin : found->second.coins)
        claimed.erase(coin);
    claims.erase(found);
}

std::size_t spentRegister::SpentCount() const {
    const std::lock_guard<std::mutex> hold(lock);
    return spent.size();
}
