#pragma once

#include <string>

// The surface a session's activity lines are drawn on. Each session holds one.
// The window's surface schedules a repaint of its view on the GUI thread; the
// headless surface writes the new line to standard output. LineAdded is called
// by the line store while it holds its lock, right after `newest` was stored.
class drawSurface {
public:
    virtual ~drawSurface() = default;
    virtual void LineAdded(const std::string& newest) = 0;
};
