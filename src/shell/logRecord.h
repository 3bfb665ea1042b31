#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// One record of the payment log: when it was made and the logged text. On
// disk it is two strings, the local time as text and the logged text, each
// with a length prefix (see AppendString); nothing else.
class logRecord {
public:
    static constexpr std::size_t TIME_TEXT_BUFFER = 128;

    logRecord() = default;
    logRecord(std::time_t madeAt, std::string logged);

    // The record's bytes as they go to the file.
    std::string Serialize() const;

    // `time` as local time in the form "13 05 09, March 02, 1998", with
    // English month names whatever the process locale; empty when the time
    // cannot be converted.
    static std::string TimeText(std::time_t time);

    // Appends `text` with its length prefix: one byte n below 255; 0xFF and
    // n in 16 bits below 0xFFFE; else 0xFF, 0xFFFF and n in 32 bits. Numbers
    // are little-endian. Texts longer than MAX_STRING cannot be written.
    static void AppendString(std::string& out, std::string_view text);
    static constexpr std::uint64_t MAX_STRING = UINT32_MAX;

    std::time_t time = 0;
    std::string text;
};
