// The process-wide operator for the shell tests, standing in for the platform
// library's until the shell links it.

#include <atomic>
#include <iostream>

#include "platform/msgOperator.h"

namespace {

class errorStreamOperator : public msgOperator {
public:
    void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }
};

errorStreamOperator standard;
std::atomic<msgOperator*> installed{nullptr};

} // namespace

msgOperator& Operator() {
    msgOperator* op = installed.load();
    return op != nullptr ? *op : standard;
}

void SetOperator(msgOperator* op) {
    installed = op;
}
