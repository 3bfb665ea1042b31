#pragma once

#include <cryptopp/cryptlib.h>
#include <cryptopp/integer.h>

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

// What identifies one coin: its denomination and its serial number.
struct coinIdent {
    static constexpr std::size_t SERIAL_SIZE = 24;

    std::uint8_t denomination = 0;
    std::array<std::uint8_t, SERIAL_SIZE> serial{};

    std::string SerialText() const; // 48 lower-case hex digits
    auto operator<=>(const coinIdent&) const = default;
};

// The number m that the bank signs for a coin. A coin of denomination d is
// the bank's signature s = m^x mod n under coin key d (x the key's private
// exponent), and the public function of that key gives m back. m is 64 bytes
// read big-endian:
//
//   byte  0       00 (so m < n for every 512-bit modulus)
//   bytes 1..4    the tag "KSTC"
//   byte  5       the denomination d, 0 to 9
//   bytes 6..7    00 00
//   bytes 8..31   the serial number, 24 random bytes chosen by the wallet
//   bytes 32..63  SHA-256 of bytes 0..31
//
// A number that is not of this form is not a coin: the public function of a
// random number, of a product of coins or of a coin under another key's
// exponent fails the tag, the zero bytes or the hash.
class coinFormat {
public:
    static constexpr std::size_t MESSAGE_SIZE = 64;

    static CryptoPP::Integer Message(const coinIdent& coin);
    // The coin that m stands for, or nothing when m is not of the form above.
    static std::optional<coinIdent> Parse(const CryptoPP::Integer& m);
    // A new coin of denomination d with a serial number from `rng`.
    static coinIdent NewCoin(std::uint8_t denomination, CryptoPP::RandomNumberGenerator& rng);
};
