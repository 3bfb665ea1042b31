#pragma once

#include "common/byteUtil.h"
#include "common/fdStream.h"
#include "crypto/SymKey.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

// One packet as it arrived: its codes and its data bytes (without the data
// checksum).
struct packetIn {
    std::uint8_t type = 0;
    std::uint8_t step = 0;
    bytes data;
};

// What peerLink::Receive found.
enum class linkResult {
    PACKET,    // a whole frame
    CLOSED,    // the peer closed the connection before a whole frame
    TIMED_OUT, // nothing (or not enough) arrived within the receive timeout
    FAILED,    // the connection failed
    REFUSED,   // the header announced an impossible length
};

// "closed by the peer", "timed out", ...: for messages.
const char* LinkResultText(linkResult result);

// One framed connection of a companion tool or of a test peer: packets go
// out and come in as frames over a connected socket descriptor (not owned),
// and once the connection's key text is set, data is sealed and opened with
// its DES key. Used by one thread at a time.
class peerLink {
public:
    explicit peerLink(int descriptor) : fd(descriptor), stream(descriptor) {}

    int Descriptor() const { return fd; }

    // Reads one frame. Checksum mismatches are shown to the operator and the
    // packet is still delivered.
    linkResult Receive(packetIn& packet);

    // Each returns false when the connection failed.
    bool Send(std::uint8_t type, std::uint8_t step, const bytes& data);
    bool SendSealed(std::uint8_t type, std::uint8_t step, const bytes& plain);
    bool SendRaw(const bytes& raw);

    // Reads and drops whatever arrives until the peer closes the connection
    // (or it fails, or the receive timeout runs out).
    void Drain();
    // Ends the sending direction (the peer reads the end of the stream after
    // what was sent), then drains for at most `seconds` (the receive timeout
    // from then on): the peer's last bytes never meet a reset.
    void Finish(unsigned seconds = FINISH_SECONDS);
    static constexpr unsigned FINISH_SECONDS = 10;

    // Keys the connection with the first 8 bytes of a key text.
    void SetKey(const std::uint8_t* text, std::size_t length);
    // Sealed form of a non-empty message under the connection's key.
    bytes Seal(const bytes& plain) const;
    // The message, or nothing when the data does not open under the key
    // (or opens into no bytes).
    std::optional<bytes> Open(const bytes& sealed) const;

    // The frame of a packet as it goes on the wire.
    static bytes Frame(std::uint8_t type, std::uint8_t step, const bytes& data);

private:
    int fd;
    fdStream stream;
    std::unique_ptr<SymKey> key;
};
