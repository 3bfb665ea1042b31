#pragma once

#include "platform/msgOperator.h"

#include <string>
#include <utility>

// The operator of a companion tool: the framing's messages ("data checksum
// invalid", ...) go to standard error as "<tool>: <text>", one line each.
class toolOperator : public msgOperator {
public:
    explicit toolOperator(std::string toolName) : name(std::move(toolName)) {}
    void ShowMessage(const std::string& text) override;

private:
    std::string name;
};
