#pragma once

#include <cstdint>
#include <optional>
#include <vector>

using byteVec = std::vector<std::uint8_t>;

// One frame as a peer of the shop sees it: the header codes, the data and
// the whole frame as it travelled.
struct wireFrame {
    std::uint8_t type = 0;
    std::uint8_t step = 0;
    byteVec data;
    byteVec wire;
};

// The frame the shop's peers put on the wire for (type, step, data).
byteVec FrameOf(std::uint8_t type, std::uint8_t step, const byteVec& data);

// One TCP end on 127.0.0.1 that speaks in frames: a scripted consumer or bank.
// Every wait is bounded by a guard that only fails a hung test.
class scriptedPeer {
public:
    explicit scriptedPeer(int descriptor = -1) : fd(descriptor) {}
    ~scriptedPeer();
    scriptedPeer(scriptedPeer&& other) noexcept;
    scriptedPeer& operator=(scriptedPeer&& other) noexcept;
    scriptedPeer(const scriptedPeer&) = delete;
    scriptedPeer& operator=(const scriptedPeer&) = delete;

    static scriptedPeer Connect(unsigned int port);

    void Send(std::uint8_t type, std::uint8_t step, const byteVec& data) const;
    void SendRaw(const byteVec& bytes) const;

    // The next frame; nothing when the stream ends first or the guard runs out.
    std::optional<wireFrame> Receive() const;
    // True when the other end closes the connection without sending anything
    // more.
    bool ReceivesEnd() const;

    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

    int fd;

    // Small frames go out at once, as the shop's do.
    void NoDelay() const;

private:
    // Exactly `count` bytes; false at the end of the stream or the guard.
    bool ReadExact(std::uint8_t* into, std::size_t count) const;
};

// A listening socket on 127.0.0.1 and a port the system chooses, for the
// scripted bank.
class scriptedListener {
public:
    scriptedListener();
    ~scriptedListener();
    scriptedListener(const scriptedListener&) = delete;
    scriptedListener& operator=(const scriptedListener&) = delete;

    unsigned int Port() const { return port; }
    // The next connection; nothing if none comes within the guard.
    std::optional<scriptedPeer> Accept() const;
    void Close();

private:
    int fd;
    unsigned int port = 0;
};

// A port on 127.0.0.1 on which nothing listens (it was free a moment ago).
unsigned int UnusedPort();
