#pragma once
// The largest page a series holds (3 expiries, 20 strikes, 400 tree steps)
// with a four-leg iron condor of the 30-day expiry, or a calendar of the
// same short legs against long legs of 60 days; every leg quoted a dime
// wide around its value at a skewed volatility, so each is marked at its
// mid and priced at its own solved volatility. Shared by the benchmarks of
// the analysis and of the Position tab.

#include <algorithm>
#include <vector>

#include "analysis/Position.h"
#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

namespace kestrava::benchpage {

struct Page {
    std::vector<TInOutObj> expiries;
    std::vector<const TInOutObj*> pointers;
    Position position;
};

// Strikes 80 to 118 by 2: 90 is s = 6, 94 s = 8, 106 s = 14, 110 s = 16.
inline Page MakePage(int model, bool calendar, int steps = 400)
{
    Page page;
    page.expiries = fixtures::LargestPage(kEquity, model);
    for (TInOutObj& p : page.expiries) {
        p.Steps = steps;
        // A skew: 25 % at the money, more below, less above.
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                p.Vol(s, k) = 0.25f - 0.4f * (p.Strike(s, k) / 100 - 1);
        RunModel(p);
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k) {
                p.Bid(s, k) = std::max(0.01f, p.Theo(s, k) - 0.05f);
                p.Ask(s, k) = p.Theo(s, k) + 0.05f;
            }
        RecalcExpiry(p, VolSource::Flat);
    }
    for (const TInOutObj& p : page.expiries)
        page.pointers.push_back(&p);
    const TInOutObj& near = page.expiries[0];
    const TInOutObj& wings = calendar ? page.expiries[1] : near;
    page.position.legs = {LegFromGrid(wings, 6, 2, 1), LegFromGrid(near, 8, 2, -1),
                          LegFromGrid(near, 14, 1, -1), LegFromGrid(wings, 16, 1, 1)};
    return page;
}

}  // namespace kestrava::benchpage
