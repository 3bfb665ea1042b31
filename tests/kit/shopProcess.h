#pragma once

#include "childProcess.h"
#include "scratchFolder.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A working folder for the shop, removed at the end, and the real `kestrane`
// process started in it, with its standard output (activity lines) and
// standard error (operator texts) read line by line.
class shopProcess {
public:
    shopProcess() = default;

    // Writes the start-up files: the key files of the payment vectors, and
    // the address files naming the bank at 127.0.0.1:`bankPort` and the
    // shop's port.
    void WriteVectorKeys() const;
    void WriteAddresses(unsigned int bankPort, unsigned int listenPort = 0) const;
    void WriteFile(const std::string& name, const std::string& bytes) const;
    // Copies the shop's key files (kestpv.rsa, bankpub.rsa) from a folder
    // that kestrane-keygen made.
    void CopyKeysFrom(const std::filesystem::path& world) const;

    // The program started: the shop of this build unless set before Start.
    std::string program = programPaths::SHOP;
    // Starts the program with `args` (default --headless).
    void Start(const std::vector<std::string>& args = {"--headless"});
    // Starts it and waits for "Listening on port N"; returns N, or 0 when the
    // process says something else first or ends.
    unsigned int StartListening();

    // The next activity line, or the next operator text.
    std::optional<std::string> NextActivity() { return process.NextLine(); }
    std::optional<std::string> NextMessage() { return process.NextErrorLine(); }
    // The next `count` activity lines (fewer if the stream ends or the guard runs out).
    std::vector<std::string> NextActivities(std::size_t count);

    // Sends SIGTERM and returns the exit status (as childProcess::Wait).
    int Stop();
    // Waits for the process to end by itself; status as for Stop.
    int WaitExit() { return process.Wait(); }

    // The rest of standard output / standard error once the process has ended.
    std::vector<std::string> RestOfActivities() { return process.RestOfLines(); }
    std::vector<std::string> RestOfMessages() { return process.RestOfErrorLines(); }

    // The records of log.kst as (logged text) in file order; empty when there
    // is no log.
    std::vector<std::string> LoggedTexts() const;

private:
    scratchFolder scratch;

public:
    const std::filesystem::path folder = scratch.path;
    childProcess process; // ends before its folder is removed
};
