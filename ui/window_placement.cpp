#include "window_placement.h"

#include <algorithm>

namespace hexlark {
namespace {

// One axis: centred, or from the area's start where the frame is longer.
int place(int areaStart, int areaLength, int frameLength)
{
    return areaStart + std::max(0, (areaLength - frameLength) / 2);
}

} // namespace

ScreenPoint framePosition(std::span<const Monitor> monitors, int frameWidth, int frameHeight)
{
    if (monitors.empty()) {
        return {};
    }
    // std::find_if, not its ranges twin: mingw-w64's linker warns of the
    // latter's object under link-time optimisation.
    const auto primary = std::find_if(monitors.begin(), monitors.end(),
                                      [](const Monitor &monitor) { return monitor.primary; });
    const ScreenRect &area = (primary != monitors.end() ? *primary : monitors.front()).workArea;
    return {place(area.left, area.width, frameWidth), place(area.top, area.height, frameHeight)};
}

} // namespace hexlark
