#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Reads whole lines from a pipe, each wait bounded by a guard that only fails
// a hung test.
class lineReader {
public:
    explicit lineReader(int descriptor = -1) : fd(descriptor) {}
    ~lineReader();
    lineReader(lineReader&& other) noexcept;
    lineReader& operator=(lineReader&& other) noexcept;
    lineReader(const lineReader&) = delete;
    lineReader& operator=(const lineReader&) = delete;

    // The next line without its line feed; nothing at the end of the stream
    // or when the guard runs out.
    std::optional<std::string> NextLine();
    // Every line up to the end of the stream.
    std::vector<std::string> RestOfLines();

private:
    int fd;
    std::string pending;
    bool ended = false;
};

// A working folder for the shop, removed at the end, and the real
// `kestrane --headless` process started in it, with its standard output
// (activity lines) and standard error (operator texts) read line by line.
class shopProcess {
public:
    shopProcess();
    ~shopProcess(); // kills a process still running
    shopProcess(const shopProcess&) = delete;
    shopProcess& operator=(const shopProcess&) = delete;

    // Writes the start-up files: the key files of the payment vectors, and
    // the address files naming the bank at 127.0.0.1:`bankPort` and the
    // shop's port.
    void WriteVectorKeys() const;
    void WriteAddresses(unsigned int bankPort, unsigned int listenPort = 0) const;
    void WriteFile(const std::string& name, const std::string& bytes) const;

    // Starts the program with `args` (default --headless).
    void Start(const std::vector<std::string>& args = {"--headless"});
    // Starts it and waits for "Listening on port N"; returns N, or 0 when the
    // process says something else first or ends.
    unsigned int StartListening();

    // The next activity line, or the next operator text.
    std::optional<std::string> NextActivity() { return out.NextLine(); }
    std::optional<std::string> NextMessage() { return err.NextLine(); }
    // The next `count` activity lines (fewer if the stream ends or the guard runs out).
    std::vector<std::string> NextActivities(std::size_t count);

    // Sends SIGTERM and returns the exit status (-1 if the process did not
    // exit normally, or not within the guard).
    int Stop();
    // Waits for the process to end by itself; status as for Stop.
    int WaitExit();

    // The rest of standard output / standard error once the process has ended.
    std::vector<std::string> RestOfActivities() { return out.RestOfLines(); }
    std::vector<std::string> RestOfMessages() { return err.RestOfLines(); }

    // The records of log.kst as (logged text) in file order; empty when there
    // is no log.
    std::vector<std::string> LoggedTexts() const;

    std::filesystem::path folder;

private:
    pid_t pid = -1;
    lineReader out;
    lineReader err;
};

constexpr std::chrono::seconds E2E_GUARD{30};
