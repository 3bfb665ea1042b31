#include "platform/msgOperator.h"

#include "platform/errOperator.h"

#include <atomic>

namespace {
std::atomic<msgOperator*> installed{nullptr};

msgOperator& Fallback() {
    // Never destroyed: threads that outlive main may still show a text.
    static errOperator* const fallback = new errOperator;
    return *fallback;
}
} // namespace

msgOperator& Operator() {
    msgOperator* op = installed.load(std::memory_order_acquire);
    return op != nullptr ? *op : Fallback();
}

void SetOperator(msgOperator* op) {
    installed.store(op, std::memory_order_release);
}
