// The smile of a real quote table: every point is a bid or ask volatility
// the grid shows, and every volatility the grid shows is a point. (That the
// smile's CSV and the grid's CSV agree to the digit, kestrava-calc's tests
// show on the same quotes.)

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "analysis/Smile.h"
#include "pricing/gridtext.h"
#include "support/spx_quotes.h"

using namespace kestrava;

namespace {

// Strikes 1000 to 1475 by 25 less 1475, and one strike the table lacks.
TInOutObj SpxFebruary()
{
    return testsupport::SpxExpiry(2, {1000, 1025, 1050, 1075, 1100, 1125, 1150, 1162.5, 1175, 1200,
                                      1225, 1250, 1275, 1300, 1325, 1350, 1375, 1400,   1425, 1450});
}

bool Shown(const std::string& cell)
{
    return cell.find_first_not_of(' ') != std::string::npos;
}

}  // namespace

TEST(Smile, PointsAreTheVolatilitiesTheGridShows)
{
    const TInOutObj p = SpxFebruary();
    const std::vector<SmilePoint> points = SmilePoints(p);
    std::map<std::pair<float, bool>, SmilePoint> byOption;
    for (const SmilePoint& point : points)
        byOption[{point.strike, point.call}] = point;
    EXPECT_EQ(byOption.size(), points.size());

    int shown = 0;
    for (int s = 1; s <= p.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const bool bidShown = Shown(GridCellText(p, s, k, 4));
            const bool askShown = Shown(GridCellText(p, s, k, 6));
            const auto found = byOption.find({p.Strike(s, k), k == 1});
            ASSERT_EQ(found != byOption.end(), bidShown || askShown)
                << "strike " << p.Strike(s, k) << " side " << k;
            if (found == byOption.end())
                continue;
            ++shown;
            EXPECT_EQ(found->second.bidIV > 0, bidShown);
            EXPECT_EQ(found->second.askIV > 0, askShown);
        }
    }
    // The strike the table lacks has neither; deep calls have no bid volatility.
    EXPECT_EQ(byOption.count({1162.5f, true}) + byOption.count({1162.5f, false}), 0u);
    EXPECT_EQ(byOption.at({1000.0f, true}).bidIV, 0);
    EXPECT_GT(byOption.at({1000.0f, true}).askIV, 0.5);
    EXPECT_EQ(shown, 38);
    // Calls first, by strike, then the puts.
    EXPECT_TRUE(points.front().call);
    EXPECT_FALSE(points.back().call);
    EXPECT_LT(points.front().strike, points[1].strike);
}
