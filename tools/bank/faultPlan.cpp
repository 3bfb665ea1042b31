#include "faultPlan.h"

namespace {
constexpr const char* POINT_NAMES[faultPlan::POINTS] = {
    "signature", "identity", "request", "receipt", "confirmation", "close",
};
constexpr const char* GARBAGE_NAMES[] = {"crc", "sealed", "length"};
} // namespace

std::optional<faultPoint> faultPlan::PointNamed(const std::string& name) {
    for (int i = 0; i < POINTS; ++i) {
        if (name == POINT_NAMES[i])
            return static_cast<faultPoint>(i);
    }
    return std::nullopt;
}

const char* faultPlan::PointName(faultPoint point) {
    return POINT_NAMES[static_cast<int>(point)];
}

std::optional<garbageKind> faultPlan::GarbageNamed(const std::string& name) {
    for (int i = 0; i < 3; ++i) {
        if (name == GARBAGE_NAMES[i])
            return static_cast<garbageKind>(i);
    }
    return std::nullopt;
}

const char* faultPlan::GarbageName(garbageKind kind) {
    return GARBAGE_NAMES[static_cast<int>(kind)];
}

bool faultPlan::Set(faultPoint point, faultAction action) {
    faultAction& slot = actions[static_cast<std::size_t>(point)];
    if (slot != faultAction::NONE)
        return false;
    slot = action;
    return true;
}

bool faultPlan::Delivers(faultPoint point) const {
    const faultAction action = At(point);
    return action == faultAction::NONE ||
           (action == faultAction::GARBAGE && garbage == garbageKind::CRC);
}
