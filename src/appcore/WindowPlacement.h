#pragma once
// Where the main window's strip goes at start-up: at its saved place, or on
// a first run centred at the top of the work area.

#include <QRect>

#include "common/qt/keepinside.h"

namespace kestrava {

inline constexpr int kStripWidth = 780;  // design width and least width

struct StripPlacement {
    int left = 0;
    int top = 0;
    int width = kStripWidth;
    int minWidth = kStripWidth;
};

// `savedWidth` 0 means no placement was saved. `screenWidth` is the whole
// screen's width, `workArea` the screen less its task bars (of the screen
// the saved place is on). The strip, `height` high, always lies inside the
// work area: on a screen narrower than the strip it takes the whole width.
StripPlacement PlaceStrip(int savedLeft, int savedTop, int savedWidth, const QRect& workArea, int screenWidth,
                          int height = 0);

}  // namespace kestrava
