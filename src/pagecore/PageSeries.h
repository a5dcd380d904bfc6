#pragma once
// What an option page holds that is not a widget: the series of its expiry
// tabs, the quote table's market, the valuation date, and the work done on
// them (quotes loaded, implied volatilities solved, every expiry
// recalculated). The page shows it and edits it; tests and tools drive it
// without a window.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/TableMarket.h"
#include "common/dates.h"
#include "common/localeinfo.h"
#include "pagecore/QuoteLoad.h"
#include "pricing/IORecObj1.h"
#include "pricing/recalc.h"

namespace kestrava {

class Notifier;

// The input bar's values that go into every expiry at once.
struct SeriesInputs {
    std::optional<float> underlying;  // none: each expiry keeps its price
    std::optional<int> sigmaDays;     // none: each expiry keeps its window
    int steps = 0;                    // the tree's steps, for the expiries a tree prices
};

// What a quote file gave the page's expiries.
struct SeriesQuotes {
    bool loaded = false;   // false: an expiry could not be read, the user was told
    UnderlyingQuote last;  // the underlying line as the last expiry read it
    float underlying = 0;  // the last price a file gave, 0 when none did
};

class PageSeries {
public:
    using Expiry = std::unique_ptr<TInOutObj>;

    PageSeries(Notifier& notifier, LocaleInfo locale);

    // The expiries, in tab order.
    int Add(Expiry series);
    void Clear();
    bool empty() const { return series_.empty(); }
    std::size_t size() const { return series_.size(); }
    TInOutObj& front() const { return *series_.front(); }
    std::vector<Expiry>::const_iterator begin() const { return series_.begin(); }
    std::vector<Expiry>::const_iterator end() const { return series_.end(); }
    // The expiry at index; nullptr outside the expiries.
    TInOutObj* At(int index) const;
    std::vector<const TInOutObj*> Expiries() const;
    // Copies of every expiry, as the series file stores them.
    std::vector<TInOutObj> Copies() const;

    // The expiry whose values the grid holds; nullptr before the first fill.
    TInOutObj* GridSeries() const { return At(gridIndex_); }
    void SetGridIndex(int index) { gridIndex_ = index; }

    // The quote table's smile and forwards at the expiries, kept with the
    // quotes; none without a table.
    const std::shared_ptr<const TableMarket>& Market() const { return market_; }
    void SetMarket(std::shared_ptr<const TableMarket> market) { market_ = std::move(market); }

    // The valuation date of every expiry, and the first expiry it stays before.
    TDateTime Today() const { return today_; }
    void SetToday(TDateTime today) { today_ = today; }
    TDateTime FirstExpiry() const { return firstExpiry_; }
    void SetFirstExpiry(TDateTime expiry) { firstExpiry_ = expiry; }
    // Values every expiry on Today().
    void TodayIntoAll();
    // Moves the valuation date so that daysLeft remain to expiry, yet keeps
    // it at least a day before the first expiry; the new date.
    TDateTime MoveToday(TDateTime expiry, int daysLeft);

    // The step between the strike labels, taken from the first expiry by
    // TakeStrikeStep, which gives it too.
    float StrikeStep() const { return strikeStep_; }
    float TakeStrikeStep();

    // The position was changed since it was read or saved.
    bool PositionChanged() const { return positionChanged_; }
    void SetPositionChanged(bool changed) { positionChanged_ = changed; }

    // The input bar's values into every expiry.
    void ApplyInputs(const SeriesInputs& inputs);
    // A price history's volatility, window, last close and its date into
    // every expiry; the valuation date becomes that date.
    void TakeHistory(float sigma, int days, float lastClose, TDateTime lastDate);

    // Loads every expiry's quotes of contract from file, then the table's
    // market; the expiries are valued on the quote date. Problems go to the
    // notifier; an expiry that cannot be read ends the load.
    SeriesQuotes LoadQuotes(const std::string& file, const std::string& contract,
                            const std::array<float, 3>& defaultRates);

    // The bid and ask volatilities of one expiry from its quotes; an expired
    // expiry's are zero.
    static void SolveIvs(TInOutObj& series);
    // The bid and ask volatilities of every expiry with days left.
    void SolveAllIvs();
    // Recalculates every expiry in the skew mode source; the flat mode
    // solves the implied volatilities here, once. The message naming the
    // strikes that could not be priced (the expiries share them, so they are
    // named once), or an empty text. Throws what pricing throws.
    std::string RecalcAll(VolSource source);

private:
    Notifier& notifier_;
    LocaleInfo locale_;
    std::vector<Expiry> series_;
    std::shared_ptr<const TableMarket> market_;
    int gridIndex_ = -1;
    TDateTime today_ = 0;
    TDateTime firstExpiry_ = 0;
    float strikeStep_ = 0;
    bool positionChanged_ = false;
};

}  // namespace kestrava
