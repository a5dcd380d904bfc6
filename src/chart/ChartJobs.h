#pragma once
// The chart and the grid printer as the windows and kestrava-calc use them:
// a screen picture of a price work file, the chart on a landscape page, and
// one expiry's grid on portrait pages.

#include <QImage>
#include <QSize>
#include <QString>

#include "common/localeinfo.h"
#include "common/notifier.h"

class QPrinter;

namespace kestrava {

class TInOutObj;

struct ChartInput {
    QString workFile;     // the price work file
    int volDays = 90;     // the volatility window
    QString titleSymbol;  // printed charts only
};

// The chart of size picture units, drawn at pixelRatio device pixels per
// unit. Throws ChartError or MarketDataError when nothing can be drawn.
QImage DrawScreenChart(const ChartInput& input, QSize size, qreal pixelRatio, Notifier& notifier,
                       const LocaleInfo& locale);

// Prints the chart as a print job of its own on a landscape page, titled
// "<symbol> Volatility Chart"; the printer's orientation is restored
// afterwards, also when the chart fails (its error is passed on).
void PrintChart(QPrinter& printer, const ChartInput& input, Notifier& notifier, const LocaleInfo& locale);

// Prints one expiry's grid as a print job of its own.
void PrintGrid(QPrinter& printer, const TInOutObj& series, Notifier& notifier, const LocaleInfo& locale);

}  // namespace kestrava
