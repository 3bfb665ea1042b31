#pragma once

#include "platform/byteStream.h"

#include <climits>
#include <cstdint>

// A blocking byte stream over a connected socket descriptor (a TCP connection
// or one end of a socket pair), for the companion tools and for tests. It
// does not own the descriptor. Each Receive hands out at most `maxChunk`
// bytes, so tests can make a frame arrive byte by byte. A receive cut short
// by the socket's receive timeout fails like any other error; TimedOut()
// tells the two apart.
class fdStream : public byteStream {
public:
    explicit fdStream(int descriptor, int maxChunk = INT_MAX) : fd(descriptor), chunk(maxChunk) {}

    int Send(const std::uint8_t* bytes, int count) override;
    int Receive(std::uint8_t* buffer, int count) override;

    // True when the latest failed Receive was cut short by the receive timeout.
    bool TimedOut() const { return timedOut; }

private:
    int fd;
    int chunk;
    bool timedOut = false;
};
