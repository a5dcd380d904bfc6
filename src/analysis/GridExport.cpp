#include "analysis/GridExport.h"

#include "analysis/AnalysisError.h"
#include "common/filereplace.h"
#include "common/numtext.h"

namespace kestrava {

const char* const kGridCsvHeader =
    "expiry,strike,side,vol_fraction,bid,ask,bid_iv_fraction,ask_iv_fraction,theo,delta,gamma,decay,vega,"
    "prob_below_fraction,prob_above_fraction";

std::string GridCsvRow(const TInOutObj& p, int s, int k)
{
    const float values[] = {p.Vol(s, k),   p.Bid(s, k),  p.Ask(s, k),       p.BidIV(s, k),
                            p.AskIV(s, k), p.Theo(s, k), p.Delta(s, k),     p.Gamma(s, k),
                            p.Decay(s, k), p.Vega(s, k), p.ProbBelow(s, k), p.ProbAbove(s, k)};
    std::string line = IsoDate(p.ExpiryDate);
    line.append(",").append(FormatShortestSingle(p.Strike(s, k))).append(k == 1 ? ",C" : ",P");
    for (float v : values)
        line.append(",").append(FormatShortestSingle(v));
    return line;
}

std::string GridCsv(std::span<const TInOutObj* const> expiries)
{
    std::string text = std::string(kGridCsvHeader) + "\n";
    for (const TInOutObj* p : expiries) {
        for (int k = 1; k <= 2; ++k)
            for (int s = 1; s <= p->NumStrikes; ++s)
                text.append(GridCsvRow(*p, s, k)).append("\n");
    }
    return text;
}

void WriteGridCsvFile(const std::string& fileName, std::span<const TInOutObj* const> expiries)
{
    try {
        ReplaceFileContents(fileName, GridCsv(expiries));
    } catch (const FileReplaceError& error) {
        throw AnalysisFileError("Cannot export the grid to \"" + fileName + "\". " + error.what());
    }
}

}  // namespace kestrava
