#pragma once
// What an option page is handed when it is created: the choices of the
// setup dialog (for a new or changed series) and the application's
// settings and folders. The page reads nothing else of the application, so
// it can be built and tested on its own.

#include <QDate>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/localeinfo.h"

class QPrinter;

namespace kestrava {

class Notifier;

class TInOutObj;
struct PlotPrintout;
struct TableMarket;

// What the page asks of the chart: the price work file, the volatility
// window in days and the picture's size in device pixels (0 x 0 when
// printing: the printer page's size).
struct ChartRequest {
    QString workFile;
    int volDays = 90;
    int width = 0;
    int height = 0;
    qreal pixelRatio = 1;  // device pixels per picture pixel on the screen
    bool printing = false;
    QString titleSymbol;  // printed charts only
    // Where the chart's messages go; null: the program's own message boxes.
    Notifier* notifier = nullptr;
};

// The setup dialog's boxes as the user left them. The number boxes stay
// text: the page converts them and reports a text that is not a number.
struct SeriesSetup {
    int numExpiries = 3;                            // edNumExp
    std::array<QDate, 3> expiryDates;               // DatePicker1 .. DatePicker3
    QString numStrikes = QStringLiteral("5");       // edNumStr
    QString firstStrike = QStringLiteral("100");    // ed1stStr
    QString strikeIncrement = QStringLiteral("5");  // edStrIncr
    QString optionSymbol;                           // edOSymbl
    int contractType = 1;                           // 1 Equity, 2 Index, 3 Future, 4 Currency
    int model = 3;                                  // rgModel index + 1
    QString dividendAmount;                         // edDivAmt, equities
    QDate dividendDate;                             // DatePickerDivDate
    QString dividendYield;                          // edDivYld, percent, indexes and currencies
    // A series made from a chain's selection: its strikes one by one (any
    // of them, not evenly spaced; they replace count, first and increment)
    // and the chain's underlying price. Empty and 0 for the dialog's series.
    std::vector<float> strikes;
    float underlyingPrice = 0;
    // The chain's at-the-money volatility (a fraction; 0: the page's 25 %),
    // its table's date (the price and valuation date; invalid: today) and
    // the table's market at the expiries, which the page keeps with its
    // quotes.
    float volatility = 0;
    QDate priceDate;
    std::shared_ptr<const TableMarket> market;

    // The dialog's result strings.
    QString sourceFilePath;
    QString workFilePath;
    QString contractRoot;
    QString symbolText;
};

// The application's side of a page.
struct PageEnvironment {
    std::array<float, 3> defaultRates{0.005f, 0.005f, 0.005f};  // fractions
    QString seriesDirectory;
    QString dataDirectory;  // quote files
    QString tempDirectory;  // price work files
    LocaleInfo locale;
    std::uint8_t sourceFileType = 5;
    // A page opened from a series file hands the file's price-file type back.
    std::function<void(std::uint8_t)> takeSourceFileType;

    // The main window's frame; the page places itself right below it and
    // keeps at least its width. An empty rectangle leaves the page where the
    // window system puts it.
    QRect mainWindowGeometry;

    // The chart and the printer. Each may be empty: the Chart tab then shows
    // a plain dark picture, and printing does nothing.
    std::function<QImage(const ChartRequest&)> drawChart;
    std::function<void(QPrinter&, const TInOutObj&)> printGrid;
    std::function<void(QPrinter&, const ChartRequest&)> printChart;

    // Saves the page, whose series has no file yet, to a file the user
    // chooses (the main window's Save); false when the user cancelled or
    // the file could not be written. Empty: such a page cannot be saved.
    std::function<bool(QWidget* page)> saveSeriesAs;
    // The Smile and Position tabs' pictures (and the position's legs).
    std::function<void(QPrinter&, const PlotPrintout&)> printPlot;
};

// The page's names: the symbol its caption starts with, the ".ops" file it
// saves to (empty until the main window names one) and its price files.
struct PageNames {
    QString title;
    QString seriesFile;
    QString priceTextFile;
    QString priceWorkFile;
};

// How the main window asks for a page: from the setup dialog's values, or
// from a series file.
struct PageSource {
    bool openFromFile = false;  // OpenFromFile
    QString openFileName;       // OpenFileName
    SeriesSetup setup;          // used when openFromFile is false
};

}  // namespace kestrava
