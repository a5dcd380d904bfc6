// chart and print: the price and volatility chart and the grid printer
// without a window.

#include <QGuiApplication>
#include <QImage>
#include <QPrinter>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "chart/ChartObj.h"
#include "chart/GridPrn.h"
#include "chart/PrinterTarget.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/convertedprices.h"
#include "cli/localeoptions.h"
#include "cli/offscreengui.h"
#include "cli/seriesjson.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "marketdata/PriceFileReader.h"

namespace kestrava::cli {
namespace {

const char* const kNoExpiry = "There is no expiry to print in ";
constexpr int kLargestPicture = 10000;
constexpr int kDefaultWindow = 90;

// Writes the messages to standard error and remembers whether an error was
// among them.
class CountingNotifier : public StderrNotifier {
public:
    void Error(const std::string& text) override
    {
        ++errors;
        StderrNotifier::Error(text);
    }
    int errors = 0;
};

int RunChart(const std::vector<std::string>& args)
{
    const Arguments options = ParseArguments(args, {"--out", "--width", "--height", "--days"}, {},
                                             "PRICEFILE");
    const std::optional<std::string> out = options.Option("--out");
    if (!out || out->empty())
        throw UsageError("needs --out FILE.png");
    const int width = WholeNumber(options, "--width", 800, 1, kLargestPicture);
    const int height = WholeNumber(options, "--height", 400, 1, kLargestPicture);
    int days = WholeNumber(options, "--days", kDefaultWindow, INT32_MIN, INT32_MAX);
    if (days < 10 || days > 250)
        days = kDefaultWindow;  // as the page's volatility-days box

    const auto gui = StartGui();
    StderrNotifier notifier;
    ConvertedPrices prices(options.file, notifier, options.locale);
    if (!prices.Usable())
        return kExitFailed;

    TChartObj chart(notifier, options.locale);
    chart.FileName = prices.reader.DataFileName;
    chart.VolDays = days;
    chart.ChartWidth = width;
    chart.ChartHeight = height;
    try {
        chart.Draw();
    } catch (const ChartError& error) {
        notifier.Info(error.what());
        return kExitFailed;
    } catch (const MarketDataError& error) {
        notifier.Info(error.what());
        return kExitFailed;
    }
    if (!chart.Bitmap.save(QString::fromStdString(*out), "PNG"))
        throw std::runtime_error("cannot write " + *out);
    PrintValue("Picture", *out);
    PrintValue("DataKind", std::to_string(chart.DataKind));
    PrintValue("Days", std::to_string(chart.LoadedPoints));
    PrintValue("VolatilityValues", std::to_string(chart.Points > 0 ? chart.Points - 1 : 0));
    PrintValue("Title", chart.TitleLine);
    return kExitOk;
}

int RunPrint(const std::vector<std::string>& args)
{
    const Arguments options = ParseArguments(args, {"--pdf", "--skew", kQuotesOption}, {}, "SERIES");
    const std::optional<std::string> pdf = options.Option("--pdf");
    if (!pdf || pdf->empty())
        throw UsageError("needs --pdf OUT.pdf");
    const VolSource source = options.Option("--skew") ? ParseSkew(*options.Option("--skew"))
                                                      : VolSource::Flat;

    CountingNotifier notifier;
    std::vector<TInOutObj> series;
    bool complete = LoadSeriesAny(options.file, series, notifier);
    LoadSeriesQuotes(series, options.Option(kQuotesOption), options.locale, notifier);
    complete = RecalculateSeries(series, source, notifier, ProgressOnStderr("Priced")) && complete;
    if (series.empty()) {
        notifier.Info(kNoExpiry + options.file);
        return kExitFailed;
    }

    const auto gui = StartGui();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(*pdf));
    PrinterTarget target(printer, PrinterTarget::Jobs::OneJobForAll);
    for (const TInOutObj& expiry : series)
        TGridPrinter(target, notifier, options.locale).PrintGrid(expiry);
    target.Finish();
    try {
        CheckPdfWhole(printer);
    } catch (const PrintJobError& error) {
        notifier.Error(error.what());
    }
    PrintValue("PDF", *pdf);
    PrintValue("Expiries", std::to_string(series.size()));
    return complete && notifier.errors == 0 ? kExitOk : kExitFailed;
}

const char* const kChartHelp =
    "Usage: kestrava-calc chart PRICEFILE --out FILE.png [--width W] [--height H]\n"
    "                           [--days N] [locale options]\n"
    "\n"
    "Converts the daily price file as \"convert\" does and draws the Chart tab's\n"
    "picture of it into a PNG file: the newest days that fit (at most 400) as a\n"
    "close line, or as high-low bars when the file has highs and lows, against a\n"
    "price axis on the right, and their rolling N-day volatility in percent\n"
    "against an axis on the left, with month labels and a title line.\n"
    "\n"
    "  --out FILE.png  the picture to write (required)\n"
    "  --width W       picture width in pixels (default 800, at most 10000)\n"
    "  --height H      picture height in pixels (default 400, at most 10000)\n"
    "  --days N        the volatility window (default 90); as in the page, below\n"
    "                  10 or above 250 days gives 90\n"
    "\n"
    "Prints Picture, DataKind (1 closes only, 3 highs and lows), Days (the days\n"
    "loaded), VolatilityValues and Title as key=value lines. The chart's\n"
    "messages (too few days for a volatility line, say) go to standard error.\n"
    "Runs without a display.\n"
    "\n"
    "Exit status: 0 a picture was written; 1 nothing could be drawn (the reason\n"
    "goes to standard error); 2 bad usage, an unreadable file or a picture that\n"
    "cannot be written.\n";

const char* const kPrintHelp = "Usage: kestrava-calc print SERIES --pdf OUT.pdf [--skew flat|bid|ask]\n"
                               "                           [--quotes FILE] [locale options]\n"
                               "\n"
                               "Recalculates every expiry of SERIES (a .ops file or its JSON form) with\n"
                               "the quotes the option page loads, as \"price\" does, and prints each "
                               "expiry's grid, one after another, into one\n"
                               "PDF file as the Print command prints an expiry tab: a heading, the column\n"
                               "headings, a call and a put entry per strike (with its option code when the\n"
                               "series has one) and the lines that state the inputs, in a fixed-pitch font\n"
                               "on portrait pages. Dates and decimals follow the locale options. Runs\n"
                               "without a display.\n"
                               "\n"
                               "Exit status: 0 every expiry was printed; 1 a damaged series file (the\n"
                               "expiries before the damage are printed), no expiry, or an error while\n"
                               "printing (on standard error); 2 bad usage, an unreadable or unpriceable\n"
                               "series, or a PDF file that cannot be written.\n";

const CommandRegistration chartCommand({
    "chart",
    "chart PRICEFILE --out PNG [--width W --height H --days N]",
    "draw the price and volatility chart of a daily price file",
    std::string(kChartHelp) + "\n" + kLocaleOptionsHelp,
    RunChart,
});

const CommandRegistration printCommand({
    "print",
    "print SERIES --pdf OUT.pdf [--skew flat|bid|ask] [--quotes FILE]",
    "print the grid of every expiry of a series into a PDF file",
    std::string(kPrintHelp) + "\n" + kQuotesHelp + "\n" + kLocaleOptionsHelp,
    RunPrint,
});

}  // namespace
}  // namespace kestrava::cli
