#pragma once

#include "common/byteUtil.h"
#include "common/peerLink.h"

#include <cstdint>
#include <memory>
#include <string>

// One end of a protocol conversation played by a test: a TCP connection on
// 127.0.0.1 with the framing and the connection's DES key. Every receive is
// bounded by a generous guard (a receive timeout), which only fails a hung
// test. Expectations that do not hold are reported as test failures.
class scriptedPeer {
public:
    static constexpr unsigned GUARD_SECONDS = 60;

    // Takes over a connected descriptor (or -1: not connected).
    explicit scriptedPeer(int descriptor);
    // Connects to 127.0.0.1 and `port`; Connected() tells whether it worked.
    static scriptedPeer Connect(std::uint16_t port);
    ~scriptedPeer();
    scriptedPeer(scriptedPeer&& other) noexcept;
    scriptedPeer& operator=(scriptedPeer&&) = delete;
    scriptedPeer(const scriptedPeer&) = delete;

    bool Connected() const { return fd >= 0; }
    int Descriptor() const { return fd; }
    peerLink& Link() { return *link; }

    void SetKey(const bytes& keyText) { link->SetKey(keyText.data(), keyText.size()); }
    bool Send(std::uint8_t type, std::uint8_t step, const bytes& data);
    bool SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain);

    linkResult Receive(packetIn& packet) { return link->Receive(packet); }
    // The next packet, which must be (type, step): its data (empty, with a
    // test failure, otherwise).
    bytes Expect(std::uint8_t type, std::uint8_t step);
    // As Expect, then opened with the connection's key.
    bytes ExpectSealed(std::uint8_t type, std::uint8_t step);
    // The next packet must be a PKT_ERROR: its text (bytes up to a zero byte).
    std::string ExpectError(std::uint8_t step = 1);

    // True when the peer has closed the connection and nothing else is left
    // to read (waits for the close).
    bool PeerClosed();
    // True when nothing is waiting to be read and the connection is open
    // (looks without waiting).
    bool Quiet() const;
    // Closes the connection.
    void Close();

private:
    int fd;
    std::unique_ptr<peerLink> link;
};

// A listening socket on 127.0.0.1 and a port the system chooses, for a
// scripted shop that a consumer connects to.
class scriptedListener {
public:
    scriptedListener();
    ~scriptedListener();
    scriptedListener(const scriptedListener&) = delete;
    scriptedListener& operator=(const scriptedListener&) = delete;

    std::uint16_t Port() const { return port; }
    // The next connection (not connected if none comes within the guard).
    scriptedPeer Accept();

private:
    int fd;
    std::uint16_t port;
};
