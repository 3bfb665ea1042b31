#pragma once

#include "platform/drawSurface.h"

// The headless drawing surface: writes each new activity line to standard
// output, one per line, flushed at once. Lines from all surfaces and threads
// never interleave.
class outSurface : public drawSurface {
public:
    void LineAdded(const std::string& newest) override;
};
