#include "shell/addrFile.h"

#include <algorithm>
#include <fstream>

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void SkipSpace(std::istream& in) {
    while (IsSpace(in.peek())) {
        in.get();
    }
}

// Reads up to `maxChars` characters of the current line. The line end (LF,
// or CR LF, or a CR that ends the file) is consumed and not stored; when the
// field fills up first, the rest of the line stays in the stream.
std::string ReadField(std::istream& in, std::size_t maxChars) {
    using traits = std::istream::traits_type;
    std::string field;
    while (field.size() < maxChars) {
        const int c = in.get();
        if (c == traits::eof() || c == '\n') {
            break;
        }
        if (c == '\r') {
            const int next = in.peek();
            if (next == traits::eof() || next == '\n') {
                in.get();
                break;
            }
        }
        field.push_back(traits::to_char_type(c));
    }
    return field;
}

} // namespace

addrFile::addrFile(std::istream& in) {
    SkipSpace(in);
    address = ReadField(in, ADDRESS_FIELD_MAX);
    SkipSpace(in);
    portField = ReadField(in, PORT_FIELD_MAX);
}

std::optional<addrFile> addrFile::Load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return std::nullopt;
    }
    addrFile fields(in);
    if (in.bad()) {
        return std::nullopt;
    }
    return fields;
}

std::int32_t addrFile::ConvertPort(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && IsSpace(static_cast<unsigned char>(field[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    // A port field has at most 7 characters, so its value always fits; the
    // cap keeps a longer argument from overflowing all the same.
    std::int64_t value = 0;
    for (; i < field.size() && IsDigit(field[i]); ++i) {
        value = std::min<std::int64_t>(value * 10 + (field[i] - '0'), INT32_MAX);
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}
