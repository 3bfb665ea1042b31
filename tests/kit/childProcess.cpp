#include "childProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

const char* const programPaths::SHOP = KESTRANE_SHOP;
const char* const programPaths::BANK = KESTRANE_BANK;
const char* const programPaths::CONSUMER = KESTRANE_CONSUMER;
const char* const programPaths::KEYGEN = KESTRANE_KEYGEN;
const char* const programPaths::LOG = KESTRANE_LOG;

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

childProcess::childProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& folder) {
    Start(program, args, folder);
}

void childProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& folder) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return;
    }
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
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    // The child starts with no signal blocked, whatever the caller's thread
    // blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(outPipe[1]);
    close(errPipe[1]);
    out.fd = outPipe[0];
    err.fd = errPipe[0];
    if (spawned != 0) {
        pid = -1;
        out.ended = err.ended = true;
    }
}

childProcess::~childProcess() {
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        int raw = 0;
        waitpid(pid, &raw, 0);
    }
    if (discarder.joinable())
        discarder.join();
    for (const int fd : {out.fd, err.fd})
        if (fd >= 0)
            close(fd);
}

bool childProcess::ReadMore(std::chrono::steady_clock::time_point deadline) {
    pollfd ready[2];
    stream* streams[2];
    nfds_t count = 0;
    for (stream* s : {&out, &err}) {
        if (s->fd >= 0 && !s->ended) {
            ready[count] = pollfd{s->fd, POLLIN, 0};
            streams[count++] = s;
        }
    }
    if (count == 0)
        return false;
    const int polled = poll(ready, count, MillisecondsUntil(deadline));
    if (polled < 0 && errno == EINTR)
        return true;
    if (polled <= 0)
        return false;
    for (nfds_t i = 0; i < count; ++i) {
        if (ready[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(ready[i].fd, buffer, sizeof buffer);
        if (n > 0)
            streams[i]->text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            streams[i]->ended = true;
    }
    return true;
}

std::optional<std::string> childProcess::NextOf(stream& which, const std::string& prefix) {
    const auto deadline = std::chrono::steady_clock::now() + GUARD;
    for (;;) {
        for (std::size_t end; (end = which.text.find('\n', which.scanned)) != std::string::npos;) {
            std::string line = which.text.substr(which.scanned, end - which.scanned);
            which.scanned = end + 1;
            if (line.starts_with(prefix))
                return line;
        }
        if (which.ended || !ReadMore(deadline))
            return std::nullopt;
    }
}

std::vector<std::string> childProcess::RestOf(stream& which) {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = NextOf(which, ""))
        lines.push_back(std::move(*line));
    return lines;
}

std::uint16_t childProcess::Port(const std::string& what) {
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

void childProcess::Discard() {
    if (discarder.joinable())
        return;
    discarder = std::thread([this] {
        char buffer[4096];
        pollfd ready[2] = {{out.fd, POLLIN, 0}, {err.fd, POLLIN, 0}};
        int open = 2;
        while (open > 0 && poll(ready, 2, -1) >= 0) {
            for (pollfd& one : ready) {
                if (one.fd >= 0 && one.revents != 0 && read(one.fd, buffer, sizeof buffer) <= 0) {
                    one.fd = -1; // ignored by poll from now on
                    --open;
                }
            }
        }
    });
}

void childProcess::Signal(int number) {
    if (pid > 0 && !status)
        kill(pid, number);
}

int childProcess::Wait() {
    if (pid <= 0)
        return -1;
    if (!status) {
        if (discarder.joinable()) {
            discarder.join(); // ends with the process's output
        } else {
            const auto deadline = std::chrono::steady_clock::now() + GUARD;
            while (ReadMore(deadline)) {
            }
            if (!out.ended || !err.ended)
                return -1; // still writing, or silent, at the guard: a hung test
        }
        int raw = 0;
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        status = DecodeStatus(raw);
    }
    return *status;
}

toolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& folder) {
    childProcess process(program, args, folder);
    toolRun run;
    run.status = process.Wait();
    run.out = process.Output();
    run.err = process.Errors();
    return run;
}
