// The chart drawn: the real histories at 100 % and 200 % and on a wide
// picture, files of a few days, the latest-value tag beside the labels,
// ranges without width or beyond the step table, and a picture too narrow
// for a day.

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "chart/ChartObj.h"
#include "chart/PlotFrame.h"
#include "chart/VolSurfacePlot.h"
#include "chart_testdata.h"
#include "common/dates.h"
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
        QTest::addColumn<int>("width");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("SPY") << QStringLiteral("history-spy.csv") << 800 << 1.0;
        QTest::newRow("AAPL, two splits") << QStringLiteral("history-aapl.csv") << 800 << 1.0;
        QTest::newRow("S&P 500 index") << QStringLiteral("history-gspc.csv") << 800 << 1.0;
        QTest::newRow("SPY at 200 %") << QStringLiteral("history-spy.csv") << 800 << 2.0;
        QTest::newRow("SPY 2000 pixels wide") << QStringLiteral("history-spy.csv") << 2000 << 1.0;
    }

    // Bars for every day and a volatility line that ends under the newest
    // day, at the right end of the days' room whatever the picture's width;
    // at 200 % twice the pixels and the same layout.
    void realHistories()
    {
        QFETCH(QString, history);
        QFETCH(int, width);
        QFETCH(qreal, ratio);
        notifier_ = {};
        const auto chart = Draw(charttest::ConvertHistory(history.toStdString(), dir_.path().toStdString()),
                                width, 400, ratio);
        QCOMPARE(chart->DataKind, 3);
        QCOMPARE(chart->Bitmap.size(), QSize(width, 400) * ratio);
        QCOMPARE(chart->Bitmap.devicePixelRatio(), ratio);
        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(QLatin1Char('|'))));
        QVERIFY(chart->TitleLine.find("  90-Day Volatility Plot:") == 0);
        QVERIFY(chart->TitleLine.find("Gap") == std::string::npos);
        const double newestX = chart->DayX(kChartNewestSlot);
        QVERIFY(newestX > width - 8 * chart->CharWidth - chart->DayStep);
        QVERIFY(std::fabs(RightmostOf(*chart, kVolatilityColour) - newestX) <= 1);
        QVERIFY(std::fabs(RightmostOf(*chart, kPriceColour) - newestX) <= 1);
    }

    void fewDaysAreDrawnWithTheirDates_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("highLow");
        QTest::newRow("one close") << 1 << false;
        QTest::newRow("one high and low") << 1 << true;
        QTest::newRow("three days") << 3 << true;
        QTest::newRow("twenty days") << 20 << false;
    }

    // Each day across the picture, its date written under it (every few
    // days when they stand close), the volatility left out for want of days.
    void fewDaysAreDrawnWithTheirDates()
    {
        QFETCH(int, days);
        QFETCH(bool, highLow);
        notifier_ = {};
        const auto chart = Draw(Write("few.tem", Days(days, EncodeDate(2012, 9, 12), highLow)), 800, 400);
        QCOMPARE(notifier_.warnings, QStringList{QString::fromLatin1(kChartTooFewDays)});
        QCOMPARE(chart->FirstPriceSlot(), kChartSlotCount - days);
        const QImage picture = chart->Bitmap.convertToFormat(QImage::Format_RGB32);
        const int labelTop = chart->ChartHeight - 3 * chart->HalfTextHeight;
        const auto inked = [&](int left, int right, int top, int bottom) {
            for (int x = std::max(0, left); x <= std::min(picture.width() - 1, right); ++x)
                for (int y = std::max(0, top); y <= std::min(picture.height() - 1, bottom); ++y)
                    if (picture.pixelColor(x, y) == kPriceColour)
                        return true;
            return false;
        };
        int dated = 0;
        for (int slot = chart->FirstPriceSlot(); slot <= kChartNewestSlot; ++slot) {
            const int x = static_cast<int>(chart->DayX(slot));
            QVERIFY2(inked(x - 3, x + 3, 0, labelTop - 1), qPrintable(QString::number(slot)));
            dated += inked(x - 8, x + 8, labelTop, picture.height() - 1);
        }
        QVERIFY(chart->DayX(kChartNewestSlot) - chart->DayX(chart->FirstPriceSlot()) >= (days - 1) * 30);
        QVERIFY2(dated >= std::min(days, 3), qPrintable(QString::number(dated)));
    }

    // The newest close a few pixels off an axis label: the tag takes the
    // label's place instead of covering half of it.
    void theLatestValueTagCoversNoLabel()
    {
        // Too few days for a volatility pass: the axis fields are the prices'.
        auto days = Days(25, EncodeDate(2012, 9, 12));
        const auto first = Draw(Write("tag.tem", days), 800, 400);
        const float nearLabel = first->AxisLow + 2 * first->AxisStep + 0.2f * first->AxisStep;
        days.back().Close = nearLabel;
        const auto chart = Draw(Write("tag.tem", days), 800, 400);
        QCOMPARE(chart->AxisLow, first->AxisLow);
        const QImage picture = chart->Bitmap.convertToFormat(QImage::Format_RGB32);
        // The tag: the rows right of the prices that are mostly price colour.
        const int from = picture.width() - 8 * chart->CharWidth;
        std::vector<int> tagRows;
        for (int y = 0; y < picture.height(); ++y) {
            int filled = 0;
            for (int x = from; x < picture.width(); ++x)
                filled += picture.pixelColor(x, y) == kPriceColour;
            if (filled > 3 * chart->CharWidth)
                tagRows.push_back(y);
        }
        QVERIFY(!tagRows.empty());
        // Its box starts right of the axis line, where the middle row's long
        // run of the price colour starts.
        const int middle = tagRows[tagRows.size() / 2];
        int tagRight = picture.width() - 1;
        while (tagRight > from && picture.pixelColor(tagRight, middle) != kPriceColour)
            --tagRight;
        int tagLeft = tagRight;
        while (tagLeft > from && picture.pixelColor(tagLeft - 1, middle) == kPriceColour)
            --tagLeft;
        QVERIFY(tagRight - tagLeft > 3 * chart->CharWidth);
        for (int y : {tagRows.front() - 2, tagRows.front() - 1, tagRows.back() + 1, tagRows.back() + 2})
            for (int x = tagLeft + 1; x <= tagRight; ++x)  // the label's tick ends at its left edge
                QVERIFY2(picture.pixelColor(x, y) != kPriceColour,
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }

    // A day without high and low pulls the bars' axis to 0; a flat series
    // (and its flat zero volatility) and a range beyond the step table get
    // an axis: nothing divides by zero or loops.
    void rangesWithoutWidthOrBeyondTheTable()
    {
        notifier_ = {};
        auto hole = Days(25, EncodeDate(2012, 9, 12), true);
        hole[20].High = hole[20].Low = 0;
        QCOMPARE(Draw(Write("hole.tem", hole), 600, 300)->AxisLow, 0.0f);  // too few days: price pass only
        QCOMPARE(notifier_.warnings, QStringList{QString::fromLatin1(kChartTooFewDays)});

        auto flat = Days(120, EncodeDate(2012, 9, 12));
        for (TPriceRecord& r : flat)
            r.Close = 23438.37f;
        const auto chart = Draw(Write("flat.tem", flat), 600, 300);
        QVERIFY(chart->AxisHigh > chart->AxisLow);
        // The flat volatility line lies over the flat prices where it runs.
        const int rightmost = std::max(RightmostOf(*chart, kPriceColour),
                                       RightmostOf(*chart, kVolatilityColour));
        QVERIFY(std::fabs(rightmost - chart->DayX(kChartNewestSlot)) <= 1);

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
        const double lastDay = chart.DayX(kChartNewestSlot);
        QVERIFY2(lastDay > page.width() * 3 / 4, qPrintable(QString::number(lastDay)));
        QVERIFY(lastDay <= page.width() - 8 * chart.CharWidth);
    }

    // The axes' labels: the decimals asked, in the user's separator, and no
    // "-0" at the zero line.
    void axisNumbersInTheUsersWriting()
    {
        QImage image(200, 100, QImage::Format_RGB32);
        QPainter painter(&image);
        LocaleInfo comma;
        comma.decimalSeparator = ',';
        const PlotFrame frame(painter, QRectF(0, 0, 200, 100), comma);
        QCOMPARE(frame.Number(1302.456, 2), QStringLiteral("1302,46"));
        QCOMPARE(frame.Number(-3.26, 1), QStringLiteral("-3,3"));
        QCOMPARE(frame.Number(7, 0), QStringLiteral("7"));
        QCOMPARE(frame.Number(-0.004, 2), QStringLiteral("0,00"));
        QCOMPARE(frame.Number(-0.006, 2), QStringLiteral("-0,01"));
    }

    // The y axis's title runs up the left edge, beside the numbers and
    // centred on the plot area.
    void yAxisTitleRunsUpTheLeftEdge()
    {
        QImage image(400, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        PlotFrame frame(painter, QRectF(0, 0, 400, 300), LocaleInfo(), PaperPalette());
        frame.Draw(MakePlotAxis(0, 10), MakePlotAxis(0, 10), QString(), QStringLiteral("Profit and loss"),
                   QString());
        painter.end();
        const int strip = frame.CharWidth() / 4 + frame.TextHeight();
        QVERIFY(strip < frame.PlotArea().left());
        int top = image.height(), bottom = -1;
        for (int x = 0; x < strip; ++x)
            for (int y = 0; y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 128) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        QVERIFY2(bottom - top > 4 * frame.TextHeight(),
                 qPrintable(QStringLiteral("%1 to %2").arg(top).arg(bottom)));
        QVERIFY(std::abs((top + bottom) / 2.0 - frame.PlotArea().center().y()) < frame.TextHeight());
    }

    // A marker is drawn about its point: each the same left and right, the
    // downward triangle the upward one upside down.
    void markersAreMirroredAboutTheirPoint()
    {
        const auto drawn = [](MarkerShape shape) {
            QImage image(40, 40, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            PlotFrame frame(painter, QRectF(0, 0, 40, 40), LocaleInfo());
            frame.DrawMarker(QPointF(20, 20), shape, Qt::black, true);
            return image;
        };
        const QImage up = drawn(MarkerShape::TriangleUp), down = drawn(MarkerShape::TriangleDown);
        const QImage circle = drawn(MarkerShape::Circle);
        int inked = 0;
        for (int y = 0; y < 40; ++y)
            for (int d = 0; d < 20; ++d) {
                for (const QImage* image : {&up, &down, &circle})
                    QVERIFY2(std::abs(qGray(image->pixel(20 + d, y)) - qGray(image->pixel(19 - d, y))) <= 8,
                             qPrintable(QStringLiteral("row %1, %2 from the middle").arg(y).arg(d)));
                QVERIFY(std::abs(qGray(up.pixel(20 + d, y)) - qGray(down.pixel(20 + d, 39 - y))) <= 8);
                inked += qGray(up.pixel(20 + d, y)) < 128;
            }
        QVERIFY(inked > 10);
    }

    // The surface's cells spread over the scale's colours, its lowest and
    // highest at the scale's ends, whatever order the grid holds them in;
    // no cell lies under the expiries' labels, a cell without a volatility
    // takes no colour of the scale, and two columns are a surface too.
    void theSurfaceSpreadsItsCellsOverTheScale()
    {
        const auto drawn = [](const VolSurfaceGrid& grid) {
            QImage image(800, 400, QImage::Format_RGB32);
            QPainter painter(&image);
            DrawVolSurface(painter, QRectF(0, 0, 800, 400), grid, QStringLiteral("Surface"), LocaleInfo());
            return image;
        };
        // The pixels of the rows' middle, clear of the title, the ticks and the scale.
        const auto middle = [](const QImage& image) {
            std::multiset<QRgb> pixels;
            for (int y = 60; y < 330; ++y)
                for (int x = 200; x < 650; ++x)
                    pixels.insert(image.pixel(x, y));
            return pixels;
        };
        VolSurfaceGrid grid;
        for (int c = 0; c < 13; ++c)
            grid.moneyness.push_back(0.7 + 0.05 * c);
        grid.expiries = {EncodeDate(2016, 12, 16), EncodeDate(2017, 1, 20)};
        grid.days = {21, 56};
        for (int i = 0; i < 26; ++i)
            grid.vols.push_back(0.10 + 0.01 * ((7 * i + 11) % 26));
        const QImage image = drawn(grid);
        const std::multiset<QRgb> pixels = middle(image);
        const std::set<QRgb> cells(pixels.begin(), pixels.end());
        const QRgb lowest = SurfaceColour(0).rgb(), highest = SurfaceColour(1).rgb();
        QVERIFY(cells.count(lowest) && cells.count(highest));
        QVERIFY2(cells.size() >= 22, qPrintable(QString::number(cells.size())));
        for (int y = 60; y < 330; ++y)
            for (int x = 0; x < 10; ++x)
                QVERIFY(!cells.count(image.pixel(x, y)));

        // The highest cell without a volatility: as many pixels as before
        // take the lowest colour.
        VolSurfaceGrid gap = grid;
        *std::max_element(gap.vols.begin(), gap.vols.end()) = 0;
        QCOMPARE(middle(drawn(gap)).count(lowest), pixels.count(lowest));

        VolSurfaceGrid ends = grid;
        ends.moneyness = {0.9, 1.1};
        ends.vols = {0.2, 0.3, 0.25, 0.22};
        const std::multiset<QRgb> two = middle(drawn(ends));
        QVERIFY(two.count(lowest) && two.count(highest));
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
