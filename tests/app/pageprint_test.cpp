// An option page with the application's chart and printer: the Chart tab's
// picture fills the tab at the screen's pixel ratio and follows resizes and
// the volatility-days box; Print writes the grid or the chart into a PDF
// file. Registered twice: at 100 % and at QT_SCALE_FACTOR=2.

#include <QPrinter>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "app/PageChartHooks.h"
#include "chart/chart_testdata.h"
#include "controls/rmSpin.h"
#include "marketdata/PriceFileReader.h"
#include "optionpage/ChartTab.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

class PagePrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir temp_;
    testsupport::QtRecordingNotifier notifier_;
    std::vector<ChartRequest> requests_;
    std::unique_ptr<TfrmOPage> page_;
    QPageLayout::Orientation orientationAfter_ = QPageLayout::Landscape;

    // The picture is asked for once the tab is laid out: true when the one
    // shown fits the tab.
    [[nodiscard]] bool ShowChartTab()
    {
        page_->Controls().TabControl1->setCurrentIndex(page_->Controls().TabControl1->count() - 1);
        return QTest::qWaitFor([this] {
            const TChartImage* image = page_->Controls().ChartImage;
            return image && image->isVisible() && !image->NeedsPicture();
        });
    }

    QString PrintToPdf(const char* name)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(temp_.filePath(QString::fromLatin1(name)));
        printer.setPageOrientation(QPageLayout::Portrait);
        page_->PrintPage(printer);
        orientationAfter_ = printer.pageLayout().orientation();
        return printer.outputFileName();
    }

    static QString Poppler(const char* tool, const QStringList& arguments)
    {
        QProcess process;
        process.start(QString::fromLatin1(tool), arguments);
        if (!process.waitForFinished(30000))
            qFatal("%s (poppler-utils) is needed: scripts/install-deps.sh", tool);
        return QString::fromUtf8(process.readAllStandardOutput()).simplified();
    }

    // A page of the two SPY expiries over the price work file workFile.
    std::unique_ptr<TfrmOPage> MakePage(const std::string& workFile)
    {
        PageEnvironment environment;
        GiveChartAndPrinter(environment, notifier_);
        environment.drawChart = [this, draw = environment.drawChart](const ChartRequest& request) {
            requests_.push_back(request);
            return draw(request);
        };
        PageSource source;
        SeriesSetup& setup = source.setup;
        setup.numExpiries = 2;
        setup.expiryDates = {QDate(2012, 10, 19), QDate(2012, 11, 16), QDate()};
        setup.numStrikes = QStringLiteral("3");
        setup.firstStrike = QStringLiteral("140");
        setup.optionSymbol = setup.symbolText = QStringLiteral("SPY");
        setup.sourceFilePath = temp_.filePath(QStringLiteral("spy.csv"));
        setup.workFilePath = QString::fromStdString(workFile);
        return std::unique_ptr<TfrmOPage>(TfrmOPage::Create(environment, source, notifier_));
    }

    // The picture on the Chart tab once it fits the tab.
    static QImage ChartPicture(TfrmOPage& page)
    {
        page.Controls().TabControl1->setCurrentIndex(page.Controls().TabControl1->count() - 1);
        TChartImage* image = page.Controls().ChartImage;
        if (!QTest::qWaitFor([image] {
                return !image->pixmap().isNull()
                       && image->pixmap().deviceIndependentSize().toSize() == image->size();
            }))
            return QImage();
        return image->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Columns from..to (fractions of the width) with a price-coloured pixel
    // above the date labels.
    static int PricedColumns(const QImage& picture, double from, double to)
    {
        int columns = 0;
        for (int x = static_cast<int>(picture.width() * from); x < picture.width() * to; ++x) {
            for (int y = 0; y < picture.height() * 8 / 10; ++y) {
                if (picture.pixelColor(x, y) == QColor(192, 220, 192)) {
                    ++columns;
                    break;
                }
            }
        }
        return columns;
    }

private slots:
    void init()
    {
        notifier_ = {};
        requests_.clear();
        page_ = MakePage(charttest::ConvertHistory("history-spy.csv", temp_.path().toStdString()));
        QVERIFY(page_);
        page_->resize(900, 560);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    }
    void cleanup() { page_.reset(); }

    // From the tab bar to the input bar, at the screen's pixel ratio, also
    // after a resize.
    void chartFillsTheTabSharply()
    {
        QVERIFY(ShowChartTab());
        TChartImage* image = page_->Controls().ChartImage;
        const qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                : 1;
        QCOMPARE(image->pixmap().devicePixelRatio(), ratio);
        QCOMPARE(requests_.back().pixelRatio, ratio);
        QCOMPARE(image->pixmap().deviceIndependentSize().toSize(), image->size());
        QCOMPARE(image->width(), page_->width());
        QCOMPARE(image->geometry().top(), page_->Controls().TabControl1->geometry().bottom() + 1);
        QCOMPARE(image->geometry().bottom() + 1, page_->Controls().Panel1->geometry().top());
        QVERIFY(notifier_.messages.isEmpty());

        page_->resize(page_->width() + 160, page_->height());
        QTRY_COMPARE(image->pixmap().deviceIndependentSize().toSize(), image->size());
        QCOMPARE(image->width(), page_->width());
    }

    // A wide window's chart reaches across it; a price file of one or three
    // days charts them (each with its date) instead of losing the tab.
    void theChartFillsAWideTabWithFewOrManyDays()
    {
        page_->resize(2000, 560);
        const QImage wide = ChartPicture(*page_);
        QVERIFY(!wide.isNull());
        QVERIFY2(PricedColumns(wide, 0.80, 0.90) > wide.width() / 100,
                 qPrintable(QString::number(PricedColumns(wide, 0.80, 0.90))));
        QVERIFY(notifier_.messages.isEmpty());

        QFile history(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/history-spy.csv"));
        QVERIFY(history.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = history.readAll().split('\n');
        for (const int days : {1, 3}) {
            const QString csv = temp_.filePath(QStringLiteral("spy-%1.csv").arg(days));
            QFile out(csv);
            QVERIFY(out.open(QIODevice::WriteOnly));
            for (int i = 0; i <= days; ++i)
                out.write(lines[i] + '\n');
            out.close();
            TAsciiFileReader reader(notifier_, LocaleInfo(), temp_.path().toStdString());
            reader.Open(csv.toStdString());
            QCOMPARE(reader.RecordCount, days);
            notifier_ = {};
            const std::unique_ptr<TfrmOPage> page = MakePage(reader.DataFileName);
            QVERIFY(page);
            page->resize(900, 560);
            page->show();
            QVERIFY(QTest::qWaitForWindowExposed(page.get()));
            // That the file is too short for a volatility line, once,
            // however often the chart is drawn again; a new window says it
            // again.
            page->resize(1000, 600);
            QTRY_COMPARE(page->Controls().ChartImage->pixmap().deviceIndependentSize().toSize(),
                         page->Controls().ChartImage->size());
            const QStringList tooFew{QStringLiteral("We don't have enough data to chart volatility.")};
            QCOMPARE(notifier_.messages, tooFew);
            page->InputBar().seSigDays->SetValue(20);
            emit page->Controls().ChartImage->pictureWanted();
            QCOMPARE(notifier_.messages, tooFew + tooFew);
            QVERIFY(page->Controls().ChartImage);
            QCOMPARE(page->Controls().TabControl1->tabText(page->Controls().TabControl1->count() - 1),
                     QStringLiteral("Chart"));
            const QImage picture = ChartPicture(*page);
            QVERIFY(!picture.isNull());
            // Each day in the middle of its share of the width, none at the
            // left edge.
            QCOMPARE(PricedColumns(picture, 0.0, 0.12), 0);
            for (int day = 0; day < days; ++day) {
                const double centre = 0.08 + 0.84 * (day + 0.5) / days;
                QVERIFY2(PricedColumns(picture, centre - 0.05, centre + 0.05) > 0,
                         qPrintable(QString::number(day)));
            }
        }
    }

    // The history button redraws with its window; a box value below 10 or
    // above 250 days draws a 90-day window.
    void volatilityDaysDecideTheWindow()
    {
        QVERIFY(ShowChartTab());
        page_->InputBar().seSigDays->SetValue(60);
        page_->InputBar().cmdCalcSig->click();
        QCOMPARE(requests_.back().volDays, 60);
        for (const char* days : {"5", "300"}) {
            page_->InputBar().seSigDays->setText(QString::fromLatin1(days));
            emit page_->Controls().ChartImage->pictureWanted();
            QCOMPARE(requests_.back().volDays, 90);
        }
    }

    // An expiry tab prints its grid; the Chart tab the chart, landscape,
    // with the symbol in its title; the printer is handed back portrait.
    void printsTheGridOrTheChart()
    {
        const QString grid = PrintToPdf("grid.pdf");
        const QString gridText = Poppler("pdftotext", {grid, QStringLiteral("-")});
        QVERIFY2(gridText.contains(QStringLiteral("Oct 2012 Options on SPY"))
                     && gridText.contains(QStringLiteral("With SPY at 144.39 on 2012-09-12"))
                     && gridText.contains(QStringLiteral("Page 1 of 1")),
                 qPrintable(gridText));
        QVERIFY(Poppler("pdfinfo", {grid}).contains(QStringLiteral("Title: SPY Option Grid")));

        QVERIFY(ShowChartTab());
        const QString chart = PrintToPdf("chart.pdf");
        QVERIFY(Poppler("pdftotext", {chart, QStringLiteral("-")})
                    .contains(QStringLiteral(
                        "SPY 90-Day Volatility Plot: 14.34% thru Close of 144.39 on 2012-09-12")));
        const QString info = Poppler("pdfinfo", {chart});
        QVERIFY2(info.contains(QStringLiteral("Title: SPY Volatility Chart"))
                     && (info.contains(QStringLiteral("842 x 595 pts"))
                         || info.contains(QStringLiteral("792 x 612 pts"))),
                 qPrintable(info));
        QCOMPARE(orientationAfter_, QPageLayout::Portrait);
        QVERIFY(notifier_.messages.isEmpty());
    }

    // The Smile tab prints the smile and the Position tab its graph with the
    // legs and the totals, each on a landscape page: not the grid.
    void printsTheSmileAndThePosition()
    {
        page_->Controls().TheGrid->setFocus();
        page_->Controls().TheGrid->setCurrentIndex(page_->Controls().TheGrid->model()->index(1, 7));
        QTest::keyClick(page_->Controls().TheGrid, Qt::Key_B, Qt::ControlModifier);  // Buy 1 of the 145 call
        const struct {
            int tab;
            const char* file;
            const char* title;
            QStringList texts;
        } prints[] = {
            {static_cast<int>(page_->Series().size()),
             "position.pdf",
             "SPY Position",
             {QStringLiteral("loss of the position"),
              QStringLiteral(
                  "Expiry Strike Side Quantity Price $ Mark $ IV % Vol used % Theo $ Delta Gamma Decay $ / "
                  "Day Vega"),
              QStringLiteral("2012-10-19 145 Call 1"), QStringLiteral("P&L now"),
              QStringLiteral("Breakevens: 1")}},
            {static_cast<int>(page_->Series().size()) + 1,
             "smile.pdf",
             "SPY Volatility Smile",
             {QStringLiteral("Implied volatilities, expiry 2012-10-19"),
              QStringLiteral("No bid or ask has an implied volatility")}},
        };
        for (const auto& print : prints) {
            page_->Controls().TabControl1->setCurrentIndex(print.tab);
            const QString pdf = PrintToPdf(print.file);
            const QString text = Poppler("pdftotext", {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            QVERIFY2(text.startsWith(QString::fromLatin1(print.title)), qPrintable(text));
            for (const QString& expected : print.texts)
                QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" in ") + text));
            QVERIFY(!text.contains(QStringLiteral("Options on SPY")));
            const QString info = Poppler("pdfinfo", {pdf});
            QVERIFY2(info.contains(QStringLiteral("Title: ") + QString::fromLatin1(print.title))
                         && (info.contains(QStringLiteral("842 x 595 pts"))
                             || info.contains(QStringLiteral("792 x 612 pts"))),
                     qPrintable(info));
            QCOMPARE(orientationAfter_, QPageLayout::Portrait);
        }
        QVERIFY(notifier_.messages.isEmpty());
    }

    // A price work file gone since the page was built: the chart's error
    // on the screen and on paper, a "No chart" picture, no crash.
    void aMissingPriceFileIsReported()
    {
        QFile::remove(page_->Names().priceWorkFile);
        QVERIFY(ShowChartTab());
        emit page_->Controls().ChartImage->pictureWanted();
        QVERIFY(notifier_.infos.back().startsWith(QStringLiteral("Cannot open the price work file")));
        QVERIFY(!page_->Controls().ChartImage->pixmap().isNull());
        notifier_ = {};
        PrintToPdf("missing.pdf");
        QCOMPARE(notifier_.infos.size(), 1);
    }

    // The printed decay has the sign the grid shows: a deep in-the-money
    // put at a high rate gains by the day.
    void printedDecayKeepsItsSign()
    {
        PageEnvironment environment;
        GiveChartAndPrinter(environment, notifier_);
        environment.defaultRates = {0.1f, 0.1f, 0.1f};
        PageSource source;
        SeriesSetup& setup = source.setup;
        setup.numExpiries = 1;
        setup.expiryDates = {QDate::currentDate().addDays(200), QDate(), QDate()};
        setup.numStrikes = QStringLiteral("2");
        setup.firstStrike = QStringLiteral("100");
        setup.strikeIncrement = QStringLiteral("100");  // the underlying is the lowest strike, 100
        setup.optionSymbol = setup.symbolText = QStringLiteral("XYZ");
        setup.model = kBlackScholes;
        page_.reset(TfrmOPage::Create(environment, source, notifier_));
        QVERIFY(page_);
        const float decay = page_->SeriesAt(0)->Decay(2, 2);  // the put of 200
        QVERIFY2(decay > 0.001f, qPrintable(QString::number(decay)));
        const QString shown = page_->Controls().TheGrid->CellText(10, 4).trimmed();
        QVERIFY(!shown.startsWith(u'-'));

        const QString text = Poppler("pdftotext", {PrintToPdf("decay.pdf"), QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("+") + shown) && !text.contains(QStringLiteral("-") + shown),
                 qPrintable(shown + QStringLiteral(" in ") + text));
        QVERIFY(notifier_.messages.isEmpty());
    }
};

QTEST_MAIN(PagePrintTest)
#include "pageprint_test.moc"
