#pragma once

#include <cstdint>

class byteStream;
class mssgPacket;

// The largest data length a received frame may announce: 1 MiB. The largest
// message of the protocol is a sealed coin list, about 69 bytes a coin, so this
// allows some 15 000 coins while a damaged or hostile header cannot make the
// shop allocate or wait for gigabytes.
constexpr std::int32_t MAX_PACKET_LENGTH = 1 << 20;

// What packetFrame::Receive read.
enum class rcvResult {
    COMPLETE, // a whole frame: the packet is filled and owns a data buffer
    CLOSED,   // the peer closed (or the connection was shut down) before a whole frame
    FAILED,   // the connection failed before a whole frame
    REFUSED,  // the header announced a length below 0 or above MAX_PACKET_LENGTH
};

// The frame of one packet on a connection:
//   type (1 byte), step (1), data length N (4, little-endian),
//   CRC-16 of those 6 bytes (2, big-endian), N data bytes, CRC-16 of the data (2, big-endian).
class packetFrame {
public:
    // Builds the frame in one buffer and sends it in one Send call. The packet
    // is not changed. A frame that cannot be built (negative length, missing
    // data, no memory) shows "SendPacket Error" and nothing is sent; a failed
    // Send is not reported.
    static void Send(byteStream& stream, const mssgPacket& packet);

    // Reads exactly one frame; bytes of a following frame stay in the stream.
    // A checksum mismatch shows "header checksum invalid" or "data checksum
    // invalid" and the packet is still delivered. On COMPLETE the packet's data
    // is a new buffer of length + 2 bytes (the data, then its two CRC bytes)
    // that the caller releases with delete[]. On any other result the packet's
    // data is null and nothing is left to release: no packet was read, and the
    // stream cannot be used for further frames. FAILED and REFUSED also show
    // "ReceivePacket Error"; CLOSED shows nothing.
    static rcvResult Receive(byteStream& stream, mssgPacket& packet);
};
