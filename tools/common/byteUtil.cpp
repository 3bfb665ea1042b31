#include "common/byteUtil.h"

#include <cstdio>

namespace byteUtil {

std::string ToHex(const std::uint8_t* data, std::size_t size) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text += DIGITS[data[i] >> 4];
        text += DIGITS[data[i] & 15];
    }
    return text;
}

std::optional<bytes> FromHex(std::string_view text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0)
        return std::nullopt;
    bytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return out;
}

std::string PrintableText(const bytes& data) {
    std::string text;
    for (const std::uint8_t b : data) {
        if (b == 0)
            break;
        if (b >= 32 && b < 127) {
            text += static_cast<char>(b);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", b);
            text += escaped;
        }
    }
    return text;
}

} // namespace byteUtil
