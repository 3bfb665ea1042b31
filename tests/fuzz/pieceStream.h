#pragma once

#include "platform/byteStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A byte stream over fixed bytes that hands them out in pieces of the sizes
// it is given (cycling through them; a size of 0 hands out all that is
// asked), then reports the end of the stream, or a failure. What is sent to
// it is kept.
class pieceStream : public byteStream {
public:
    pieceStream(std::vector<std::uint8_t> bytes, std::vector<std::size_t> pieceSizes,
                bool failAtEnd);

    int Send(const std::uint8_t* bytes, int count) override;
    int Receive(std::uint8_t* buffer, int count) override;

    std::size_t Position() const { return position; }
    const std::vector<std::uint8_t>& Bytes() const { return source; }
    const std::vector<std::uint8_t>& Sent() const { return sent; }
    void ClearSent() { sent.clear(); }

private:
    std::vector<std::uint8_t> source;
    std::vector<std::size_t> pieces;
    bool fail;
    std::size_t position = 0;
    std::size_t nextPiece = 0;
    std::vector<std::uint8_t> sent;
};
