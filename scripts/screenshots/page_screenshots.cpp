// Writes pictures of option pages for the documentation: one page per model,
// one with an expired expiry, one with the quotes of a real quote table, the
// Chart tab of a close-only and of a high-low price file, and (without a
// suffix, when pdftoppm is installed) a printed chart page.
// Usage: page_screenshots <folder> [suffix]
// (run with QT_SCALE_FACTOR=2 and the suffix "-200" for the high-DPI set; on
// the offscreen platform give it a screen tall enough for the pages).

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/PageChartHooks.h"
#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "grab_picture.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"

using namespace kestrava;

namespace {

StderrNotifier notifier;

PageEnvironment Environment()
{
    PageEnvironment environment;
    environment.defaultRates = {0.045f, 0.0475f, 0.05f};
    environment.mainWindowGeometry = QRect(0, 0, 1040, 64);
    GiveChartAndPrinter(environment, notifier);
    return environment;
}

SeriesSetup Setup(int model, int contractType)
{
    SeriesSetup setup;
    setup.numExpiries = 3;
    setup.expiryDates = {QDate(2009, 3, 20), QDate(2009, 4, 17), QDate(2009, 6, 19)};
    setup.numStrikes = QStringLiteral("7");
    // The future trades near 100 with whole strikes, so its labels run from
    // two to three digits; the others near 45 with strikes of 2.50.
    const bool future = contractType == kFuture;
    setup.firstStrike = future ? QStringLiteral("85") : QStringLiteral("42.5");
    setup.strikeIncrement = future ? QStringLiteral("5") : QStringLiteral("2.5");
    setup.optionSymbol = QStringLiteral("XYZ");
    setup.symbolText = QStringLiteral("XYZ");
    setup.contractType = contractType;
    setup.model = model;
    if (contractType == kEquity) {
        setup.dividendAmount = QStringLiteral("0.35");
        setup.dividendDate = QDate(2009, 5, 8);
    } else if (contractType == kIndex) {
        setup.dividendYield = QStringLiteral("2.1");
    }
    return setup;
}

void WritePrices(const QString& path, TDateTime lastDate, double level = 45.0)
{
    PriceWorkFileWriter writer(path.toStdString());
    for (int i = 0; i < 250; ++i) {
        TPriceRecord record;
        record.Date = lastDate - (249 - i);
        record.Close = static_cast<float>(level * std::exp(0.03 * std::sin(i * 0.45) + 0.0004 * i));
        writer.Append(record);
    }
    writer.Close();
}

// Market prices around the model values, with option codes, as a quote file
// would bring them.
void AddQuotes(TfrmOPage& page)
{
    TInOutObj* p = page.CurrentSeries();
    TImpStrGrid* grid = page.Controls().TheGrid;
    const int n = p->NumStrikes;
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            // An expired expiry has no model value; its last trades were near
            // the intrinsic value.
            const double strike = p->Strike(s, k);
            const double intrinsic = std::max(0.0, k == 1 ? p->Underlying - strike : strike - p->Underlying);
            const double theo = p->DaysToExpiry() > 0 ? p->Theo(s, k) : intrinsic + 0.05;
            if (theo < 0.05)
                continue;
            p->Last(s, k) = static_cast<float>(std::round(theo * 100.0 * 1.01) / 100.0);
            p->NetChange(s, k) = static_cast<float>((s % 3 - 1) * 0.15 * (k == 1 ? 1 : -1));
            p->OptCode(s, k) = std::string("\rXYZ") + (k == 1 ? 'C' : 'O') + char('A' + s);
            // Typed as the cell editor hands them over.
            QAbstractItemModel* cells = grid->model();
            cells->setData(cells->index(row - 1, 3), QString::number(theo * 0.96, 'f', 2));
            cells->setData(cells->index(row - 1, 5), QString::number(theo * 1.04 + 0.02, 'f', 2));
        }
    }
    page.InputBar().cmdReCalc->click();
}

// A real history converted into a work file: highs and lows.
QString HighLowWorkFile(const QString& folder, const char* history)
{
    LocaleInfo iso;  // yyyy-MM-dd, decimal point
    TAsciiFileReader reader(notifier, iso, folder.toStdString());
    reader.Open(std::string(KESTRAVA_TEST_DATA_DIR "/") + history);
    return QString::fromStdString(reader.DataFileName);
}

// The same days with their closes only.
QString CloseOnlyWorkFile(const QString& folder, const char* history)
{
    const QString path = folder + QStringLiteral("/CLOSES.TEM");
    PriceWorkFileWriter writer(path.toStdString());
    for (TPriceRecord record : ReadPriceRecords(HighLowWorkFile(folder, history).toStdString())) {
        record.High = record.Low = record.Volume = 0;
        writer.Append(record);
    }
    writer.Close();
    return path;
}

// The page's selected tab printed into a PDF file, turned into a PNG.
bool PrintChartPage(TfrmOPage& page, const QString& folder, const QString& file)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder + QStringLiteral("/printed.pdf"));
    page.PrintPage(printer);
    const int status = QProcess::execute(QStringLiteral("pdftoppm"),
                                         {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                          QStringLiteral("-singlefile"), printer.outputFileName(),
                                          file.chopped(4)});
    std::printf("%s %s\n", status == 0 ? "wrote" : "could not write", qPrintable(file));
    return status == 0;
}

// Lets the debounced column fit of the first show run.
bool Save(TfrmOPage& page, const QString& file)
{
    return testsupport::SaveGrab(page, file, 5);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: page_screenshots <folder> [suffix]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QTemporaryDir temp;
    const QString work = temp.filePath(QStringLiteral("XYZ.TEM"));
    WritePrices(work, EncodeDate(2009, 2, 27));
    const QString expiredWork = temp.filePath(QStringLiteral("XYZOLD.TEM"));
    WritePrices(expiredWork, EncodeDate(2009, 3, 27));
    const QString futureWork = temp.filePath(QStringLiteral("XYZFUT.TEM"));
    WritePrices(futureWork, EncodeDate(2009, 2, 27), 95.0);

    const QString highLowWork = HighLowWorkFile(temp.path(), "history-spy.csv");
    const QString closeWork = CloseOnlyWorkFile(temp.path(), "history-aapl.csv");

    struct Shot {
        const char* name;
        int model;
        int contract;
        bool expired;
        bool chart = false;
        bool highLow = false;
    };
    const Shot shots[] = {
        {"page-black-scholes", kBlackScholes, kEquity, false},
        {"page-black", kBlackFutures, kFuture, false},
        {"page-binomial", kBinomial, kEquity, false},
        {"page-whaley", kWhaley, kIndex, false},
        {"page-expired", kBlackScholes, kEquity, true},
        {"page-chart-close", kBlackScholes, kEquity, false, true},
        {"page-chart-highlow", kBlackScholes, kEquity, false, true, true},
    };
    bool ok = true;
    for (const Shot& shot : shots) {
        PageSource source;
        source.setup = Setup(shot.model, shot.contract);
        source.setup.sourceFilePath = temp.filePath(QStringLiteral("XYZ.csv"));
        source.setup.workFilePath = shot.highLow               ? highLowWork
                                    : shot.chart               ? closeWork
                                    : shot.expired             ? expiredWork
                                    : shot.contract == kFuture ? futureWork
                                                               : work;
        if (shot.chart) {
            source.setup.optionSymbol = QString::fromLatin1(shot.highLow ? "SPY" : "AAPL");
            source.setup.symbolText = source.setup.optionSymbol;
        }
        std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(Environment(), source, notifier));
        if (!page)
            return 1;
        AddQuotes(*page);
        if (std::string(shot.name) == "page-black-scholes") {
            // A bid being typed on the put row of the third strike.
            TImpStrGrid* grid = page->Controls().TheGrid;
            page->show();
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(9, 3));
            grid->edit(grid->currentIndex());
            if (auto* editor = grid->viewport()->findChild<QLineEdit*>())
                editor->setText(QStringLiteral("0.3"));
        }
        if (shot.chart)
            page->Controls().TabControl1->setCurrentIndex(page->Controls().TabControl1->count() - 1);
        ok = Save(*page, folder.filePath(QString::fromLatin1(shot.name) + suffix + QStringLiteral(".png")))
             && ok;
        if (shot.highLow && suffix.isEmpty())
            ok = PrintChartPage(*page, temp.path(), folder.filePath(QStringLiteral("printed-chart.png")))
                 && ok;
    }
    // SPX with the exchange's quotes of 24 January 2011 loaded: the last,
    // net, bid and ask columns, the codes under the strikes, the caption.
    {
        const QString quotes = temp.filePath(QStringLiteral("SPX.txt"));
        if (!QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"), quotes))
            return 1;
        PageEnvironment environment = Environment();
        environment.dataDirectory = temp.path();
        PageSource source;
        source.setup = Setup(kBlackScholes, kIndex);
        source.setup.numExpiries = 2;
        source.setup.expiryDates = {QDate(2011, 2, 19), QDate(2011, 3, 19), QDate()};
        source.setup.numStrikes = QStringLiteral("9");
        source.setup.firstStrike = QStringLiteral("1250");
        source.setup.strikeIncrement = QStringLiteral("10");
        source.setup.optionSymbol = source.setup.symbolText = QStringLiteral("SPX");
        source.setup.dividendYield = QStringLiteral("1.8");
        std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(environment, source, notifier));
        if (!page || page->InputBar().cmboOptSymbols->count() == 0)
            return 1;
        // Priced near the market's own volatility.
        page->InputBar().fseSigma->SetValue(12.0);
        page->InputBar().cmdReCalc->click();
        ok = Save(*page, folder.filePath(QStringLiteral("page-quotes") + suffix + QStringLiteral(".png")))
             && ok;
    }
    // The Position tab of a page at its first-run width (the strip's): a
    // February bull call spread and a March put as a floor, from the grid.
    {
        const QString quotes = temp.filePath(QStringLiteral("SPX.txt"));
        QFile::remove(quotes);
        if (!QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"), quotes))
            return 1;
        PageEnvironment environment = Environment();
        environment.dataDirectory = temp.path();
        environment.mainWindowGeometry = QRect(0, 0, 780, 64);
        PageSource source;
        source.setup = Setup(kBlackScholes, kIndex);
        source.setup.numExpiries = 2;
        source.setup.expiryDates = {QDate(2011, 2, 19), QDate(2011, 3, 19), QDate()};
        source.setup.numStrikes = QStringLiteral("9");
        source.setup.firstStrike = QStringLiteral("1225");
        source.setup.strikeIncrement = QStringLiteral("25");
        source.setup.optionSymbol = source.setup.symbolText = QStringLiteral("SPX");
        source.setup.dividendYield = QStringLiteral("1.8");
        std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(environment, source, notifier));
        if (!page || page->InputBar().cmboOptSymbols->count() == 0)
            return 1;
        page->InputBar().fseSigma->SetValue(12.0);
        page->InputBar().cmdReCalc->click();
        page->show();
        TImpStrGrid* grid = page->Controls().TheGrid;
        const auto trade = [&](int tab, int row, const char* action) {
            page->Controls().TabControl1->setCurrentIndex(tab);
            grid->setCurrentIndex(grid->model()->index(row, 7));
            if (auto* item = page->findChild<QAction*>(QString::fromLatin1(action)))
                item->trigger();
        };
        trade(0, 2, "BuyOneItem");   // 1275 call
        trade(0, 4, "SellOneItem");  // 1325 call
        trade(1, 9, "BuyOneItem");   // 1225 put
        page->Controls().TabControl1->setCurrentIndex(static_cast<int>(page->Series().size()));
        ok = Save(*page, folder.filePath(QStringLiteral("page-position") + suffix + QStringLiteral(".png")))
             && ok;
        if (suffix.isEmpty())
            ok = PrintChartPage(*page, temp.path(), folder.filePath(QStringLiteral("printed-position.png")))
                 && ok;
    }
    return ok ? 0 : 1;
}
