// kestrava-calc chain's forwards from put-call parity on the real SPY and
// AAPL tables: each expiry's forward against the strike where the mids'
// call less put crosses zero, found here from the chain's own rows; the
// yield it implies; puts and calls at the money agreeing after it; and the
// options that choose it.

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "calc_runner.h"

namespace kestrava::clitest {
namespace {

const std::string kData = KESTRAVA_TEST_DATA_DIR;

struct Quote {
    double callMid = 0, putMid = 0;
    double callVol = 0, putVol = 0;  // 0: none solved
};
// expiry -> strike -> the call and the put
using Rows = std::map<std::string, std::map<double, Quote>>;

Rows ReadRows(const std::string& csv)
{
    Rows rows;
    const auto lines = CsvRows(csv);
    for (std::size_t r = 1; r < lines.size(); ++r) {
        const auto& row = lines[r];
        const double bid = std::stod(row[3]), ask = std::stod(row[4]);
        Quote& quote = rows[row[0]][std::stod(row[1])];
        const bool call = row[2] == "C";
        (call ? quote.callMid : quote.putMid) = bid > 0 && ask > 0 ? (bid + ask) / 2 : 0;
        if (row.size() > 8 && !row[8].empty())
            (call ? quote.callVol : quote.putVol) = std::stod(row[8]);
    }
    return rows;
}

// Parity puts C - P to zero at the forward whatever the discount: the
// strike where the quoted difference changes sign, straight between the
// two strikes either side. 0 when it never does.
double ZeroCrossing(const std::map<double, Quote>& strikes)
{
    double previousStrike = 0, previousDifference = 0;
    bool any = false;
    for (const auto& [strike, quote] : strikes) {
        if (!(quote.callMid > 0 && quote.putMid > 0))
            continue;
        const double difference = quote.callMid - quote.putMid;
        if (any && previousDifference > 0 && difference <= 0)
            return previousStrike
                   + (strike - previousStrike) * previousDifference / (previousDifference - difference);
        previousStrike = strike;
        previousDifference = difference;
        any = true;
    }
    return 0;
}

struct SurfaceRow {
    int days = 0;
    double forward = 0, atm = 0, yield = 0;
    std::string source;
    bool operator==(const SurfaceRow&) const = default;
};

std::map<std::string, SurfaceRow> ReadSurface(const std::string& csv)
{
    std::map<std::string, SurfaceRow> surface;
    const auto lines = CsvRows(csv);
    for (std::size_t r = 1; r < lines.size(); ++r) {
        const auto& row = lines[r];
        if (row.size() < 6 || row[2].empty())
            continue;
        surface[row[0]] = {std::stoi(row[1]), std::stod(row[2]), row[3].empty() ? 0 : std::stod(row[3]),
                           std::stod(row[5]), row[4]};
    }
    return surface;
}

class ForwardCliTest : public CalcTest {};

TEST_F(ForwardCliTest, ParityForwardsMeetTheQuotesAndPutsMeetCalls)
{
    struct Table {
        const char* file;
        double spot;
    };
    for (const Table& table :
         {Table{"/quotes-spy-2016-11-25.dat", 221.52}, Table{"/quotes-aapl-2016-11-04.dat", 109.80}}) {
        SCOPED_TRACE(table.file);
        const std::string file = kData + table.file;
        const Outcome csv = Run({"chain", file, "--csv", "--rate", "0.5"});
        const Outcome surface = Run({"chain", file, "--surface", "--rate", "0.5"});
        ASSERT_EQ(csv.status, 0) << csv.err;
        ASSERT_EQ(surface.status, 0) << surface.err;
        const Rows rows = ReadRows(csv.out);
        const auto forwards = ReadSurface(surface.out);
        int compared = 0;
        for (const auto& [expiry, row] : forwards) {
            SCOPED_TRACE(expiry);
            ASSERT_EQ(row.source, "parity");
            // The yield reproduces the forward from today's price and the rate.
            const double years = row.days / 365.0;
            EXPECT_NEAR(table.spot * std::exp((0.005 - row.yield) * years), row.forward, 1e-6 * row.forward);
            const double crossing = ZeroCrossing(rows.at(expiry));
            ASSERT_GT(crossing, 0);
            // Near where call less put is zero: within a tenth of a percent
            // inside a year, three tenths beyond, where the strikes are
            // five dollars apart and the spreads a dollar wide.
            EXPECT_NEAR(row.forward, crossing, (row.days <= 365 ? 0.001 : 0.003) * row.forward);
            // At the strike nearest the forward, the put's volatility and
            // the call's agree within half a point once the week is out.
            const auto& strikes = rows.at(expiry);
            auto nearest = strikes.lower_bound(row.forward);
            if (nearest == strikes.end()
                || (nearest != strikes.begin()
                    && row.forward - std::prev(nearest)->first < nearest->first - row.forward))
                --nearest;
            if (row.days >= 7 && nearest->second.callVol > 0 && nearest->second.putVol > 0) {
                EXPECT_NEAR(nearest->second.callVol, nearest->second.putVol, 0.005) << nearest->first;
                ++compared;
            }
        }
        EXPECT_GT(compared, 10);
    }
}

TEST_F(ForwardCliTest, ForwardOptionChoosesTheSourceAndAYieldKeepsItsOwn)
{
    const std::string spy = kData + "/quotes-spy-2016-11-25.dat";
    const std::string parity = Run({"chain", spy, "--surface"}).out;
    EXPECT_EQ(Run({"chain", spy, "--surface", "--forward", "parity"}).out, parity);
    // A typed yield without --forward keeps the forward a yield gives, as
    // before parity was there.
    const auto typed = ReadSurface(Run({"chain", spy, "--surface", "--rate", "1", "--yield", "2"}).out);
    EXPECT_EQ(typed,
              ReadSurface(
                  Run({"chain", spy, "--surface", "--rate", "1", "--yield", "2", "--forward", "yield"}).out));
    ASSERT_GT(typed.size(), 20u);
    for (const auto& [expiry, row] : typed) {
        EXPECT_EQ(row.source, "yield") << expiry;
        EXPECT_NEAR(row.forward, 221.52 * std::exp(-0.01 * row.days / 365.0), 1e-4) << expiry;
    }
    // Parity with a yield typed: the quotes' forward, not the yield's.
    const auto both = ReadSurface(
        Run({"chain", spy, "--surface", "--yield", "2", "--forward", "parity"}).out);
    EXPECT_EQ(both, ReadSurface(parity));

    const Outcome refused = Run({"chain", spy, "--surface", "--forward", "spot"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--forward"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace kestrava::clitest
