// A delayed-quotes CSV through every reader that takes it: the whole-file
// check a download makes, the page's contract list and quote load, and the
// chain. The readers must agree: a chain that reads is a file the check
// passes (or one without rows), the page's quotes of a strike are the
// chain's, and nothing before the quote date is kept.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "analysis/AnalysisError.h"
#include "analysis/QuoteChain.h"
#include "fuzz/FuzzSupport.h"
#include "marketdata/OptPriceReader.h"
#include "pagecore/QuoteLoad.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

std::string CheckChain(const QuoteChain& chain)
{
    if (!(chain.underlyingLast > 0) || chain.quoteDate == 0)
        return "a chain read without its price or date";
    for (const TDateTime left : chain.expiriesLeftOut)
        if (!(left < chain.quoteDate))
            return "an expiry left out that is not before the quote date";
    for (std::size_t r = 0; r < chain.roots.size(); ++r) {
        const ChainRoot& root = chain.roots[r];
        if (r > 0 && !(chain.roots[r - 1].name < root.name))
            return "roots not in order";
        for (std::size_t e = 0; e < root.expiries.size(); ++e) {
            const ChainExpiry& expiry = root.expiries[e];
            if (expiry.date < chain.quoteDate || (e > 0 && !(root.expiries[e - 1].date < expiry.date)))
                return "an expiry before the quote date or out of order";
            for (std::size_t s = 0; s < expiry.strikes.size(); ++s) {
                const ChainStrike& strike = expiry.strikes[s];
                if (s > 0 && !(expiry.strikes[s - 1].strike < strike.strike))
                    return "strikes not ascending";
                OptionSymbol call, put;
                if (!ParseOptionSymbol(strike.call.code, call) || !ParseOptionSymbol(strike.put.code, put)
                    || call.root != root.name || put.root != root.name || call.expiry != expiry.date
                    || put.expiry != expiry.date || call.strike != strike.strike || !call.call || put.call)
                    return "a row kept under another root, expiry or strike than its codes'";
                for (const ChainQuote* quote : {&strike.call, &strike.put})
                    if (!(quote->bid >= 0 && quote->ask >= 0 && quote->last >= 0))
                        return "a negative price in the chain";
            }
        }
    }
    return {};
}

// The page's load of the default root's first expiry, for its first strikes:
// each quote the chain's, or set aside.
std::string CheckPageLoad(const QuoteChain& chain, const std::string& file)
{
    const int index = chain.DefaultRoot();
    if (index < 0)
        return {};
    const ChainRoot& root = chain.roots[static_cast<std::size_t>(index)];
    if (root.expiries.empty())
        return {};
    const ChainExpiry& expiry = root.expiries.front();
    TInOutObj p;
    const CivilDate day = DecodeDate(expiry.date);
    p.ExpiryMonth = day.month;
    p.ExpiryDate = expiry.date;
    p.NumStrikes = static_cast<int>(std::min<std::size_t>(expiry.strikes.size(), kMaxStrikes));
    for (int s = 1; s <= p.NumStrikes; ++s)
        p.Strike(s, 1) = p.Strike(s, 2) = static_cast<float>(
            expiry.strikes[static_cast<std::size_t>(s - 1)].strike);
    CountingNotifier said;
    UnderlyingQuote underlying;
    int setAside = 0;
    if (!LoadExpiryQuotes(p, file, root.name, said, kLayouts[0], underlying, &setAside))
        return "the page could not load a chain that reads";
    if (underlying.layout != QuoteLayout::DelayedQuotesCsv || underlying.expiredLeftOut != 0)
        return "the page read the layout or the expiry otherwise";
    // The page matches the rows in the file's order, so a strike may stay
    // unmatched; one matched is the chain's option.
    for (int s = 1; s <= p.NumStrikes; ++s) {
        const ChainStrike& strike = expiry.strikes[static_cast<std::size_t>(s - 1)];
        // Strikes that one float cannot tell apart match the first of them.
        if (s > 1
            && static_cast<float>(expiry.strikes[static_cast<std::size_t>(s - 2)].strike) == p.Strike(s, 1))
            continue;
        for (int k = 1; k <= 2; ++k) {
            const ChainQuote& quote = k == 1 ? strike.call : strike.put;
            if (p.OptCode(s, k).empty())
                continue;
            if (p.OptCode(s, k) != "\r" + quote.code)
                return "the page loaded another option's code";
            const bool kept = SameBits(p.Bid(s, k), quote.bid) && SameBits(p.Ask(s, k), quote.ask);
            const bool putAside = p.Bid(s, k) == 0 && p.Ask(s, k) == 0 && p.Last(s, k) == 0 && setAside > 0;
            if (!kept && !putAside)
                return "the page loaded other quotes than the chain";
        }
    }
    return {};
}

}  // namespace

std::string RunDelayedQuotes(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const fs::path file = folder / "SPX.txt";
    WriteWholeFile(file, AsText(input));
    const std::string name = file.string();
    const bool delayed = QuoteFileLayout(name) == QuoteLayout::DelayedQuotesCsv;
    const std::string problem = QuoteTableProblem(name, "the reply");
    if (delayed && !problem.empty() && problem.find("the reply") == std::string::npos)
        return "a refusal of a reply that does not name it";

    std::optional<QuoteChain> chain;
    try {
        chain = ReadQuoteChain(name);
    } catch (const AnalysisFileError& error) {
        if (std::string(error.what()).find(name) == std::string::npos)
            return "a refusal that does not name the file";
    }
    if (!FileHolds(file, AsText(input)))
        return "reading the chain changed the file";
    if (chain && delayed) {
        if (chain->layout != QuoteLayout::DelayedQuotesCsv)
            return "the chain read another layout than the file's";
        if (!problem.empty() && problem.find("holds no option rows") == std::string::npos)
            return "a chain read from a file the whole-file check refuses: " + problem;
        if (std::string wrong = CheckChain(*chain); !wrong.empty())
            return wrong;
        if (std::string wrong = CheckPageLoad(*chain, name); !wrong.empty())
            return wrong;
    }

    CountingNotifier listed;
    TCboePriceReader roots(listed, kLayouts[0]);
    roots.FileName = name;
    roots.ListRoots();
    if (listed.blankMessage)
        return "a message without a text";
    if (!roots.Roots.empty()) {
        if (std::find(roots.Roots.begin(), roots.Roots.end(), roots.DefaultRoot) == roots.Roots.end())
            return "a default root the file does not offer";
        if (delayed && chain && chain->DefaultRoot() >= 0 && chain->expiriesLeftOut.empty()
            && chain->roots[static_cast<std::size_t>(chain->DefaultRoot())].name.size()
                   != roots.DefaultRoot.size())
            return "the page and the chain default to roots of other lengths";
    }
    std::error_code error;
    if (!fs::exists(file, error) && !FileHolds(folder / kRejectedFolder / "SPX.txt", AsText(input)))
        return "a rejected quote file was lost or changed";
    return {};
}

}  // namespace kestrava::fuzz
