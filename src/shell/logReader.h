#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One piece of a log file, in file order: a whole record, or a run of bytes
// that holds no record (damaged), or an incomplete last record (truncated).
struct logEntry {
    enum class kind { RECORD, DAMAGED, TRUNCATED };
    kind what = kind::RECORD;
    std::uint64_t offset = 0; // of its first byte in the file
    std::uint64_t size = 0;   // bytes it covers
    std::string timeText;     // a record's time text
    std::string text;         // a record's logged text; otherwise what is wrong
};

// The fields of a record's time text "13 05 09, March 02, 1998".
struct logTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int month = 0; // 1..12
    int day = 0;
    long long year = 0;
};

// Reads "log.kst" back record by record, by the length prefixes. A record is
// taken as whole when its time text is a time text (or it is empty and the
// logged text is not) and both strings end inside the file. Past a bad spot it
// looks for the next byte that starts a time text and goes on from there, so
// that one damaged record does not hide the good ones after it.
class logReader {
public:
    static std::vector<logEntry> Parse(std::string_view bytes);

    // Reads and parses the file at `path`; nothing when it cannot be read.
    static std::optional<std::vector<logEntry>> ReadFile(const std::filesystem::path& path);

    // The fields of a time text; nothing when it is not one.
    static std::optional<logTime> ParseTimeText(std::string_view text);
};
