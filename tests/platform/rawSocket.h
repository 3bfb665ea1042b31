#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Plain POSIX TCP ends on 127.0.0.1 for tests: the peers of the code under test,
// built without it. Every operation blocks.
class rawSocket {
public:
    explicit rawSocket(int descriptor = -1) : fd(descriptor) {}
    ~rawSocket();
    rawSocket(rawSocket&& other) noexcept;
    rawSocket& operator=(rawSocket&& other) noexcept;
    rawSocket(const rawSocket&) = delete;
    rawSocket& operator=(const rawSocket&) = delete;

    static rawSocket ConnectTo(unsigned int port);

    void SendAll(const std::vector<std::uint8_t>& bytes) const;
    // Reads until `count` bytes or the end of the stream.
    std::vector<std::uint8_t> ReadExact(std::size_t count) const;
    std::vector<std::uint8_t> ReadToEnd() const;
    std::uint16_t LocalPort() const;
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

    int fd;
};

// A listening socket on 127.0.0.1 and a port the system chooses.
class rawListener {
public:
    rawListener();
    ~rawListener();
    rawListener(const rawListener&) = delete;
    rawListener& operator=(const rawListener&) = delete;

    unsigned int Port() const { return port; }
    rawSocket Accept() const;

private:
    int fd;
    unsigned int port;
};

// Blocks until the kernel no longer lists a TCP connection on local port
// `port` (for instance once a reset has been processed on both ends).
void WaitUntilGone(std::uint16_t port);
