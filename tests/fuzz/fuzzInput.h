#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A fuzzer's input read as a sequence of small fields. Past the end every
// field reads as zero or empty, so any input is a valid one.
class fuzzInput {
public:
    fuzzInput(const std::uint8_t* data, std::size_t size) : next(data), end(data + size) {}

    bool Empty() const { return next == end; }
    std::size_t Left() const { return static_cast<std::size_t>(end - next); }

    std::uint8_t Byte();
    // At most `count` bytes.
    std::vector<std::uint8_t> Bytes(std::size_t count);
    // A length-prefixed chunk: one length byte, or 255 and two more bytes
    // (little-endian) for a longer chunk; then that many bytes, or what is left.
    std::vector<std::uint8_t> Chunk();
    std::vector<std::uint8_t> Rest();

private:
    const std::uint8_t* next;
    const std::uint8_t* end;
};
