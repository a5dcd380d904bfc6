// The chart drawn: the real histories, a sharp picture at 200 %, the
// printed colours, and the ranges that have no width or are very wide.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "chart/ChartObj.h"
#include "chart_testdata.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;
using kestrava::charttest::Days;
using kestrava::charttest::WriteWorkFile;

namespace {

const QColor kPriceColour(192, 220, 192);
const QColor kVolatilityColour(255, 255, 151);

// The largest x in [from, to] with a pixel of colour above the bottom band;
// -1 when there is none.
int RightmostOf(const QImage& picture, const QColor& colour, int from, int to, int belowY)
{
    for (int x = to; x >= from; --x)
        for (int y = 0; y < belowY; ++y)
            if (picture.pixelColor(x, y) == colour)
                return x;
    return -1;
}

}  // namespace

class ChartDrawTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    testsupport::QtRecordingNotifier notifier_;

    std::unique_ptr<TChartObj> Draw(const std::string& file, int width, int height, qreal ratio = 1,
                                    int window = 30)
    {
        auto chart = std::make_unique<TChartObj>(notifier_, LocaleInfo());
        chart->FileName = file;
        chart->VolDays = window;
        chart->ChartWidth = width;
        chart->ChartHeight = height;
        chart->PixelRatio = ratio;
        chart->Draw();
        return chart;
    }

    std::string Write(const char* name, const std::vector<TPriceRecord>& records)
    {
        return WriteWorkFile(dir_.filePath(QString::fromLatin1(name)).toStdString(), records);
    }

private slots:
    void init() { notifier_ = {}; }

    void realHistories_data()
    {
        QTest::addColumn<QString>("history");
        QTest::newRow("SPY") << QStringLiteral("history-spy.csv");
        QTest::newRow("AAPL, two splits") << QStringLiteral("history-aapl.csv");
        QTest::newRow("S&P 500 index") << QStringLiteral("history-gspc.csv");
    }

    // Bars for every day and a volatility line that ends under the newest day.
    void realHistories()
    {
        QFETCH(QString, history);
        const std::string file = charttest::ConvertHistory(history.toStdString(), dir_.path().toStdString());
        const auto chart = Draw(file, 800, 400, 1, 90);
        QCOMPARE(chart->DataKind, 3);
        QCOMPARE(chart->Bitmap.size(), QSize(800, 400));
        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(QLatin1Char('|'))));
        QVERIFY(chart->TitleLine.find("  90-Day Volatility Plot:") == 0);

        const QImage picture = chart->Bitmap.convertToFormat(QImage::Format_RGB32);
        const int newestX = chart->LeftMargin + (chart->LoadedPoints - 2) * chart->DayStep;
        const int plotEnd = chart->ChartWidth - 8 * chart->CharWidth;
        const int aboveMonths = 400 - 3 * chart->HalfTextHeight;
        QCOMPARE(RightmostOf(picture, kVolatilityColour, chart->LeftMargin, plotEnd, aboveMonths), newestX);
        QCOMPARE(RightmostOf(picture, kPriceColour, chart->LeftMargin, plotEnd, aboveMonths), newestX);
    }

    // At 200 % the picture has twice the pixels and the same layout.
    void sharpAtTwiceThePixels()
    {
        const std::string file = charttest::ConvertHistory("history-spy.csv", dir_.path().toStdString());
        const auto single = Draw(file, 640, 360);
        const auto twice = Draw(file, 640, 360, 2);
        QCOMPARE(twice->Bitmap.size(), QSize(1280, 720));
        QCOMPARE(twice->Bitmap.devicePixelRatio(), 2.0);
        QCOMPARE(twice->Points, single->Points);
        QCOMPARE(twice->LeftMargin, single->LeftMargin);
        QCOMPARE(twice->TitleLine, single->TitleLine);
    }

    void closesOnlyDrawALine()
    {
        const auto chart = Draw(Write("closes.tem", Days(300, EncodeDate(2012, 9, 12))), 600, 300);
        QCOMPARE(chart->DataKind, 1);
        QCOMPARE(chart->PlotMode, 2);  // the volatility pass came last
        QVERIFY(!chart->TitleLine.empty());
    }

    // A day without a high or low pulls the bars' axis down to 0; with too
    // few days there is a warning and no title.
    void aDayWithoutHighAndLowPullsTheAxisToZero()
    {
        auto records = Days(25, EncodeDate(2012, 9, 12), true);
        records[20].High = records[20].Low = 0;
        const auto chart = Draw(Write("hole.tem", records), 600, 300);
        QCOMPARE(chart->AxisLow, 0.0f);
        QCOMPARE(notifier_.warnings, QStringList{QString::fromLatin1(kChartTooFewDays)});
        QVERIFY(chart->TitleLine.empty());
    }

    // Flat closes (and so a flat zero volatility) and a range wider than the
    // step table both get an axis: nothing divides by zero or loops.
    void rangesWithoutWidthOrBeyondTheTable()
    {
        auto flat = Days(120, EncodeDate(2012, 9, 12));
        for (TPriceRecord& r : flat)
            r.Close = 23438.37f;
        const auto chart = Draw(Write("flat.tem", flat), 600, 300);
        QVERIFY(chart->AxisHigh > chart->AxisLow);
        QCOMPARE(chart->AxisLow, 0.0f);  // the volatility pass
        // The flat price line is drawn across the plot.
        const QImage picture = chart->Bitmap.convertToFormat(QImage::Format_RGB32);
        const int newestX = chart->LeftMargin + (chart->LoadedPoints - 2) * chart->DayStep;
        QCOMPARE(RightmostOf(picture, kPriceColour, chart->LeftMargin, newestX, 300 - 3 * chart->HalfTextHeight),
                 newestX);

        auto wide = Days(25, EncodeDate(2012, 9, 12));
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i].Close = 1000.0f + 18000.0f * static_cast<float>(i);
        const auto priced = Draw(Write("wide.tem", wide), 600, 300);
        QCOMPARE(priced->AxisStep, 100000.0f);
    }

    void aPictureTooNarrowForTwoDaysDrawsNothing()
    {
        TChartObj chart(notifier_, LocaleInfo());
        chart.FileName = Write("narrow.tem", Days(60, EncodeDate(2012, 9, 12)));
        chart.ChartWidth = 120;
        chart.ChartHeight = 100;
        try {
            chart.Draw();
            QFAIL("a chart with no day to draw was drawn");
        } catch (const ChartError& error) {
            QCOMPARE(QString::fromLatin1(error.what()), QString::fromLatin1(kChartDigestError));
        }
        QVERIFY(chart.Bitmap.isNull());
    }

    // On paper: black on the white page, which is not filled, and the
    // symbol at the start of the title.
    void printedInBlackWithTheSymbol()
    {
        QImage page(1600, 1000, QImage::Format_RGB32);
        page.fill(Qt::white);
        TChartObj chart(notifier_, LocaleInfo());
        chart.FileName = charttest::ConvertHistory("history-spy.csv", dir_.path().toStdString());
        chart.Printing = true;
        chart.TitleSymbol = "SPY";
        chart.ChartWidth = page.width();
        chart.ChartHeight = page.height();
        QPainter painter(&page);
        chart.Draw(&painter);
        painter.end();
        QVERIFY(chart.TitleLine.find("SPY  30-Day") == 0);
        int black = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                QVERIFY2(c.red() == c.green() && c.green() == c.blue(), "a printed chart has no colour");
                black += c == Qt::black;
            }
        }
        QVERIFY(black > 1000);
        QVERIFY(black < page.width() * page.height() / 4);
    }
};

QTEST_MAIN(ChartDrawTest)
#include "chartdraw_test.moc"
