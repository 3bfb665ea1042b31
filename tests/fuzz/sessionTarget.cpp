// A whole session, both of its step machines, fed moves on both connections.

#include "fuzzTargets.h"
#include "sessionRig.h"

int SessionTarget(const std::uint8_t* data, std::size_t size) {
    static sessionRig rig;
    rig.Play(data, size);
    return 0;
}
