#pragma once

#include <cstdint>
#include <string>
#include <vector>

using bytes = std::vector<std::uint8_t>;

bytes FromHex(const std::string& hex);

// One frame with the packet it carries.
struct frameVector {
    std::string name;
    std::uint8_t type;
    std::uint8_t step;
    bytes data;
    bytes frame;
};

// The frames given with the frame format, then every frame of the recorded
// payment (both conversations and the error frames).
std::vector<frameVector> FrameVectors();
