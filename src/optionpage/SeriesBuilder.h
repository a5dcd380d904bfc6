#pragma once
// Turns the setup dialog's values and the application's defaults into the
// series objects of a new page, one per expiry. No widgets: the page shows
// what comes out.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/dates.h"
#include "optionpage/PageInputs.h"
#include "optionpage/SetupChecks.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// The historical volatility of the series' price file, when it gives one.
struct PriceHistory {
    float sigma = 0;  // fraction
    int days = 0;
    float lastClose = 0;
    TDateTime lastDate = 0;
};

struct SeriesDefaults {
    std::array<float, 3> rates{};  // the default rates of expiries 1 to 3, fractions
    float lowestRate = 0;          // the rate box's range, fractions
    float highestRate = 1;
    std::uint8_t sourceFileType = 5;
    TDateTime today = 0;  // the valuation date without a price history
    // The underlying price as the page's box shows it (rounded to its
    // decimals, kept within its range); the identity when not set.
    std::function<float(float)> shownUnderlying;
};

// `history` is absent when the setup names no price file, present but with
// no volatility when the file gives none. Throws nothing: the numbers are
// read already. The count of strikes is kept within 1 to 20.
std::vector<TInOutObj> BuildSeries(const SeriesSetup& setup, const SetupNumbers& numbers,
                                   const std::optional<PriceHistory>& history,
                                   const SeriesDefaults& defaults);

// "Mar 2009": the program's month abbreviation and the year, as tabs show it.
std::string ExpiryTabText(TDateTime expiry);

TDateTime DayNumber(const QDate& date);

}  // namespace kestrava
