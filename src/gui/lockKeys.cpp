#include "gui/lockKeys.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace {
bool IndicatorOn(Display* display, const char* name) {
    Bool on = False;
    const Atom atom = XInternAtom(display, name, True);
    return atom != None &&
           XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) == True &&
           on == True;
}
} // namespace

std::optional<lockKeys> lockKeys::Read() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return std::nullopt;
    }
    return lockKeys{IndicatorOn(display, "Caps Lock"), IndicatorOn(display, "Num Lock"),
                    IndicatorOn(display, "Scroll Lock")};
}
