#pragma once

#include "common/byteUtil.h"
#include "common/coinFormat.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

// One coin in a wallet: what identifies it and the bank's signature that is
// the coin, 64 bytes big-endian.
struct walletCoin {
    coinIdent ident;
    bytes value;

    std::uint64_t Worth() const { return std::uint64_t{1} << ident.denomination; }
};

// The consumer's wallet, a text file:
//
//   kestrane-wallet 1
//   <denomination> <serial, 48 hex digits> <coin, 128 hex digits>
//   ...
//
// one line per coin, in the order the coins came. The file is replaced whole
// on every change (written beside it, synced, then renamed over it), so it
// holds either the old coins or the new ones. One process at a time.
class walletFile {
public:
    static constexpr const char* HEADER = "kestrane-wallet 1";

    // The wallet in `file`; an empty wallet when the file does not exist.
    // Throws std::runtime_error for a file that cannot be read or is damaged.
    static walletFile Load(const std::filesystem::path& file);
    // Throws std::runtime_error when the file cannot be written.
    void Save(const std::filesystem::path& file) const;

    std::vector<walletCoin> coins;

    std::uint64_t Worth() const;
    // Indexes of coins adding up to exactly `amount` (the largest coins
    // first), or nothing when no choice of coins does.
    std::optional<std::vector<std::size_t>> Pick(std::uint64_t amount) const;
    // Removes the coins at these indexes.
    void Remove(std::vector<std::size_t> indexes);
};
