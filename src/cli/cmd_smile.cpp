// smile: the volatility smile of one expiry of a series, as points or as
// the Smile tab's picture.

#include <QImage>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/Smile.h"
#include "chart/SmilePlot.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/offscreengui.h"
#include "cli/seriesjson.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/notifier.h"

namespace kestrava::cli {
namespace {

constexpr int kLargestPicture = 10000;

int RunSmile(const std::vector<std::string>& args)
{
    const Arguments options = ParseArguments(
        args, {"--expiry", "--out", "--width", "--height", kQuotesOption}, {"--csv"}, "SERIES");
    const std::optional<std::string> out = options.Option("--out");
    const bool csv = options.Flag("--csv");
    if ((!out || out->empty()) && !csv)
        throw UsageError("needs --out FILE.png or --csv");
    const int width = WholeNumber(options, "--width", 800, 1, kLargestPicture);
    const int height = WholeNumber(options, "--height", 400, 1, kLargestPicture);
    const int expiry = WholeNumber(options, "--expiry", 1, 1, 3);

    StderrNotifier notifier;
    std::vector<TInOutObj> series;
    bool complete = LoadSeriesAny(options.file, series, notifier);
    const SeriesQuotes quotes = LoadSeriesQuotes(series, options.Option(kQuotesOption), options.locale,
                                                 notifier);
    complete = RecalculateSeries(series, VolSource::Flat, notifier) && complete;
    if (static_cast<std::size_t>(expiry) > series.size())
        throw UsageError("--expiry " + std::to_string(expiry) + ": the series has "
                         + std::to_string(series.size()) + " expiries");
    const std::size_t index = static_cast<std::size_t>(expiry - 1);
    const SmileData smile = MakeSmileData(series[index]);
    if (smile.points.empty())
        notifier.Info(NoVolatilityReason(series[index], index, quotes));

    if (csv)
        std::fputs(SmileCsv(smile.points).c_str(), stdout);
    if (out && !out->empty()) {
        const auto gui = StartGui();
        const QImage picture = SmilePicture(smile, width, height, 1, options.locale);
        if (picture.isNull() || !picture.save(QString::fromStdString(*out), "PNG"))
            throw std::runtime_error("cannot write " + *out);
        if (!csv) {
            PrintValue("Picture", *out);
            PrintValue("Points", std::to_string(smile.points.size()));
        }
    }
    return complete && !smile.points.empty() ? kExitOk : kExitFailed;
}

const char* const kSmileHelp =
    "Usage: kestrava-calc smile SERIES [--expiry N] --out FILE.png [--width W]\n"
    "                           [--height H] [--csv] [--quotes FILE] [locale options]\n"
    "\n"
    "Recalculates SERIES (a .ops file or its JSON form) with the quotes the\n"
    "option page loads, as \"price\" does, and\n"
    "shows the volatility smile of its expiry N (counted from 1, default 1): the\n"
    "implied volatilities of the bids and asks of calls and puts against the\n"
    "strike, as the Smile tab draws them, with the flat volatility as a line and\n"
    "the underlying's price marked. Strikes without a solved volatility are left\n"
    "out.\n"
    "\n"
    "  --out FILE.png  the picture to write\n"
    "  --width W       picture width in pixels (default 800, at most 10000)\n"
    "  --height H      picture height in pixels (default 400, at most 10000)\n"
    "  --csv           print the points instead of key=value lines: the header\n"
    "                  strike,side,bid_iv,ask_iv and one row per strike and side\n"
    "                  (C or P) whose bid or ask volatility was solved, calls then\n"
    "                  puts; volatilities as fractions with nine significant\n"
    "                  digits as \"price\" prints them, 0 for one not solved\n";

const char* const kSmileHelpEnd =
    "\n"
    "One of --out and --csv is needed; with --out alone, Picture and Points are\n"
    "printed as key=value lines. Dates and decimals of the picture follow the\n"
    "locale options. Runs without a display.\n"
    "\n"
    "Exit status: 0 the smile has points; 1 it has none (standard error says\n"
    "why), or the series file is damaged (the expiries before the damage are used); 2 bad usage, an\n"
    "unreadable or unpriceable series, or a picture that cannot be written.\n";

const CommandRegistration smileCommand({
    "smile",
    "smile SERIES [--expiry N] [--out PNG] [--csv] [--quotes FILE]",
    "draw or list the bid and ask volatilities of one expiry",
    std::string(kSmileHelp) + kQuotesHelp + kSmileHelpEnd + "\n" + kLocaleOptionsHelp,
    RunSmile,
});

}  // namespace
}  // namespace kestrava::cli
