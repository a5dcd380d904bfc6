#include "analysis/ChainExport.h"

#include <charconv>

#include "common/numtext.h"

namespace kestrava {
namespace {

// The shortest text that reads back as the same number: a price read from
// the table as 45.34 is written 45.34 again.
template <typename Number>
std::string Shortest(Number value)
{
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : FormatSig9(value);
}

std::string VolText(const VolSolution& vol)
{
    return vol.Solved() ? FormatSig9(vol.vol) : std::string();
}

void AppendOption(std::string& text, const ChainExpiry& expiry, const ChainStrike& strike, bool call,
                  const OptionVols* vols)
{
    const ChainQuote& quote = call ? strike.call : strike.put;
    text.append(IsoDate(expiry.date)).append(",").append(Shortest(strike.strike));
    text.append(call ? ",C," : ",P,");
    text.append(Shortest(quote.bid)).append(",").append(Shortest(quote.ask)).append(",");
    text.append(Shortest(quote.last)).append(",");
    text.append(std::to_string(quote.volume))
        .append(",")
        .append(std::to_string(quote.openInterest))
        .append(",");
    if (vols && vols->mid.Solved())
        text.append(VolText(vols->mid)).append(",").append(FormatSig9(vols->delta));
    else
        text.append(",");
    text.append("\n");
}

}  // namespace

const char* const kChainCsvHeader = "expiry,strike,side,bid,ask,last,volume,open_interest,mid_iv,delta";
const char* const kTermCsvHeader = "expiry,days,forward,atm_iv,forward_source,implied_yield";

std::string ChainCsv(const ChainRoot& root, const std::vector<ExpiryVols>& vols)
{
    std::string text = std::string(kChainCsvHeader) + "\n";
    for (std::size_t e = 0; e < root.expiries.size(); ++e)
        text += ChainCsvRows(root.expiries[e], e < vols.size() ? &vols[e] : nullptr);
    return text;
}

std::string ChainCsvRows(const ChainExpiry& expiry, const ExpiryVols* vols)
{
    std::string text;
    for (std::size_t s = 0; s < expiry.strikes.size(); ++s) {
        const bool solved = vols && s < vols->options.size();
        for (int side = 0; side < 2; ++side)
            AppendOption(text, expiry, expiry.strikes[s], side == 0,
                         solved ? &vols->options[s][static_cast<std::size_t>(side)] : nullptr);
    }
    return text;
}

std::string TermCsv(const std::vector<TermPoint>& points)
{
    std::string text = std::string(kTermCsvHeader) + "\n";
    for (const TermPoint& point : points) {
        text.append(IsoDate(point.expiry)).append(",").append(std::to_string(point.days)).append(",");
        text.append(point.forward > 0 ? FormatSig9(point.forward) : std::string()).append(",");
        text.append(point.atmVol > 0 ? FormatSig9(point.atmVol) : std::string()).append(",");
        // An expiry that cannot be priced has no forward to tell of.
        if (point.forward > 0)
            text.append(ForwardSourceName(point.forwardSource))
                .append(",")
                .append(FormatSig9(point.impliedYield));
        else
            text.append(",");
        text.append("\n");
    }
    return text;
}

std::string SurfaceCsv(const VolSurfaceGrid& grid)
{
    std::string text = "expiry,days";
    for (const double m : grid.moneyness)
        text.append(",").append(Shortest(m));
    text.append("\n");
    for (std::size_t r = 0; r < grid.expiries.size(); ++r) {
        text.append(IsoDate(grid.expiries[r])).append(",").append(std::to_string(grid.days[r]));
        for (std::size_t c = 0; c < grid.moneyness.size(); ++c) {
            const double vol = grid.At(r, c);
            text.append(",").append(vol > 0 ? FormatSig9(vol) : std::string());
        }
        text.append("\n");
    }
    return text;
}

}  // namespace kestrava
