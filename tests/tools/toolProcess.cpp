#include "toolProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>

extern char** environ;

namespace {

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

int DecodeStatus(int raw) {
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

} // namespace

toolProcess::toolProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& folder) {
    static std::atomic<int> serial{0};
    errFile = folder / ("stderr-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        pid = -1;
        close(pipeFds[0]);
        return;
    }
    outFd = pipeFds[0];
}

toolProcess::~toolProcess() {
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        int raw = 0;
        waitpid(pid, &raw, 0);
    }
    if (outFd >= 0)
        close(outFd);
    std::error_code ignored;
    std::filesystem::remove(errFile, ignored);
}

bool toolProcess::ReadMore(std::chrono::steady_clock::time_point deadline) {
    if (outFd < 0 || outEnded)
        return false;
    pollfd ready{outFd, POLLIN, 0};
    const int polled = poll(&ready, 1, MillisecondsUntil(deadline));
    if (polled < 0 && errno == EINTR)
        return true;
    if (polled <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = read(outFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0) {
        outEnded = true;
        return false;
    }
    out.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> toolProcess::WaitForLine(const std::string& prefix) {
    const auto deadline = std::chrono::steady_clock::now() + GUARD;
    for (;;) {
        for (std::size_t end; (end = out.find('\n', scanned)) != std::string::npos;) {
            const std::string line = out.substr(scanned, end - scanned);
            scanned = end + 1;
            if (line.starts_with(prefix))
                return line;
        }
        if (!ReadMore(deadline))
            return std::nullopt;
    }
}

std::uint16_t toolProcess::Port(const std::string& what) {
    const std::string prefix = what + " on port ";
    const auto line = WaitForLine(prefix);
    if (!line)
        return 0;
    try {
        const unsigned long port = std::stoul(line->substr(prefix.size()));
        return port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void toolProcess::Signal(int number) {
    if (pid > 0 && !status)
        kill(pid, number);
}

int toolProcess::Wait() {
    if (pid <= 0)
        return -1;
    if (!status) {
        const auto deadline = std::chrono::steady_clock::now() + GUARD;
        while (ReadMore(deadline)) {
        }
        if (!outEnded)
            return -1; // still writing, or silent, at the guard: a hung test
        int raw = 0;
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        status = DecodeStatus(raw);
    }
    return *status;
}

std::string toolProcess::Errors() const {
    std::ifstream in(errFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

toolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& folder) {
    toolProcess process(program, args, folder);
    toolRun run;
    run.status = process.Wait();
    run.out = process.Output();
    run.err = process.Errors();
    return run;
}
