#pragma once

#include <span>

namespace hexlark {

// A rectangle of the desktop in pixels: left and top edges, width and height.
struct ScreenRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Monitor
{
    ScreenRect workArea{}; // the monitor less the desktop's panels and task bars
    bool primary = false;
};

struct ScreenPoint
{
    int left = 0;
    int top = 0;
};

// Where the top-left corner of a window's frame, title bar included, opens:
// the frame centred on the primary monitor's work area (the first monitor's
// where none is primary), but never above or left of it, so that a frame
// larger than the work area can still be moved by its title bar.
ScreenPoint framePosition(std::span<const Monitor> monitors, int frameWidth, int frameHeight);

} // namespace hexlark
