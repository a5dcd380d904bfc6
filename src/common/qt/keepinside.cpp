#include "common/qt/keepinside.h"

#include <algorithm>

namespace kestrava {

QRect KeepInside(const QPoint& topLeft, const QSize& size, const QRect& area)
{
    const int width = std::min(size.width(), area.width());
    const int height = std::min(size.height(), area.height());
    const int left = std::clamp(topLeft.x(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(topLeft.y(), area.top(), area.top() + area.height() - height);
    return QRect(left, top, width, height);
}

}  // namespace kestrava
