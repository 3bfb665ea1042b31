#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Paths of the built programs.
struct programPaths {
    static const char* const SHOP;
    static const char* const BANK;
    static const char* const CONSUMER;
    static const char* const KEYGEN;
    static const char* const LOG;
};

// A program (the shop or a companion tool) run as a child process in a folder,
// for tests and the load generator. Its standard output and standard error are
// read through pipes as they come, so a caller can wait for a line such as
// "Listening on port N"; the text read so far is kept. Every wait is bounded
// by GUARD, which only fails a hung test: nothing waits for time to pass.
class childProcess {
public:
    static constexpr std::chrono::seconds GUARD{60};

    childProcess() = default;
    // Starts `program` with `args` in `folder`; standard input is /dev/null.
    childProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& folder);
    // Kills (SIGKILL) and reaps a process still running.
    ~childProcess();
    childProcess(const childProcess&) = delete;
    childProcess& operator=(const childProcess&) = delete;

    void Start(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& folder);
    bool Started() const { return pid > 0; }
    pid_t Pid() const { return pid; }

    // The next line of standard output (or of standard error) that no earlier
    // call went past, without its line feed; nothing when the stream ends
    // first or the guard runs out.
    std::optional<std::string> NextLine() { return NextOf(out, ""); }
    std::optional<std::string> NextErrorLine() { return NextOf(err, ""); }
    // As NextLine, skipping the lines that do not start with `prefix`.
    std::optional<std::string> WaitForLine(const std::string& prefix) {
        return NextOf(out, prefix);
    }
    std::optional<std::string> WaitForErrorLine(const std::string& prefix) {
        return NextOf(err, prefix);
    }
    // N of the next line "<what> on port N" on standard output (e.g.
    // "Payments"); 0 when none comes.
    std::uint16_t Port(const std::string& what);
    // The lines not yet read, up to the end of the stream.
    std::vector<std::string> RestOfLines() { return RestOf(out); }
    std::vector<std::string> RestOfErrorLines() { return RestOf(err); }

    // From now on both streams are read and dropped on a thread of the
    // object's own, so that a long run never blocks on a full pipe. No line
    // is read after this.
    void Discard();

    void Signal(int number);
    // Waits for the process to end, reading the rest of its output. Returns
    // its exit status, 128 + the signal that ended it, or -1 when it does not
    // end within the guard.
    int Wait();

    // Everything read so far from standard output / standard error.
    const std::string& Output() const { return out.text; }
    const std::string& Errors() const { return err.text; }

private:
    struct stream {
        int fd = -1;
        std::string text;
        std::size_t scanned = 0;
        bool ended = false;
    };

    std::optional<std::string> NextOf(stream& which, const std::string& prefix);
    std::vector<std::string> RestOf(stream& which);
    // Reads what either stream holds, waiting until `deadline` for more;
    // false when both have ended or at the deadline.
    bool ReadMore(std::chrono::steady_clock::time_point deadline);

    pid_t pid = -1;
    std::optional<int> status;
    stream out;
    stream err;
    std::thread discarder;
};

// What a program run to its end did.
struct toolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` in `folder` to its end (bounded by the guard).
toolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& folder);
