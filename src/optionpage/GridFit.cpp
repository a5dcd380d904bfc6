#include "optionpage/GridFit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/qt/keepinside.h"

namespace kestrava {

std::vector<int> FitColumnWidths(const std::vector<int>& widths, const std::vector<int>& least, int gridWidth,
                                 int scrollBarWidth)
{
    std::vector<int> fitted = widths;
    const int count = static_cast<int>(widths.size());
    if (count < 2)
        return fitted;
    int sum = scrollBarWidth;
    for (const int width : widths)
        sum += width;
    const int spare = gridWidth - sum;
    const int shared = count - 1;
    const int extra = spare / shared;
    const int remainder = spare - extra * shared;
    for (int c = 1; c < count; ++c) {
        const int share = extra + (c <= std::abs(remainder) ? (remainder > 0 ? 1 : -1) : 0);
        fitted[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)] + share,
                                                       least[static_cast<std::size_t>(c)]);
    }
    return fitted;
}

std::vector<int> FitRowHeights(const std::vector<int>& heights, int gridHeight)
{
    std::vector<int> fitted = heights;
    if (heights.empty())
        return fitted;
    int sum = 0;
    for (const int height : heights)
        sum += height;
    const int count = static_cast<int>(heights.size());
    const int extra = static_cast<int>(std::nearbyint(static_cast<double>(gridHeight - sum) / count));
    for (int& height : fitted)
        height = std::max(height + extra, 1);
    return fitted;
}

QRect PlacePage(const QSize& natural, const QRect& mainWindow, const QRect& workArea)
{
    if (!mainWindow.isValid())
        return QRect(QPoint(0, 0), natural);
    int width = std::max(mainWindow.width(), natural.width());
    int height = natural.height();
    const QPoint below(mainWindow.left(), mainWindow.top() + mainWindow.height());
    if (!workArea.isValid())
        return QRect(below, QSize(width, height));
    const int room = workArea.top() + workArea.height() - below.y();
    if (room > 200)
        height = std::min(height, room);
    return KeepInside(below, QSize(width, height), workArea);
}

}  // namespace kestrava
