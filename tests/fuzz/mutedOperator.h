#pragma once

#include "platform/msgOperator.h"

// An operator that shows nothing: a fuzzer raises millions of message boxes
// ("data checksum invalid" and the like), and none of them is its finding.
class mutedOperator : public msgOperator {
public:
    void ShowMessage(const std::string&) override {}
};
