#include "pricing/gridtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/numformat.h"
#include "common/numtext.h"

namespace kestrava {

const char* GridHeader(int column)
{
    if (column == 0)
        return kGridLabelHeading;
    const GridColumn* shown = GridColumnAt(column);
    return shown ? shown->heading : "";
}

const char* GridFormat(int column)
{
    const GridColumn* shown = GridColumnAt(column);
    return shown ? shown->format : "";
}

bool GridColumnInPercent(int column)
{
    const GridColumn* shown = GridColumnAt(column);
    return shown && shown->unit == ColumnUnit::Percent;
}

std::string GridCellText(const TInOutObj& series, int s, int k, int column, char decimalSeparator)
{
    const GridColumn* shown = GridColumnAt(column);
    if (!shown)
        return {};
    // The values are singles and round as their shortest decimal reads, so a
    // stored 2.675 shows 2.68; percent columns scale before they round.
    return FormatSingle(shown->format, ShownValue(*shown, series, s, k), decimalSeparator);
}

std::string StrikeLabel(float strike, bool call, float strikeStep)
{
    const double fraction = std::fabs(strikeStep - std::trunc(strikeStep));
    const bool whole = fraction <= 0.0001;
    std::string number = FormatFixed(strike, whole ? 0 : 2);
    if (number.size() < 6)
        number.resize(6, ' ');  // left-aligned in six places
    return std::string(" ") + (call ? 'C' : 'P') + "  " + number + " ";
}

float LabelStrikeStep(const TInOutObj& p)
{
    const float step = p.Strike(2, 1) - p.Strike(1, 1);
    bool even = true;
    bool fraction = false;
    const int count = std::clamp(p.NumStrikes, 0, kMaxStrikes);
    for (int s = 1; s <= count; ++s) {
        const float strike = p.Strike(s, 1);
        fraction = fraction || std::fabs(strike - std::trunc(strike)) > 0.0001f;
        if (s >= 3)
            even = even
                   && std::fabs((strike - p.Strike(s - 1, 1)) - step)
                          <= 0.0001f * std::max(1.0f, std::fabs(step));
    }
    return !even && fraction ? 0.5f : step;
}

}  // namespace kestrava
