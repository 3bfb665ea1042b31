#include "pieceStream.h"

#include <algorithm>
#include <utility>

pieceStream::pieceStream(std::vector<std::uint8_t> bytes, std::vector<std::size_t> pieceSizes,
                         bool failAtEnd)
    : source(std::move(bytes)), pieces(std::move(pieceSizes)), fail(failAtEnd) {}

int pieceStream::Send(const std::uint8_t* bytes, int count) {
    sent.insert(sent.end(), bytes, bytes + count);
    return count;
}

int pieceStream::Receive(std::uint8_t* buffer, int count) {
    if (position == source.size()) {
        return fail ? -1 : 0;
    }
    std::size_t n = std::min(static_cast<std::size_t>(count), source.size() - position);
    if (!pieces.empty()) {
        const std::size_t piece = pieces[nextPiece++ % pieces.size()];
        if (piece != 0) {
            n = std::min(n, piece);
        }
    }
    std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(position), n, buffer);
    position += n;
    return static_cast<int>(n);
}
