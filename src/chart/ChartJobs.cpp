#include "chart/ChartJobs.h"

#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>

#include "chart/ChartObj.h"
#include "chart/GridPrn.h"
#include "chart/PrinterTarget.h"

namespace kestrava {

QImage DrawScreenChart(const ChartInput& input, QSize size, qreal pixelRatio, Notifier& notifier,
                       const LocaleInfo& locale)
{
    TChartObj chart(notifier, locale);
    chart.FileName = input.workFile.toStdString();
    chart.DataKind = 0;  // the chart decides from the file
    chart.VolDays = input.volDays;
    chart.Printing = false;
    chart.ChartWidth = size.width();
    chart.ChartHeight = size.height();
    chart.PixelRatio = pixelRatio;
    chart.Draw();
    return chart.Bitmap;
}

void PrintChart(QPrinter& printer, const ChartInput& input, Notifier& notifier, const LocaleInfo& locale)
{
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    const auto restore = qScopeGuard([&] { printer.setPageOrientation(orientation); });
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(input.titleSymbol + QStringLiteral(" Volatility Chart"));

    QPainter page;
    if (!page.begin(&printer))
        throw PrintJobError(CannotPrintMessage(printer));
    const auto endJob = qScopeGuard([&] {
        if (page.isActive())
            page.end();
    });
    TChartObj chart(notifier, locale);
    chart.Printing = true;
    chart.FileName = input.workFile.toStdString();
    chart.DataKind = 0;
    chart.TitleSymbol = input.titleSymbol.toStdString();
    chart.VolDays = input.volDays;
    chart.ChartWidth = printer.width();
    chart.ChartHeight = printer.height();
    chart.Draw(&page);
    page.end();
    CheckPdfWhole(printer);
}

void PrintGrid(QPrinter& printer, const TInOutObj& series, Notifier& notifier, const LocaleInfo& locale)
{
    PrinterTarget target(printer);
    TGridPrinter(target, notifier, locale).PrintGrid(series);
    CheckPdfWhole(printer);
}

}  // namespace kestrava
