#include "shell/logRecord.h"

#include <locale.h>

#include <utility>

namespace {

void AppendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The "C" locale, made once, for formatting times with English names.
locale_t ClassicLocale() {
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
    return classic;
}

} // namespace

logRecord::logRecord(std::time_t madeAt, std::string logged)
    : time(madeAt), text(std::move(logged)) {}

std::string logRecord::Serialize() const {
    std::string bytes;
    const std::string timeText = TimeText(time);
    bytes.reserve(1 + timeText.size() + 9 + text.size());
    AppendString(bytes, timeText);
    AppendString(bytes, text);
    return bytes;
}

std::string logRecord::TimeText(std::time_t time) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr || ClassicLocale() == locale_t{}) {
        return {};
    }
    char buffer[TIME_TEXT_BUFFER];
    const std::size_t n =
        strftime_l(buffer, sizeof buffer, "%H %M %S, %B %d, %Y", &local, ClassicLocale());
    return std::string(buffer, n);
}

void logRecord::AppendString(std::string& out, std::string_view text) {
    const std::uint64_t n = text.size();
    if (n < 0xFF) {
        AppendLittleEndian(out, n, 1);
    } else if (n < 0xFFFE) {
        out.push_back('\xFF');
        AppendLittleEndian(out, n, 2);
    } else {
        out.push_back('\xFF');
        AppendLittleEndian(out, 0xFFFF, 2);
        AppendLittleEndian(out, n, 4);
    }
    out.append(text);
}
