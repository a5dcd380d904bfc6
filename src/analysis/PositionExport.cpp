#include "analysis/PositionExport.h"

#include "analysis/AnalysisError.h"
#include "common/filereplace.h"
#include "common/numtext.h"

namespace kestrava {

const char* const kPositionLegsCsvHeader =
    "leg,kind,expiry,strike,side,quantity,price,mark,marked_at,volatility,commission,iv,vol_used,theo,delta,"
    "gamma,decay,vega,rho";
const char* const kPositionFiguresCsvHeader = "figure,now,scenario";

namespace {

const MarkedLeg* MarkOf(const MarkedPosition& marked, int index)
{
    for (const MarkedLeg& leg : marked.Legs())
        if (leg.index == index)
            return &leg;
    return nullptr;
}

const LegFigures* FiguresOf(const PositionFigures& figures, int index)
{
    for (const LegFigures& leg : figures.legs)
        if (leg.index == index)
            return &leg;
    return nullptr;
}

// A volatility, or an empty cell where there is none.
std::string VolCell(double vol)
{
    return vol > 0 ? FormatSig9(vol) : std::string();
}

std::string LegLine(const PositionLeg& leg, int index, const MarkedLeg* mark, const LegFigures* figures)
{
    std::string line = std::to_string(index + 1);
    if (leg.IsOption())
        line += ",option," + IsoDate(leg.expiry) + "," + FormatSig9(ShortestDouble(leg.strike))
                + (leg.side == 2 ? ",P," : ",C,");
    else
        line += ",underlying,,,,";
    line += std::to_string(leg.quantity) + "," + FormatSig9(leg.price);
    if (!mark)
        return line + ",,none,,,,,,,,,,";
    const char* source = !leg.IsOption() ? "price"
                         : mark->atMid   ? "mid"
                         : mark->vol > 0 ? "model"
                                         : "intrinsic";
    line += "," + FormatSig9(mark->mark) + "," + source + ",";
    if (leg.IsOption() && mark->vol > 0)
        line += FormatSig9(mark->vol);
    line += "," + FormatSig9(mark->commission);
    if (!figures)
        return line + ",,,,,,,,";
    line += "," + VolCell(figures->iv) + "," + VolCell(figures->volUsed);
    for (double value :
         {figures->theo, figures->delta, figures->gamma, figures->decay, figures->vega, figures->rho})
        line += "," + FormatSig9(value);
    return line;
}

void FigureLine(std::string& text, const char* name, double now, double scenario)
{
    text.append(name)
        .append(",")
        .append(FormatSig9(now))
        .append(",")
        .append(FormatSig9(scenario))
        .append("\n");
}

}  // namespace

std::string PositionCsv(const Position& position, const MarkedPosition& marked,
                        const PositionFigures& figures, const PnlTable& table)
{
    std::string text = std::string(kPositionLegsCsvHeader) + "\n";
    for (std::size_t i = 0; i < position.legs.size(); ++i)
        text += LegLine(position.legs[i], static_cast<int>(i), MarkOf(marked, static_cast<int>(i)),
                        FiguresOf(figures, static_cast<int>(i)))
                + "\n";
    text += "\n";
    text += std::string(kPositionFiguresCsvHeader) + "\n";
    const PositionTotals& now = figures.now;
    const PositionTotals& then = figures.scenario;
    FigureLine(text, "cost", now.cost, then.cost);
    FigureLine(text, "commissions", now.commissions, then.commissions);
    FigureLine(text, "value", now.value, then.value);
    FigureLine(text, "pnl", now.pnl, then.pnl);
    FigureLine(text, "delta", now.delta, then.delta);
    FigureLine(text, "gamma", now.gamma, then.gamma);
    FigureLine(text, "decay", now.decay, then.decay);
    FigureLine(text, "vega", now.vega, then.vega);
    FigureLine(text, "rho", now.rho, then.rho);
    FigureLine(text, "theo", now.theo, then.theo);
    text += "date," + IsoDate(marked.Today()) + "," + IsoDate(figures.date) + "\n";
    text += "\n";
    text += PnlTableCsv(table);
    return text;
}

void WritePositionCsvFile(const std::string& fileName, const std::string& csv)
{
    try {
        ReplaceFileContents(fileName, csv);
    } catch (const FileReplaceError& error) {
        throw AnalysisFileError("Cannot export the position to \"" + fileName + "\". " + error.what());
    }
}

}  // namespace kestrava
