#include "chart/ChartObj.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "chart/ScaledImage.h"
#include "common/numformat.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava {
namespace {

const QColor kPriceColour(192, 220, 192);       // pale green
const QColor kVolatilityColour(255, 255, 151);  // pale yellow
const QString kChartFont = QStringLiteral("Tahoma");
constexpr qreal kChartPointSize = 9;
// A printer's 1-dot line all but vanishes at 600 dots per inch and more;
// printed lines are 1/150 inch wide instead.
constexpr int kPrintedLinesPerInch = 150;

QColor Inverted(const QColor& colour)
{
    return QColor::fromRgb(colour.rgb() ^ 0xFFFFFFu);
}

// The screen's size in its own units, or fallback without a screen.
QSize ScreenSize(QSize fallback)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : fallback;
}

}  // namespace

TChartObj::TChartObj(Notifier& notifier, const LocaleInfo& locale) : TChartData(notifier), locale_(locale)
{
}

void TChartObj::Draw(QPainter* printerPage)
{
    QPainter screenCanvas;
    if (Printing) {
        if (!printerPage || !printerPage->isActive())
            throw std::logic_error("a printed chart needs the printer page it is drawn on");
        canvas_ = printerPage;
        DeviceWidth = printerPage->device()->width();
        DeviceHeight = printerPage->device()->height();
        penWidth_ = std::max(1, printerPage->device()->logicalDpiX() / kPrintedLinesPerInch);
    } else {
        if (ChartWidth < 1 || ChartHeight < 1 || !(PixelRatio > 0))
            throw ChartError(kChartDigestError);
        Bitmap = ScaledImage(ChartWidth, ChartHeight, PixelRatio);
        if (Bitmap.isNull())
            throw ChartError(kChartDigestError);
        const QSize screen = ScreenSize(QSize(ChartWidth, ChartHeight));
        DeviceWidth = screen.width();
        DeviceHeight = screen.height();
        screenCanvas.begin(&Bitmap);
        canvas_ = &screenCanvas;
    }

    try {
        SetUpCanvas();
        // On paper a day takes as many device pixels as the page is wider
        // than the screen; never less than one.
        const int screenWidth = std::max(1, ScreenSize(QSize(DeviceWidth, DeviceHeight)).width());
        DayStep = std::max(1, DayStep * (DeviceWidth / screenWidth));
        LeftMargin = 8 * CharWidth;
        if (Printing)
            DayStep = std::max(DayStep, PrintedDayStep());
        LoadPrices(DaysThatFit(ChartWidth, CharWidth, LeftMargin, DayStep));
        // Fewer than two loaded days leave no day to draw.
        if (Points < 2)
            throw ChartError(kChartDigestError);

        PlotMode = DataKind == 3 ? 1 : 0;
        SeriesColor = Printing ? QColor(Qt::black) : kPriceColour;
        DrawPass(true);

        ComputeVolatility(locale_);
        if (Points > 0) {
            SeriesColor = Printing ? QColor(Qt::black) : kVolatilityColour;
            PlotMode = 2;
            DrawPass(false);
        }
        DrawTitle();
    } catch (...) {
        canvas_ = nullptr;
        if (!Printing) {
            screenCanvas.end();
            Bitmap = QImage();
        }
        throw;
    }
    canvas_ = nullptr;
}

void TChartObj::SetUpCanvas()
{
    QFont font(kChartFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kChartPointSize);
    canvas_->setFont(font);
    const QFontMetrics metrics = canvas_->fontMetrics();
    HalfTextHeight = metrics.height() / 2;
    CharWidth = metrics.horizontalAdvance(QLatin1Char('W'));
    canvas_->setRenderHint(QPainter::Antialiasing, false);
    if (Printing) {
        canvas_->setBrush(Qt::white);
    } else {
        canvas_->setBrush(Qt::black);
        canvas_->fillRect(QRectF(0, 0, ChartWidth, ChartHeight), Qt::black);
    }
}

void TChartObj::DrawPass(bool withMonthLabels)
{
    FindRange();
    axis_ = MakeAxisScale(AxisLow, AxisHigh);
    AxisLow = axis_.low;
    AxisHigh = axis_.high;
    AxisStep = axis_.step;
    SetMapping();
    DrawAxis();
    if (withMonthLabels)
        DrawMonthLabels();
    DrawSeries();
}

void TChartObj::FindRange()
{
    const auto first = Slots.begin() + FirstDrawnSlot();
    const auto end = Slots.begin() + kChartSlotCount;
    const auto low = [this](const TPriceRecord& r) {
        return PlotMode == 0 ? r.Close : PlotMode == 1 ? r.Low : r.Volume;
    };
    const auto high = [this](const TPriceRecord& r) {
        return PlotMode == 0 ? r.Close : PlotMode == 1 ? r.High : r.Volume;
    };
    AxisLow = low(*first);
    AxisHigh = high(*first);
    for (auto slot = first; slot != end; ++slot) {
        AxisLow = std::min(AxisLow, low(*slot));
        AxisHigh = std::max(AxisHigh, high(*slot));
    }
}

void TChartObj::SetMapping()
{
    // The axis spans the picture's height, with half a text height free
    // above its top and two below its bottom for the month labels.
    // In double precision from the axis' whole units: a narrow range of large
    // values (a flat series at 23438.37) has no width left in singles.
    axisLow_ = axis_.LabelValue(0);
    axisHigh_ = axis_.highUnits / axis_.factor;
    scale_ = ChartHeight / (axisHigh_ - axisLow_);
    Scale = static_cast<float>(scale_);
    bandBottom_ = std::trunc(axisLow_ * scale_) - 2.0 * HalfTextHeight;
    bandTop_ = std::nearbyint(axisHigh_ * scale_ + 0.5) + HalfTextHeight;
    if (!(bandTop_ > bandBottom_))
        bandTop_ = bandBottom_ + 1;
}

double TChartObj::HeightOf(double value) const
{
    return std::nearbyint(value * scale_);
}

double TChartObj::Y(double logicalHeight) const
{
    return (bandTop_ - logicalHeight) * ChartHeight / (bandTop_ - bandBottom_);
}

const char* TChartObj::LabelPicture() const
{
    return PlotMode == 2 ? " ##0.#0 " : AxisStep < 1 ? " #0.00## " : AxisStep < 10 ? " #0.0### " : " ####0 ";
}

QString TChartObj::Label(double value) const
{
    return QString::fromStdString(FormatFloat(LabelPicture(), value, locale_.decimalSeparator));
}

QString TChartObj::LatestLabel(float value) const
{
    // The stored single, rounded as its shortest decimal reads.
    return QString::fromStdString(FormatSingle(LabelPicture(), value, locale_.decimalSeparator));
}

void TChartObj::SetPenColour(const QColor& colour)
{
    QPen pen(colour);
    pen.setWidth(penWidth_);
    canvas_->setPen(pen);
}

void TChartObj::TextOut(double x, double y, const QString& text)
{
    canvas_->drawText(QPointF(x, y + canvas_->fontMetrics().ascent()), text);
}

void TChartObj::DrawAxis()
{
    const QFontMetrics metrics = canvas_->fontMetrics();
    const int t = CharWidth / 2;
    const int topWidth = metrics.horizontalAdvance(Label(axisHigh_));
    const bool left = PlotMode == 2;
    const int axisX = left ? topWidth + 2 * t : ChartWidth - topWidth - 2 * t;
    const int tickEnd = left ? axisX - t : axisX + t;
    const int labelX = left ? t : axisX + t;

    SetPenColour(SeriesColor);
    canvas_->drawLine(QLineF(axisX, Y(HeightOf(axisLow_)), axisX, Y(HeightOf(axisHigh_))));
    for (int k = 0; k < axis_.LabelCount(); ++k) {
        const double value = axis_.LabelValue(k);
        const double y = Y(HeightOf(value));
        canvas_->drawLine(QLineF(axisX, y, tickEnd, y));
        TextOut(labelX, Y(HeightOf(value) + HalfTextHeight), Label(value));
    }

    // The newest value once more, inverted on a box of the series colour.
    const TPriceRecord& newest = Slots[kChartNewestSlot];
    const float latest = PlotMode == 2 ? newest.Volume : newest.Close;
    const QString text = LatestLabel(latest);
    const double top = Y(HeightOf(latest) + HalfTextHeight);
    canvas_->fillRect(QRectF(labelX, top, metrics.horizontalAdvance(text), metrics.height()), SeriesColor);
    SetPenColour(Inverted(SeriesColor));
    TextOut(labelX, top, text);
    SetPenColour(SeriesColor);
}

void TChartObj::DrawMonthLabels()
{
    SetPenColour(Printing ? QColor(Qt::black) : SeriesColor);
    const double y = Y(HeightOf(axisLow_) + HalfTextHeight);
    for (const MonthMark& mark : MonthMarks())
        TextOut(LeftMargin + (mark.slot - FirstDrawnSlot()) * DayStep, y, QString::fromStdString(mark.text));
}

void TChartObj::DrawSeries()
{
    SetPenColour(SeriesColor);
    const int first = FirstDrawnSlot();
    if (PlotMode == 2) {
        // Backwards from the newest value, which stands under the newest price.
        if (Points < 3)
            return;
        QPolygonF line;
        double x = (LoadedPoints - 2) * DayStep + LeftMargin;
        for (int i = kChartNewestSlot; i >= first; --i, x -= DayStep)
            line << QPointF(x, Y(HeightOf(Slots[static_cast<std::size_t>(i)].Volume)));
        canvas_->drawPolyline(line);
        return;
    }
    double x = LeftMargin;
    if (PlotMode == 1) {
        for (int i = first; i <= kChartNewestSlot; ++i, x += DayStep) {
            const TPriceRecord& slot = Slots[static_cast<std::size_t>(i)];
            canvas_->drawLine(QLineF(x, Y(HeightOf(slot.High)), x, Y(HeightOf(slot.Low))));
        }
        return;
    }
    QPolygonF line;
    for (int i = first; i <= kChartNewestSlot; ++i, x += DayStep)
        line << QPointF(x, Y(HeightOf(Slots[static_cast<std::size_t>(i)].Close)));
    canvas_->drawPolyline(line);
}

void TChartObj::DrawTitle()
{
    if (TitleLine.empty())
        return;
    QFont bold = canvas_->font();
    bold.setBold(true);
    canvas_->setFont(bold);
    SetPenColour(Printing ? QColor(Qt::black) : QColor(Qt::white));
    const QString title = QString::fromStdString(TitleLine);
    const int width = canvas_->fontMetrics().horizontalAdvance(title);
    TextOut((ChartWidth - width) / 2, Y(HeightOf(axisHigh_)), title);
}

int TChartObj::PrintedDayStep() const
{
    // A screen far wider than the one the program was drawn for leaves the
    // printed days in a corner of the page: the days the file holds (at most
    // 400) are spread across the page's width instead.
    std::int64_t days = 0;
    try {
        days = std::min<std::int64_t>(PriceWorkFileReader(FileName).Count(), kChartMaxDays);
    } catch (const MarketDataError&) {
        return 1;
    }
    if (days < 2)
        return 1;
    return std::max(1, static_cast<int>((ChartWidth - 8 * CharWidth - LeftMargin) / days));
}

}  // namespace kestrava
