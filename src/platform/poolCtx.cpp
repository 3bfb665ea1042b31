#include "platform/poolCtx.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {
struct pool {
    std::mutex lock;
    std::vector<std::unique_ptr<poolCtx>> idle;
};

pool& Pool() {
    // Never destroyed: threads still running when main returns may give
    // their context back.
    static pool* const kept = new pool;
    return *kept;
}
} // namespace

std::unique_ptr<poolCtx> poolCtx::Take() {
    pool& kept = Pool();
    {
        std::lock_guard<std::mutex> guard(kept.lock);
        if (!kept.idle.empty()) {
            std::unique_ptr<poolCtx> context = std::move(kept.idle.back());
            kept.idle.pop_back();
            return context;
        }
    }
    return std::make_unique<poolCtx>();
}

void poolCtx::Give(std::unique_ptr<poolCtx> context) {
    // Whatever is still queued (messages dropped by a stop, the cancelled
    // waits of closed sockets) runs now, and returns at once.
    ++context->serial;
    context->io.restart();
    context->io.poll();
    context->io.restart();
    pool& kept = Pool();
    std::lock_guard<std::mutex> guard(kept.lock);
    if (kept.idle.size() < MAX_POOLED) {
        kept.idle.push_back(std::move(context));
    }
}
