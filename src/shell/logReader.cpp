#include "shell/logReader.h"

#include <array>
#include <fstream>

namespace {

constexpr std::array<std::string_view, 12> MONTHS = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// The string at `pos`: its bytes, or nothing when its length prefix or its
// bytes run past the end.
struct stringRead {
    bool whole = false;
    std::string_view text;
    std::size_t next = 0; // first byte after the string
};

std::uint64_t LittleEndian(std::string_view bytes, std::size_t pos, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
    }
    return value;
}

stringRead ReadString(std::string_view bytes, std::size_t pos) {
    stringRead read;
    const std::size_t left = bytes.size() - pos;
    std::size_t prefix = 1;
    if (left < prefix) {
        return read;
    }
    std::uint64_t n = static_cast<unsigned char>(bytes[pos]);
    if (n == 0xFF) {
        prefix = 3;
        if (left < prefix) {
            return read;
        }
        n = LittleEndian(bytes, pos + 1, 2);
        if (n == 0xFFFF) {
            prefix = 7;
            if (left < prefix) {
                return read;
            }
            n = LittleEndian(bytes, pos + 3, 4);
        }
    }
    if (n > left - prefix) {
        return read;
    }
    read.whole = true;
    read.text = bytes.substr(pos + prefix, n);
    read.next = pos + prefix + n;
    return read;
}

// Reads a number of exactly `width` digits at `pos` of `text`.
bool Digits(std::string_view text, std::size_t pos, std::size_t width, int& value) {
    if (pos + width > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// The shortest and the longest time text that a year of 4 to 10 digits gives.
constexpr std::size_t TIME_TEXT_MIN = 22;
constexpr std::size_t TIME_TEXT_MAX = 34;

// A record at `pos`: the entry, or why there is none there. With `anchor`
// set only the time text is checked, and it must not be empty: enough to
// tell where a record starts after damage.
struct recordRead {
    bool ok = false;
    bool pastEnd = false;
    std::string problem;
    logEntry entry;
};

recordRead ReadRecord(std::string_view bytes, std::size_t pos, bool anchor) {
    recordRead read;
    const stringRead time = ReadString(bytes, pos);
    if (!time.whole) {
        read.pastEnd = true;
        read.problem = "the time text runs past the end of the file";
        return read;
    }
    if (time.text.empty() ? anchor : !logReader::ParseTimeText(time.text)) {
        read.problem = "no time text where a record should start";
        return read;
    }
    if (anchor) {
        read.ok = true;
        return read;
    }
    const stringRead text = ReadString(bytes, time.next);
    if (!text.whole) {
        read.pastEnd = true;
        read.problem = "the logged text runs past the end of the file";
        return read;
    }
    if (time.text.empty() && text.text.empty()) {
        read.problem = "an empty record";
        return read;
    }
    read.ok = true;
    read.entry.offset = pos;
    read.entry.size = text.next - pos;
    read.entry.timeText = time.text;
    read.entry.text = text.text;
    return read;
}

} // namespace

std::vector<logEntry> logReader::Parse(std::string_view bytes) {
    std::vector<logEntry> entries;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        recordRead read = ReadRecord(bytes, pos, false);
        if (read.ok) {
            pos += read.entry.size;
            entries.push_back(std::move(read.entry));
            continue;
        }
        std::size_t next = pos + 1;
        while (next < bytes.size() && !ReadRecord(bytes, next, true).ok) {
            ++next;
        }
        logEntry bad;
        bad.what = next == bytes.size() && read.pastEnd ? logEntry::kind::TRUNCATED
                                                        : logEntry::kind::DAMAGED;
        bad.offset = pos;
        bad.size = next - pos;
        bad.text = std::move(read.problem);
        entries.push_back(std::move(bad));
        pos = next;
    }
    return entries;
}

std::optional<std::vector<logEntry>> logReader::ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return Parse(bytes);
}

std::optional<logTime> logReader::ParseTimeText(std::string_view text) {
    if (text.size() < TIME_TEXT_MIN || text.size() > TIME_TEXT_MAX) {
        return std::nullopt;
    }
    logTime time;
    if (!Digits(text, 0, 2, time.hour) || text[2] != ' ' || !Digits(text, 3, 2, time.minute) ||
        text[5] != ' ' || !Digits(text, 6, 2, time.second) || text.substr(8, 2) != ", " ||
        time.hour > 23 || time.minute > 59 || time.second > 60) {
        return std::nullopt;
    }
    std::size_t pos = 10;
    for (std::size_t m = 0; m < MONTHS.size() && time.month == 0; ++m) {
        const std::size_t end = pos + MONTHS[m].size();
        if (end < text.size() && text.substr(pos, MONTHS[m].size()) == MONTHS[m] &&
            text[end] == ' ') {
            time.month = static_cast<int>(m) + 1;
            pos = end + 1;
        }
    }
    if (time.month == 0 || !Digits(text, pos, 2, time.day) || time.day < 1 || time.day > 31 ||
        text.substr(pos + 2, 2) != ", ") {
        return std::nullopt;
    }
    pos += 4;
    const std::size_t yearDigits = text.size() - pos;
    if (yearDigits < 4) {
        return std::nullopt;
    }
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9') {
            return std::nullopt;
        }
        time.year = time.year * 10 + (text[pos] - '0');
    }
    return time;
}
