#include "shopProcess.h"

#include "paymentVectors.h"
#include "shell/logReader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace {
using clock = std::chrono::steady_clock;

int RemainingMs(clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int StatusOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

lineReader::~lineReader() {
    if (fd >= 0) {
        ::close(fd);
    }
}

lineReader::lineReader(lineReader&& other) noexcept
    : fd(std::exchange(other.fd, -1)), pending(std::move(other.pending)), ended(other.ended) {}

lineReader& lineReader::operator=(lineReader&& other) noexcept {
    std::swap(fd, other.fd);
    std::swap(pending, other.pending);
    std::swap(ended, other.ended);
    return *this;
}

std::optional<std::string> lineReader::NextLine() {
    const auto deadline = clock::now() + E2E_GUARD;
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        if (ended || fd < 0) {
            return std::nullopt;
        }
        pollfd probe{fd, POLLIN, 0};
        const int ready = ::poll(&probe, 1, RemainingMs(deadline));
        if (ready == 0) {
            return std::nullopt; // guard ran out
        }
        char chunk[4096];
        const ssize_t n = ready > 0 ? ::read(fd, chunk, sizeof chunk) : -1;
        if (n > 0) {
            pending.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ended = true;
        }
    }
}

std::vector<std::string> lineReader::RestOfLines() {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = NextLine()) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

shopProcess::shopProcess() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp");
    }
    folder = pattern;
}

shopProcess::~shopProcess() {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void shopProcess::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
}

void shopProcess::WriteVectorKeys() const {
    const auto write = [&](const char* name, const char* field) {
        const paymentVectors::bytes b =
            paymentVectors::FromHex(paymentVectors::Data()[field].get<std::string>());
        WriteFile(name, std::string(b.begin(), b.end()));
    };
    write("kestpv.rsa", "kestpv_rsa_hex");
    write("bankpub.rsa", "bankpub_rsa_hex");
}

void shopProcess::WriteAddresses(unsigned int bankPort, unsigned int listenPort) const {
    WriteFile("ipaddr.bnk", "127.0.0.1\n" + std::to_string(bankPort) + "\n");
    WriteFile("ipaddr.kst", "127.0.0.1\n" + std::to_string(listenPort) + "\n");
}

void shopProcess::Start(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> words{KESTRANE_BIN};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int failed =
        ::posix_spawn(&pid, KESTRANE_BIN, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out = lineReader(outPipe[0]);
    err = lineReader(errPipe[0]);
    if (failed != 0) {
        pid = -1;
        throw std::runtime_error("posix_spawn");
    }
}

unsigned int shopProcess::StartListening() {
    Start();
    const std::optional<std::string> line = err.NextLine();
    const std::string prefix = "Listening on port ";
    if (!line || line->rfind(prefix, 0) != 0) {
        return 0;
    }
    return static_cast<unsigned int>(std::stoul(line->substr(prefix.size())));
}

std::vector<std::string> shopProcess::NextActivities(std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
        std::optional<std::string> line = out.NextLine();
        if (!line) {
            break;
        }
        lines.push_back(std::move(*line));
    }
    return lines;
}

int shopProcess::Stop() {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
    }
    return WaitExit();
}

int shopProcess::WaitExit() {
    if (pid <= 0) {
        return -1;
    }
    // A process descriptor becomes readable when the process ends.
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (handle < 0) {
        return -1;
    }
    pollfd probe{handle, POLLIN, 0};
    const int ready = ::poll(&probe, 1, RemainingMs(clock::now() + E2E_GUARD));
    ::close(handle);
    int status = 0;
    if (ready <= 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1; // the destructor kills it
    }
    pid = -1;
    return StatusOf(status);
}

std::vector<std::string> shopProcess::LoggedTexts() const {
    std::vector<std::string> texts;
    const auto entries = logReader::ReadFile(folder / "log.kst");
    if (entries) {
        for (const logEntry& entry : *entries) {
            texts.push_back(entry.what == logEntry::kind::RECORD ? entry.text : "<damaged>");
        }
    }
    return texts;
}
