#include "shell/logFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <system_error>
#include <utility>

#include "platform/msgOperator.h"
#include "shell/printable.h"

namespace {

// Closes the descriptor it holds.
class fileHandle {
public:
    fileHandle() = default;
    explicit fileHandle(int handle) : fd(handle) {}
    fileHandle(fileHandle&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    fileHandle& operator=(fileHandle&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~fileHandle() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int Get() const { return fd; }

private:
    int fd = -1;
};

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

} // namespace

struct logFile::appendResult {
    fileHandle file;            // open when the record was appended
    std::uint64_t sequence = 0; // then its number among the records appended
    std::string error;          // why it was not, otherwise
};

logFile::logFile(std::filesystem::path folder)
    : path(folder.empty() ? std::filesystem::path(FILE_NAME) : folder / FILE_NAME) {}

bool logFile::Write(const std::string& text, std::optional<std::time_t> time) {
    try {
        logRecord record;
        appendResult result;
        {
            const std::lock_guard<std::mutex> hold(fileLock);
            record = logRecord(time.value_or(std::time(nullptr)), text);
            result = Append(record);
            if (result.error.empty()) {
                result.sequence = ++appended;
            }
        }
        return Flush(std::move(result), record);
    } catch (const std::exception& e) {
        Operator().ShowMessage(std::string("Could not write to ") + FILE_NAME + ": " + e.what());
        return false;
    }
}

// Runs under fileLock. Other shop processes are kept out by an advisory lock
// on the file for the length of the append, so that a record cut short (a
// full disk) can be taken back before anyone appends after it.
logFile::appendResult logFile::Append(const logRecord& record) {
    appendResult result;
    if (record.text.size() > logRecord::MAX_STRING) {
        result.error = "the text is too long for a record";
        return result;
    }
    const std::string bytes = record.Serialize();

    // O_NONBLOCK keeps a log that is a FIFO without a reader from blocking
    // every session; it changes nothing for a regular file.
    fileHandle file(
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
    if (file.Get() < 0) {
        result.error = ErrorText(errno);
        return result;
    }
    while (::flock(file.Get(), LOCK_EX) == -1 && errno == EINTR) {
    }
    struct stat before {};
    const bool regular = ::fstat(file.Get(), &before) == 0 && S_ISREG(before.st_mode);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            result.error = ErrorText(n == 0 ? EIO : errno);
            break;
        }
    }
    if (!result.error.empty() && done > 0 && regular) {
        // Take back the part that did get in, unless something else has been
        // appended since.
        struct stat after {};
        if (::fstat(file.Get(), &after) != 0 ||
            after.st_size != before.st_size + static_cast<off_t>(done) ||
            ::ftruncate(file.Get(), before.st_size) != 0) {
            result.error += "; part of the record is left at the end of the file";
        }
    }
    ::flock(file.Get(), LOCK_UN);
    if (result.error.empty()) {
        result.file = std::move(file);
    }
    return result;
}

// Makes sure that the appended record is on disk: by an fdatasync of its own
// unless one that began after the append has already ended. False (errno
// set) when the sync failed.
bool logFile::Sync(const appendResult& result) {
    const std::lock_guard<std::mutex> hold(syncLock);
    if (synced >= result.sequence) {
        return true;
    }
    const std::uint64_t covered = appended; // every record counted is in the file
    if (::fdatasync(result.file.Get()) != 0 && errno != EINVAL) { // EINVAL: not a file
        return false;
    }
    synced = covered;
    return true;
}

// Runs without fileLock: flushes the appended record to disk, or tells the
// operator (who may keep this thread waiting) what was not saved.
bool logFile::Flush(appendResult result, const logRecord& record) {
    std::string failure;
    if (!result.error.empty()) {
        failure = "Could not write to " + path.string() + ": " + result.error +
                  ". This record was not saved: ";
    } else if (!Sync(result)) {
        failure = "Could not flush " + path.string() + " to disk: " + ErrorText(errno) +
                  ". This record may be lost: ";
    } else {
        return true;
    }
    Operator().ShowMessage(failure + logRecord::TimeText(record.time) + " \"" +
                           Printable(record.text) + "\"");
    return false;
}
