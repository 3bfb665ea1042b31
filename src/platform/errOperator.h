#pragma once

#include "platform/msgOperator.h"

// The headless operator: writes each text and a newline to standard error and
// returns at once. Texts from many threads never interleave.
class errOperator : public msgOperator {
public:
    void ShowMessage(const std::string& text) override;
};
