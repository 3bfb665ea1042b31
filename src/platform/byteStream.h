#pragma once

#include <cstdint>

// A blocking, connected byte stream: what the packet framing needs of a
// connection. The TCP stream socket implements it; tests put other streams
// under the framing.
class byteStream {
public:
    virtual ~byteStream() = default;

    // Hands all `count` bytes to the transport, blocking as long as needed.
    // Returns `count`, or -1 when the connection failed.
    virtual int Send(const std::uint8_t* bytes, int count) = 0;

    // Blocks until at least one byte is available, then copies at most
    // `count` (> 0) bytes to `buffer`. Returns how many were copied, 0 when the
    // peer has closed the connection, or -1 when the connection failed.
    virtual int Receive(std::uint8_t* buffer, int count) = 0;
};
