#pragma once
// Windows open inside the screen's work area, whatever the scaling.

#include <QRect>

namespace kestrava {

// A window of `size` at `topLeft` moved and shrunk as little as needed to
// lie inside `area`.
QRect KeepInside(const QPoint& topLeft, const QSize& size, const QRect& area);

}  // namespace kestrava
