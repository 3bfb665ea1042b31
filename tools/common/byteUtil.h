#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A block of bytes as the protocol carries it.
using bytes = std::vector<std::uint8_t>;

// Small conversions of the protocol's byte blocks: 32-bit little-endian
// numbers and hexadecimal text.
namespace byteUtil {

inline bytes Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

inline void PutLe32(bytes& out, std::uint32_t value) {
    const bytes b = Le32(value);
    out.insert(out.end(), b.begin(), b.end());
}

// Reads 4 bytes.
inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Lower-case hexadecimal digits, two per byte.
std::string ToHex(const std::uint8_t* data, std::size_t size);
inline std::string ToHex(const bytes& data) {
    return ToHex(data.data(), data.size());
}
// The bytes of an even number of hexadecimal digits (either case); nothing
// for any other text.
std::optional<bytes> FromHex(std::string_view text);

// The text of an error message as it came: the bytes up to the first zero
// byte, other unprintable bytes shown as \xHH.
std::string PrintableText(const bytes& data);

} // namespace byteUtil
