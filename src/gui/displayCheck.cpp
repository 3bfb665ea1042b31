#include "gui/displayCheck.h"

#include <cstdlib>

#include <X11/Xlib.h>

namespace {
bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
} // namespace

std::optional<std::string> DisplayProblem() {
    if (IsSet("QT_QPA_PLATFORM") || IsSet("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    if (!IsSet("DISPLAY")) {
        return "no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return std::string("cannot connect to the display \"") + std::getenv("DISPLAY") + '"';
    }
    XCloseDisplay(display);
    return std::nullopt;
}
