#include "appcore/WindowPlacement.h"

#include <algorithm>

namespace kestrava {

StripPlacement PlaceStrip(int savedLeft, int savedTop, int savedWidth, const QRect& workArea, int screenWidth,
                          int height)
{
    StripPlacement placement;
    if (savedWidth != 0) {
        placement.left = savedLeft;
        placement.top = savedTop;
        placement.width = std::max(savedWidth, placement.minWidth);
    } else if (screenWidth == 640 || workArea.width() < kStripWidth) {
        // A small screen (or a large scaling): the strip takes the whole width.
        placement.top = workArea.top();
        placement.left = workArea.left();
        placement.width = workArea.width();
    } else {
        placement.top = workArea.top();
        placement.left = workArea.left() + (workArea.width() - kStripWidth) / 2;
    }
    if (!workArea.isValid())
        return placement;
    placement.minWidth = std::min(placement.minWidth, workArea.width());
    const QRect inside = KeepInside(QPoint(placement.left, placement.top), QSize(placement.width, height),
                                    workArea);
    placement.left = inside.left();
    placement.top = inside.top();
    placement.width = inside.width();
    return placement;
}

}  // namespace kestrava
