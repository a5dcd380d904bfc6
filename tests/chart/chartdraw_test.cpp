// The chart drawn: the real histories at 100 % and 200 %, ranges without
// width or beyond the step table, and a picture too narrow for a day.

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "chart/ChartObj.h"
#include "chart_testdata.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;
using kestrava::charttest::Days;

namespace {

const QColor kPriceColour(192, 220, 192);
const QColor kVolatilityColour(255, 255, 151);

// The largest x between the margins with a pixel of colour above the
// month labels; -1 when there is none.
int RightmostOf(const TChartObj& chart, const QColor& colour)
{
    const QImage picture = chart.Bitmap.convertToFormat(QImage::Format_RGB32);
    const qreal ratio = picture.devicePixelRatio();
    const int above = static_cast<int>((chart.ChartHeight - 3 * chart.HalfTextHeight) * ratio);
    for (int x = static_cast<int>((chart.ChartWidth - 8 * chart.CharWidth) * ratio);
         x >= chart.LeftMargin * ratio; --x)
        for (int y = 0; y < above; ++y)
            if (picture.pixelColor(x, y) == colour)
                return static_cast<int>(x / ratio);
    return -1;
}

}  // namespace

class ChartDrawTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    testsupport::QtRecordingNotifier notifier_;

    std::unique_ptr<TChartObj> Draw(const std::string& file, int width, int height, qreal ratio = 1)
    {
        auto chart = std::make_unique<TChartObj>(notifier_, LocaleInfo());
        chart->FileName = file;
        chart->VolDays = 90;
        chart->ChartWidth = width;
        chart->ChartHeight = height;
        chart->PixelRatio = ratio;
        chart->Draw();
        return chart;
    }

    std::string Write(const char* name, const std::vector<TPriceRecord>& records)
    {
        return charttest::WriteWorkFile(dir_.filePath(QString::fromLatin1(name)).toStdString(), records);
    }

private slots:
    void realHistories_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("SPY") << QStringLiteral("history-spy.csv") << 1.0;
        QTest::newRow("AAPL, two splits") << QStringLiteral("history-aapl.csv") << 1.0;
        QTest::newRow("S&P 500 index") << QStringLiteral("history-gspc.csv") << 1.0;
        QTest::newRow("SPY at 200 %") << QStringLiteral("history-spy.csv") << 2.0;
    }

    // Bars for every day and a volatility line that ends under the newest
    // day; at 200 % twice the pixels and the same layout.
    void realHistories()
    {
        QFETCH(QString, history);
        QFETCH(qreal, ratio);
        notifier_ = {};
        const auto chart = Draw(charttest::ConvertHistory(history.toStdString(), dir_.path().toStdString()),
                                800, 400, ratio);
        QCOMPARE(chart->DataKind, 3);
        QCOMPARE(chart->Bitmap.size(), QSize(800, 400) * ratio);
        QCOMPARE(chart->Bitmap.devicePixelRatio(), ratio);
        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(QLatin1Char('|'))));
        QVERIFY(chart->TitleLine.find("  90-Day Volatility Plot:") == 0);
        const int newestX = chart->LeftMargin + (chart->LoadedPoints - 2) * chart->DayStep;
        QCOMPARE(RightmostOf(*chart, kVolatilityColour), newestX);
        QCOMPARE(RightmostOf(*chart, kPriceColour), newestX);
    }

    // A day without high and low pulls the bars' axis to 0; a flat series
    // (and its flat zero volatility) and a range beyond the step table get
    // an axis: nothing divides by zero or loops.
    void rangesWithoutWidthOrBeyondTheTable()
    {
        auto hole = Days(25, EncodeDate(2012, 9, 12), true);
        hole[20].High = hole[20].Low = 0;
        QCOMPARE(Draw(Write("hole.tem", hole), 600, 300)->AxisLow, 0.0f);  // too few days: price pass only
        QCOMPARE(notifier_.warnings, QStringList{QString::fromLatin1(kChartTooFewDays)});

        auto flat = Days(120, EncodeDate(2012, 9, 12));
        for (TPriceRecord& r : flat)
            r.Close = 23438.37f;
        const auto chart = Draw(Write("flat.tem", flat), 600, 300);
        QVERIFY(chart->AxisHigh > chart->AxisLow);
        QCOMPARE(RightmostOf(*chart, kPriceColour),
                 chart->LeftMargin + (chart->LoadedPoints - 2) * chart->DayStep);

        auto wide = Days(25, EncodeDate(2012, 9, 12));
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i].Close = 1000.0f + 18000.0f * static_cast<float>(i);
        QCOMPARE(Draw(Write("wide.tem", wide), 600, 300)->AxisStep, 100000.0f);
    }

    void aPrintedChartSpreadsItsDaysAcrossThePage()
    {
        // On a page at 600 dpi the 400 newest days reach across the page,
        // whatever the width of the screen the program runs on.
        QImage page(6600, 5100, QImage::Format_RGB32);
        page.setDotsPerMeterX(23622);
        page.setDotsPerMeterY(23622);
        page.fill(Qt::white);
        QPainter painter(&page);
        TChartObj chart(notifier_, LocaleInfo());
        chart.FileName = Write("printed.tem", Days(420, EncodeDate(2012, 9, 12)));
        chart.ChartWidth = page.width();
        chart.ChartHeight = page.height();
        chart.Printing = true;
        chart.Draw(&painter);
        painter.end();
        QCOMPARE(chart.LoadedPoints, 400);
        const int lastDay = chart.LeftMargin + (chart.LoadedPoints - 1) * chart.DayStep;
        QVERIFY2(lastDay > page.width() * 3 / 4, qPrintable(QString::number(lastDay)));
        QVERIFY(lastDay <= page.width() - 8 * chart.CharWidth);
    }

    void aPictureTooNarrowForADayDrawsNothing()
    {
        TChartObj chart(notifier_, LocaleInfo());
        chart.FileName = Write("narrow.tem", Days(60, EncodeDate(2012, 9, 12)));
        chart.ChartWidth = 120;
        chart.ChartHeight = 100;
        QVERIFY_THROWS_EXCEPTION(ChartError, chart.Draw());
        QVERIFY(chart.Bitmap.isNull());
    }
};

QTEST_MAIN(ChartDrawTest)
#include "chartdraw_test.moc"
