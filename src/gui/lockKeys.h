#pragma once

#include <optional>

// The state of the three lock keys, where the windowing system can tell it:
// on X11 through the keyboard extension's named indicators. Elsewhere (Wayland,
// the offscreen platform) there is no way to ask, and Read gives nothing.
struct lockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;

    static std::optional<lockKeys> Read();
};
