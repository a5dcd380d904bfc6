#include "app/WindowPlacement.h"

#include <algorithm>

namespace kestrava {

StripPlacement PlaceStrip(int savedLeft, int savedTop, int savedWidth, const QRect& workArea,
                          int screenWidth)
{
    StripPlacement placement;
    if (savedWidth != 0) {
        placement.left = savedLeft;
        placement.top = savedTop;
        placement.width = std::max(savedWidth, placement.minWidth);
        return placement;
    }
    placement.top = workArea.top();
    if (screenWidth == 640) {
        // A small screen: the strip takes the whole width.
        placement.left = workArea.left();
        placement.width = workArea.width();
        placement.minWidth = workArea.width();
    } else {
        placement.left = workArea.left() + (workArea.width() - kStripWidth) / 2;
    }
    return placement;
}

}  // namespace kestrava
