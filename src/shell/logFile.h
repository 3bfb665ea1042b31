#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "shell/logRecord.h"

// The payment log "log.kst": append-only records of payment outcomes, written
// by many session threads and possibly by several shop processes sharing the
// folder. Each record reaches the file whole, in one append, or not at all.
// No file is held open between writes.
//
// Durability: Write returns true only once its record is on disk, that is
// after an fdatasync of the file that began after the record was appended.
// Sessions that log at the same time share such a sync (group commit): while
// one thread syncs, the others wait, and those whose records were in the file
// before that sync began need none of their own.
class logFile {
public:
    static constexpr const char* FILE_NAME = "log.kst";

    // The log in `folder`, the working folder when empty. Touches no file.
    explicit logFile(std::filesystem::path folder = {});
    logFile(const logFile&) = delete;
    logFile& operator=(const logFile&) = delete;

    // Appends a record of `text` made at `time`, now when not given. True
    // when the record is in the file and flushed to disk. Otherwise the
    // operator is told what went wrong and what the record held, and the
    // result is false; a record that could not be appended whole is taken
    // back out of the file (the operator hears if it cannot be). Never throws.
    bool Write(const std::string& text, std::optional<std::time_t> time = std::nullopt);

private:
    // The outcome of one append: an open file to flush, or why it failed.
    struct appendResult;
    appendResult Append(const logRecord& record);
    bool Flush(appendResult result, const logRecord& record);
    bool Sync(const appendResult& result);

    std::mutex fileLock;
    std::filesystem::path path;
    std::atomic<std::uint64_t> appended{0}; // records appended; raised under fileLock
    std::mutex syncLock;
    std::uint64_t synced = 0; // records known on disk, guarded by syncLock
};
