#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A program (a companion tool, or the shop) run as a child process in a
// folder, for tests. Its standard output is read through a pipe as it comes,
// so a test can wait for a line such as "Payments on port N"; its standard
// error goes to a file in the folder. Every wait is bounded by GUARD, which
// only fails a hung test: nothing waits for time to pass.
class toolProcess {
public:
    static constexpr std::chrono::seconds GUARD{60};

    // Starts `program` with `args` in `folder`; standard input is /dev/null.
    toolProcess(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& folder);
    // Kills (SIGKILL) and reaps a process still running.
    ~toolProcess();
    toolProcess(const toolProcess&) = delete;
    toolProcess& operator=(const toolProcess&) = delete;

    bool Started() const { return pid > 0; }

    // The next line of standard output, after those that earlier waits went
    // past, that starts with `prefix`; nothing when the output ends first or
    // the guard runs out.
    std::optional<std::string> WaitForLine(const std::string& prefix);
    // N of the line "<what> on port N" (e.g. "Payments"); 0 when none comes.
    std::uint16_t Port(const std::string& what);

    void Signal(int number);
    // Waits for the process to end and reads the rest of its output. Returns
    // its exit status, 128 + the signal that ended it, or -1 when it does not
    // end within the guard.
    int Wait();

    const std::string& Output() const { return out; }
    std::string Errors() const;

private:
    // Reads what standard output holds, waiting until `deadline` for more;
    // false at its end or at the deadline.
    bool ReadMore(std::chrono::steady_clock::time_point deadline);

    pid_t pid = -1;
    int outFd = -1;
    bool outEnded = false;
    std::optional<int> status;
    std::string out;
    std::size_t scanned = 0;
    std::filesystem::path errFile;
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
