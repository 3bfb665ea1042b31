#include "shell/printable.h"

std::string Printable(std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            shown += "\\\\";
            break;
        case '"':
            shown += "\\\"";
            break;
        case '\n':
            shown += "\\n";
            break;
        case '\r':
            shown += "\\r";
            break;
        case '\t':
            shown += "\\t";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                shown.push_back(ch);
            } else {
                shown += "\\x";
                shown.push_back(HEX[c >> 4]);
                shown.push_back(HEX[c & 0xF]);
            }
        }
    }
    return shown;
}
