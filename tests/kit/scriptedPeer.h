#pragma once

#include "common/byteUtil.h"
#include "common/peerLink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using byteVec = bytes;

// One frame as a peer of the code under test sees it: the header codes, the
// data and the whole frame as it travelled.
struct wireFrame {
    std::uint8_t type = 0;
    std::uint8_t step = 0;
    bytes data;
    bytes wire;
};

// The frame a peer puts on the wire for (type, step, data).
bytes FrameOf(std::uint8_t type, std::uint8_t step, const bytes& data);

// One TCP end on 127.0.0.1 played by a test: a scripted consumer, bank or
// shop, or a plain peer of a socket under test. It speaks in frames (whole
// frames as they travelled, or packets through the tools' framed link, sealed
// and opened with the connection's DES key once one is set) or in plain
// bytes. Every wait is bounded by GUARD (the socket's receive and send
// timeouts), which only fails a hung test. Expectations that do not hold are
// reported as test failures.
class scriptedPeer {
public:
    static constexpr std::chrono::seconds GUARD{60};

    // Takes over a connected descriptor (or -1: not connected).
    explicit scriptedPeer(int descriptor = -1);
    // Connects to 127.0.0.1 and `port` (a test failure, and not connected,
    // when that does not work).
    static scriptedPeer Connect(std::uint16_t port);
    ~scriptedPeer();
    scriptedPeer(scriptedPeer&& other) noexcept;
    scriptedPeer& operator=(scriptedPeer&& other) noexcept;
    scriptedPeer(const scriptedPeer&) = delete;
    scriptedPeer& operator=(const scriptedPeer&) = delete;

    bool Connected() const { return fd >= 0; }
    int Descriptor() const { return fd; }
    std::uint16_t LocalPort() const;

    // Frames as they travel.
    bool Send(std::uint8_t type, std::uint8_t step, const bytes& data) const;
    bool SendRaw(const bytes& raw) const;
    // The next whole frame; nothing when the stream ends first or the guard
    // runs out.
    std::optional<wireFrame> Receive() const;

    // Packets through the framed link, with the connection's key.
    peerLink& Link() { return *link; }
    void SetKey(const bytes& keyText) { link->SetKey(keyText.data(), keyText.size()); }
    bool SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain) const;
    linkResult Receive(packetIn& packet) { return link->Receive(packet); }
    // The next packet, which must be (type, step): its data (empty, with a
    // test failure, otherwise).
    bytes Expect(std::uint8_t type, std::uint8_t step);
    // As Expect, then opened with the connection's key.
    bytes ExpectSealed(std::uint8_t type, std::uint8_t step);
    // The next packet must be a PKT_ERROR: its text (bytes up to a zero byte).
    std::string ExpectError(std::uint8_t step = 1);

    // Plain bytes: up to `count` (fewer at the end of the stream or the
    // guard), or all up to the end of the stream.
    bytes ReadExact(std::size_t count) const;
    bytes ReadToEnd() const;

    // True when the other end closes the connection without sending anything
    // more (waits for the close).
    bool PeerClosed() const;
    // True when nothing is waiting to be read and the connection is open
    // (looks without waiting).
    bool Quiet() const;

    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

private:
    int fd;
    std::unique_ptr<peerLink> link;
};

// A listening socket on 127.0.0.1 and a port the system chooses: the bank or
// the shop a test plays, or the listener a socket under test connects to.
class scriptedListener {
public:
    scriptedListener();
    ~scriptedListener();
    scriptedListener(const scriptedListener&) = delete;
    scriptedListener& operator=(const scriptedListener&) = delete;

    std::uint16_t Port() const { return port; }
    // The next connection (not connected, with a test failure, if none comes
    // within the guard).
    scriptedPeer Accept() const;
    void Close();

private:
    int fd;
    std::uint16_t port;
};

// A port on 127.0.0.1 on which nothing listens (it was free a moment ago).
std::uint16_t UnusedPort();

// Blocks until the kernel no longer lists the TCP connection between local
// ports `port` and `peerPort` (for instance once a reset has been processed
// on both ends). Other connections that share one of the ports (another
// test's, lingering in TIME_WAIT) do not count.
void WaitUntilGone(std::uint16_t port, std::uint16_t peerPort);
