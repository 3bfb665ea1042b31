// The libFuzzer entry of one target, chosen at build time by FUZZ_TARGET_NAME.

#include "fuzzTargets.h"

#include <cstdlib>

namespace {
fuzzEntry Chosen() {
    for (const fuzzTarget& target : FUZZ_TARGETS) {
        if (target.name == FUZZ_TARGET_NAME) {
            return target.entry;
        }
    }
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzEntry entry = Chosen();
    return entry(data, size);
}
