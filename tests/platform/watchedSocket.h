#pragma once

#include "platform/acptSocket.h"
#include "platform/strmSocket.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A stream socket for tests that records its notifications ("receive" or
// "close <err>") and the thread each was raised on.
class watchedSocket : public strmSocket {
public:
    using strmSocket::strmSocket;

    std::vector<std::string> Events() const;
    std::vector<std::thread::id> Threads() const;
    bool WaitForCount(std::size_t count) const;

protected:
    void OnReceive(int err) override;
    void OnClose(int err) override;

private:
    void Record(const std::string& event);

    mutable std::mutex lock;
    mutable std::condition_variable raised;
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;
};

// A listening socket for tests: each accept notification takes the waiting
// connection into the next of `targets` and arms that socket's arrival
// notification; the results are recorded.
class acceptProbe : public acptSocket {
public:
    using acptSocket::acptSocket;

    std::vector<strmSocket*> targets; // set before the bound thread runs

    std::vector<bool> Results() const;
    bool WaitForCount(std::size_t count) const;

protected:
    void OnAccept(int err) override;

private:
    mutable std::mutex lock;
    mutable std::condition_variable accepted;
    std::vector<bool> results;
};
