// Log files read back by logReader: the entries cover the file exactly, in
// order, and only the last may be a truncated record.

#include "fuzzCheck.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"
#include "shell/logReader.h"

#include <string_view>

int LogReaderTarget(const std::uint8_t* data, std::size_t size) {
    fuzzWorld::Get();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<logEntry> entries = logReader::Parse(bytes);
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const logEntry& entry = entries[i];
        FUZZ_CHECK(entry.offset == at && entry.size > 0);
        at += entry.size;
        if (entry.what == logEntry::kind::RECORD) {
            FUZZ_CHECK(entry.timeText.size() + entry.text.size() + 2 <= entry.size);
            const auto time = logReader::ParseTimeText(entry.timeText);
            FUZZ_CHECK(entry.timeText.empty() || time);
            if (time) {
                FUZZ_CHECK(time->month >= 1 && time->month <= 12);
                FUZZ_CHECK(time->day >= 1 && time->day <= 31);
            }
        }
        FUZZ_CHECK(entry.what != logEntry::kind::TRUNCATED || i + 1 == entries.size());
    }
    FUZZ_CHECK(at == size);
    return 0;
}
