#pragma once

#include "common/byteUtil.h"

// The consumer's key text of a connection: 53 characters from 32 to 126,
// each drawn uniformly from the operating system's random source.
class keyText {
public:
    static bytes Make();
};
