#include "app/PageChartHooks.h"

#include "chart/ChartJobs.h"
#include "chart/PlotPrint.h"
#include "common/notifier.h"

namespace kestrava {
namespace {

ChartInput InputOf(const ChartRequest& request)
{
    return ChartInput{request.workFile, request.volDays, request.titleSymbol};
}

}  // namespace

void GiveChartAndPrinter(PageEnvironment& environment, Notifier& notifier)
{
    Notifier* messages = &notifier;
    const LocaleInfo locale = environment.locale;
    environment.drawChart = [messages, locale](const ChartRequest& request) {
        return DrawScreenChart(InputOf(request), QSize(request.width, request.height), request.pixelRatio,
                               request.notifier ? *request.notifier : *messages, locale);
    };
    environment.printGrid = [messages, locale](QPrinter& printer, const TInOutObj& series) {
        PrintGrid(printer, series, *messages, locale);
    };
    environment.printChart = [messages, locale](QPrinter& printer, const ChartRequest& request) {
        PrintChart(printer, InputOf(request), request.notifier ? *request.notifier : *messages, locale);
    };
    environment.printPlot = [](QPrinter& printer, const PlotPrintout& printout) {
        PrintPlot(printer, printout);
    };
}

}  // namespace kestrava
