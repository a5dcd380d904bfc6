// A quote table as the option page reads it: the roots for its contract
// list, then the quotes of one expiry for one of those roots.
//
// An input of eight bytes or more ends in the expiry and strikes to load:
// month (1 + byte % 12), day (1 + byte % 31, kept inside the month), year
// (2000 + byte % 40), which of the roots found, the strike count (byte % 21),
// the first strike in half points (two bytes, little-endian) and the strike
// step in half points. The rest is the quote file.

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/localeparse.h"
#include "fuzz/FuzzSupport.h"
#include "marketdata/OptPriceReader.h"
#include "pagecore/QuoteLoad.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChoiceBytes = 8;

struct ExpiryChoice {
    TInOutObj expiry;
    std::size_t rootIndex = 0;
};

ExpiryChoice ChooseExpiry(Input choice)
{
    ExpiryChoice chosen;
    TInOutObj& p = chosen.expiry;
    const int month = 1 + choice[0] % 12;
    const int year = 2000 + choice[2] % 40;
    const int day = std::min(1 + choice[1] % 31, DaysInMonth(year, month));
    p.ExpiryMonth = month;
    p.ExpiryDate = EncodeDate(year, month, day);
    p.TodayDate = p.ExpiryDate - 30;
    chosen.rootIndex = choice[3];
    p.NumStrikes = choice[4] % (kMaxStrikes + 1);
    const float first = static_cast<float>(choice[5] | (choice[6] << 8)) / 2;
    const float step = static_cast<float>(choice[7]) / 2;
    for (int s = 1; s <= p.NumStrikes; ++s)
        p.Strike(s, 1) = p.Strike(s, 2) = first + static_cast<float>(s - 1) * step;
    return chosen;
}

std::string CheckLoadedExpiry(const TInOutObj& before, const TInOutObj& after)
{
    for (int s = 1; s <= before.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            if (after.Strike(s, k) != before.Strike(s, k))
                return "the quote load changed a strike";
            for (const float value :
                 {after.Last(s, k), after.NetChange(s, k), after.Bid(s, k), after.Ask(s, k)})
                if (!std::isfinite(value))
                    return "a quote that is no finite number";
            const std::string& code = after.OptCode(s, k);
            if (!code.empty() && code.front() != '\r')
                return "an option code that does not start on its own line";
        }
    }
    return {};
}

// A load either fails with one message, or succeeds and warns once of the
// quotes it set aside (a negative price, one too large, a bid above its ask),
// with their number, or says nothing. The page, loading several expiries,
// takes that number instead and warns once for all: the same load then says
// nothing and gives the same quotes.
std::string CheckSetAsideCount(const TInOutObj& before, const TInOutObj& loaded, const std::string& file,
                               const std::string& contract, const CountingNotifier& said)
{
    TInOutObj again = before;
    CountingNotifier quiet;
    UnderlyingQuote underlying;
    int setAside = 0;
    if (!LoadExpiryQuotes(again, file, contract, quiet, kLayouts[0], underlying, &setAside))
        return "a quote load failed the second time";
    if (quiet.messages != 0)
        return "a quote load that leaves the warning to its caller gave a message";
    if (const std::string field = SeriesDifference(loaded, again, true); !field.empty())
        return "a quote load for the page loaded another " + field;
    if (setAside < 0 || setAside > 2 * std::clamp(before.NumStrikes, 0, kMaxStrikes))
        return "more quotes set aside than there are";
    if (setAside == 0)
        return said.messages == 0 ? "" : "quotes loaded with a message";
    if (said.messages != 1 || said.warnings != 1)
        return "quotes set aside without one warning";
    if (said.lastText != SetAsideMessage(setAside, file))
        return "a warning of quotes set aside that does not say how many";
    return {};
}

}  // namespace

std::string RunQuoteTable(Input input)
{
    const bool chosen = input.size() >= kChoiceBytes;
    const Input table = chosen ? input.first(input.size() - kChoiceBytes) : input;
    static const std::uint8_t kDefaultChoice[kChoiceBytes] = {0, 23, 11, 0, 5, 0x66, 0x08, 50};
    ExpiryChoice choice = ChooseExpiry(chosen ? input.last(kChoiceBytes) : Input(kDefaultChoice));

    const fs::path folder = FreshScratchFolder();
    const fs::path file = folder / "SPX.txt";
    WriteWholeFile(file, AsText(table));

    CountingNotifier rootNotifier;
    TCboePriceReader roots(rootNotifier, kLayouts[0]);
    roots.FileName = file.string();
    roots.ListRoots();
    if (rootNotifier.blankMessage)
        return "a message without a text";
    if (!std::is_sorted(roots.Roots.begin(), roots.Roots.end())
        || std::adjacent_find(roots.Roots.begin(), roots.Roots.end()) != roots.Roots.end())
        return "the roots are not sorted without duplicates";
    std::error_code error;
    if (!fs::exists(file, error)) {
        // An unusable file is set aside whole, and the user is told.
        if (!FileHolds(folder / kRejectedFolder / "SPX.txt", AsText(table)))
            return "a rejected quote file was lost or changed";
        if (rootNotifier.messages == 0)
            return "a quote file was set aside without a message";
        return {};
    }
    if (!FileHolds(file, AsText(table)))
        return "listing the roots changed the quote file";

    const std::string contract = roots.Roots.empty() ? std::string("SPX")
                                                     : roots.Roots[choice.rootIndex % roots.Roots.size()];
    TInOutObj expiry = choice.expiry;
    CountingNotifier loadNotifier;
    UnderlyingQuote underlying;
    const bool loaded = LoadExpiryQuotes(expiry, file.string(), contract, loadNotifier, kLayouts[0],
                                         underlying);
    if (loadNotifier.blankMessage)
        return "a message without a text";
    if (!FileHolds(file, AsText(table)))
        return "loading the quotes changed the quote file";
    if (!loaded)
        return loadNotifier.messages != 1 || loadNotifier.warnings != 0
                   ? "a failed quote load did not say one error"
                   : "";
    if (const std::string problem = CheckSetAsideCount(choice.expiry, expiry, file.string(), contract,
                                                       loadNotifier);
        !problem.empty())
        return problem;
    if (!std::isfinite(underlying.last))
        return "an underlying price that is no finite number";
    // The page shows these.
    QuoteCaptionText(underlying, ',');
    FormatLocaleDate(underlying.quoteDate, kLayouts[1]);
    return CheckLoadedExpiry(choice.expiry, expiry);
}

}  // namespace kestrava::fuzz
