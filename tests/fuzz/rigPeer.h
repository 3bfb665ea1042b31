#pragma once

#include <cstdint>
#include <vector>

// One connection of a fuzzed session as the rig plays it: the rig's end of a
// loopback TCP connection, never blocking.
//
// It follows the frames it writes, so that the rig lets the session read only
// when it can do so without waiting inside a frame; and it reads back the
// shop's frames, each of which must be whole and carry the right checksums.
class rigPeer {
public:
    struct frame {
        std::uint8_t type = 0;
        std::uint8_t step = 0;
        std::vector<std::uint8_t> data;
    };

    rigPeer() = default;
    ~rigPeer();
    rigPeer(const rigPeer&) = delete;
    rigPeer& operator=(const rigPeer&) = delete;

    // Takes over a connected socket.
    void Attach(int descriptor);
    bool Attached() const { return attached; }

    // Sends the bytes, unless this end has finished or the connection is gone.
    void Write(const std::vector<std::uint8_t>& bytes);
    // Ends the stream towards the session (the session reads its end).
    void Finish();
    // Resets the connection and closes this end. A connection that ends by
    // a reset leaves nothing behind on either end (no TIME_WAIT), so that
    // millions of runs do not use up the loopback ports; this end is reset
    // as soon as the shop closes its end, and at the end of a run.
    void Reset();

    // True when the session can take all that was written without waiting:
    // the last frame is whole, or the session will refuse its length, or the
    // stream has ended.
    bool Settled() const;

    // Reads what the shop has sent; true when anything came. Whole frames
    // are added to `frames`.
    bool Drain();

    std::vector<frame> frames;

private:
    void Follow(const std::vector<std::uint8_t>& bytes);
    void TakeFrames();

    int fd = -1;
    bool attached = false;
    bool finished = false;
    bool peerClosed = false;
    // What the session will make of the bytes written so far.
    std::vector<std::uint8_t> header;
    std::uint64_t dataLeft = 0;
    bool refused = false;
    // The shop's bytes not yet taken as a frame.
    std::vector<std::uint8_t> received;
};
