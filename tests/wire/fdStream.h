#pragma once

#include "platform/byteStream.h"

#include <algorithm>
#include <climits>
#include <sys/socket.h>

// A byte stream over a connected descriptor (one end of a socket pair or of a
// TCP connection), handing out at most `chunk` bytes per Receive.
class fdStream : public byteStream {
public:
    explicit fdStream(int descriptor, int maxChunk = INT_MAX) : fd(descriptor), chunk(maxChunk) {}

    int Send(const std::uint8_t* bytes, int count) override {
        int sent = 0;
        while (sent < count) {
            const ssize_t n =
                ::send(fd, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
            if (n <= 0) {
                return -1;
            }
            sent += static_cast<int>(n);
        }
        return count;
    }

    int Receive(std::uint8_t* buffer, int count) override {
        const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(std::min(count, chunk)), 0);
        return n < 0 ? -1 : static_cast<int>(n);
    }

private:
    int fd;
    int chunk;
};
