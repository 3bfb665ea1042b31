#include "fuzzInput.h"

#include <algorithm>

std::uint8_t fuzzInput::Byte() {
    return Empty() ? 0 : *next++;
}

std::vector<std::uint8_t> fuzzInput::Bytes(std::size_t count) {
    const std::size_t n = std::min(count, Left());
    std::vector<std::uint8_t> taken(next, next + n);
    next += n;
    return taken;
}

std::vector<std::uint8_t> fuzzInput::Chunk() {
    std::size_t length = Byte();
    if (length == 255) {
        length = Byte();
        length |= static_cast<std::size_t>(Byte()) << 8;
    }
    return Bytes(length);
}

std::vector<std::uint8_t> fuzzInput::Rest() {
    return Bytes(Left());
}
