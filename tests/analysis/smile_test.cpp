// The smile and the grid's CSV of a real quote table: every point is a bid
// or ask volatility the grid shows, every volatility the grid shows is a
// point, and the two CSV texts agree to the digit.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/GridExport.h"
#include "analysis/Smile.h"
#include "pricing/gridtext.h"
#include "support/spx_quotes.h"

using namespace kestrava;

namespace {

// Strikes 1000 to 1475 by 25 less 1475, and one strike the table lacks.
TInOutObj SpxFebruary()
{
    return testsupport::SpxExpiry(2, {1000, 1025, 1050, 1075, 1100, 1125, 1150, 1162.5, 1175, 1200,
                                      1225, 1250, 1275, 1300, 1325, 1350, 1375, 1400, 1425, 1450});
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
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
            ASSERT_EQ(found != byOption.end(), bidShown || askShown) << "strike " << p.Strike(s, k) << " side " << k;
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

TEST(Smile, CsvPointsEqualTheGridCsv)
{
    const TInOutObj p = SpxFebruary();
    const std::vector<const TInOutObj*> expiries{&p};
    const std::vector<std::string> grid = Lines(GridCsv(expiries));
    const std::vector<std::string> smile = Lines(SmileCsv(SmilePoints(p)));
    ASSERT_EQ(grid.front(), kGridCsvHeader);
    ASSERT_EQ(grid.size(), 1u + 2u * static_cast<unsigned>(p.NumStrikes));
    ASSERT_EQ(smile.front(), "strike,side,bid_iv,ask_iv");

    std::map<std::string, std::vector<std::string>> gridRows;
    for (std::size_t i = 1; i < grid.size(); ++i) {
        const std::vector<std::string> f = Fields(grid[i]);
        ASSERT_EQ(f.size(), 15u) << grid[i];
        EXPECT_EQ(f[0], "2011-02-19");
        gridRows[f[1] + "," + f[2]] = f;
    }
    ASSERT_EQ(gridRows.size(), grid.size() - 1);
    for (std::size_t i = 1; i < smile.size(); ++i) {
        const std::vector<std::string> f = Fields(smile[i]);
        ASSERT_EQ(f.size(), 4u);
        const auto row = gridRows.find(f[0] + "," + f[1]);
        ASSERT_NE(row, gridRows.end()) << smile[i];
        EXPECT_EQ(f[2], row->second[6]) << smile[i];  // bid_iv
        EXPECT_EQ(f[3], row->second[7]) << smile[i];  // ask_iv
    }
    EXPECT_EQ(smile.size(), 1u + SmilePoints(p).size());
}
