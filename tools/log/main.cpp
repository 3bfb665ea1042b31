// kestrane-log: prints the records of a shop's payment log as readable lines
// and shows where the file is damaged or truncated.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "shell/logReader.h"
#include "shell/printable.h"

namespace {

constexpr int EXIT_WHOLE = 0;
constexpr int EXIT_DAMAGED = 1;
constexpr int EXIT_UNREADABLE = 2;

constexpr const char* USAGE = R"(Usage: kestrane-log [LOG-FILE]

Prints the records of a Kestrane payment log (default: ./log.kst), one line
each: the local time the record was made, the outcome of the payment
("success" or "failure") and its amount. A record that holds another text
shows that text in quotes, with unprintable bytes escaped.

Where the file is damaged or its last record is cut short, a line says so in
its place, with the byte offset, and the records after it are still printed.

Exit status: 0 when the file is whole, 1 when damage or truncation was found,
2 when the file cannot be read or the arguments are wrong.
)";

// "1998-03-02 13:05:09" for "13 05 09, March 02, 1998".
std::string ReadableTime(std::string_view timeText) {
    const auto time = logReader::ParseTimeText(timeText);
    if (!time) {
        return "(no time)";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02d:%02d:%02d", time->year, time->month,
                  time->day, time->hour, time->minute, time->second);
    return buffer;
}

// "success  7" for "P S 7\n", "failure  7" for "P F 7\n"; otherwise the
// text quoted.
std::string ReadableText(std::string_view text) {
    const auto quoted = [&] { return "\"" + Printable(text) + "\""; };
    if (text.size() < 6 || text.substr(0, 2) != "P " || (text[2] != 'S' && text[2] != 'F') ||
        text[3] != ' ' || text.back() != '\n') {
        return quoted();
    }
    const std::string_view amount = text.substr(4, text.size() - 5);
    const std::size_t digits = amount.front() == '-' ? 1 : 0;
    if (amount.size() == digits ||
        amount.find_first_not_of("0123456789", digits) != std::string_view::npos) {
        return quoted();
    }
    return std::string(text[2] == 'S' ? "success  " : "failure  ") + std::string(amount);
}

} // namespace

int main(int argc, char** argv) {
    std::string path = "log.kst";
    if (argc > 2) {
        std::cerr << USAGE;
        return EXIT_UNREADABLE;
    }
    if (argc == 2) {
        const std::string_view arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            std::cout << USAGE;
            return EXIT_WHOLE;
        }
        if (arg.empty() || arg.front() == '-') {
            std::cerr << "kestrane-log: unknown option " << arg << "\n\n" << USAGE;
            return EXIT_UNREADABLE;
        }
        path = arg;
    }

    errno = 0;
    const auto entries = logReader::ReadFile(path);
    if (!entries) {
        std::cerr << "kestrane-log: cannot read " << path << ": "
                  << (errno != 0 ? std::strerror(errno) : "read error") << "\n";
        return EXIT_UNREADABLE;
    }

    std::size_t records = 0;
    std::size_t problems = 0;
    for (const logEntry& entry : *entries) {
        switch (entry.what) {
        case logEntry::kind::RECORD:
            ++records;
            std::cout << ReadableTime(entry.timeText) << "  " << ReadableText(entry.text) << "\n";
            break;
        case logEntry::kind::DAMAGED:
            ++problems;
            std::cout << "damaged at byte " << entry.offset << ": " << entry.size
                      << " bytes hold no record (" << entry.text << ")\n";
            break;
        case logEntry::kind::TRUNCATED:
            ++problems;
            std::cout << "truncated at byte " << entry.offset << ": the last " << entry.size
                      << " bytes are an incomplete record (" << entry.text << ")\n";
            break;
        }
    }
    if (problems > 0) {
        std::cerr << "kestrane-log: " << path << ": " << records
                  << (records == 1 ? " record" : " records") << "; damage found at " << problems
                  << (problems == 1 ? " place\n" : " places\n");
        return EXIT_DAMAGED;
    }
    return EXIT_WHOLE;
}
