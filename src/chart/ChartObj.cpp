#include "chart/ChartObj.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "chart/ScaledImage.h"
#include "common/localeparse.h"
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
        // The days loaded are those that fit 2 pixels apart on the screen,
        // and two printed line widths apart on paper, whatever the screen.
        const int loadStep = Printing ? 2 * penWidth_ : std::max(1, static_cast<int>(DayStep));
        LeftMargin = 8 * CharWidth;
        LoadPrices(DaysThatFit(ChartWidth, CharWidth, LeftMargin, loadStep));
        if (Points < 1)
            throw ChartError(kChartDigestError);
        // Then they are spread across the room, whatever the screen's width
        // or the file's length.
        const int room = ChartWidth - 8 * CharWidth - LeftMargin;
        DayStep = static_cast<double>(room) / (kChartSlotCount - FirstPriceSlot());

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

double TChartObj::DayX(int slot) const
{
    return LeftMargin + DayStep * (slot - FirstPriceSlot() + 0.5);
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
        DrawDateLabels();
    DrawSeries();
}

void TChartObj::FindRange()
{
    const auto first = Slots.begin() + (PlotMode == 2 ? FirstDrawnSlot() : FirstPriceSlot());
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
    // A flat range (one close, or a price that never moved) gets room either
    // side, so that its line stands inside the axis.
    if (AxisHigh == AxisLow) {
        const float room = AxisHigh != 0 ? std::fabs(AxisHigh) * 0.005f : 1.0f;
        AxisLow -= room;
        AxisHigh += room;
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

QRectF TChartObj::TagBox(double labelX) const
{
    const TPriceRecord& newest = Slots[kChartNewestSlot];
    const float latest = PlotMode == 2 ? newest.Volume : newest.Close;
    const QFontMetrics metrics = canvas_->fontMetrics();
    return QRectF(labelX, Y(HeightOf(latest) + HalfTextHeight),
                  metrics.horizontalAdvance(LatestLabel(latest)), metrics.height());
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
    // The latest-value tag takes the place of the labels it would cover.
    const QRectF tag = TagBox(labelX);

    SetPenColour(SeriesColor);
    canvas_->drawLine(QLineF(axisX, Y(HeightOf(axisLow_)), axisX, Y(HeightOf(axisHigh_))));
    for (int k = 0; k < axis_.LabelCount(); ++k) {
        const double value = axis_.LabelValue(k);
        const double y = Y(HeightOf(value));
        canvas_->drawLine(QLineF(axisX, y, tickEnd, y));
        const double top = Y(HeightOf(value) + HalfTextHeight);
        if (top >= tag.bottom() || top + metrics.height() <= tag.top())
            TextOut(labelX, top, Label(value));
    }

    // The newest value once more, inverted on a box of the series colour.
    const TPriceRecord& newest = Slots[kChartNewestSlot];
    const QString text = LatestLabel(PlotMode == 2 ? newest.Volume : newest.Close);
    canvas_->fillRect(tag, SeriesColor);
    SetPenColour(Inverted(SeriesColor));
    TextOut(tag.left(), tag.top(), text);
    SetPenColour(SeriesColor);
}

void TChartObj::DrawDateLabels()
{
    SetPenColour(Printing ? QColor(Qt::black) : SeriesColor);
    const double y = Y(HeightOf(axisLow_) + HalfTextHeight);
    const QFontMetrics metrics = canvas_->fontMetrics();
    const auto date = [this](int slot) {
        return QString::fromStdString(FormatLocaleDate(Slots[static_cast<std::size_t>(slot)].Date, locale_));
    };
    const auto centred = [&](int slot, const QString& text) {
        const int width = metrics.horizontalAdvance(text);
        TextOut(std::clamp(DayX(slot) - width / 2.0, 0.0, std::max(0.0, ChartWidth - width - 0.0)), y, text);
    };
    const double dateWidth = metrics.horizontalAdvance(date(kChartNewestSlot)) + CharWidth;
    const int first = FirstPriceSlot();
    if (DayStep * 7 >= dateWidth) {
        // Few days: their dates, from the newest back, as close as they fit.
        const int every = std::max(1, static_cast<int>(std::ceil(dateWidth / DayStep)));
        for (int slot = kChartNewestSlot; slot >= first; slot -= every)
            centred(slot, date(slot));
        return;
    }
    const std::vector<MonthMark> marks = MonthMarks();
    // A month that starts right after a gap in the file leaves out its
    // label rather than run it into the previous one.
    double freeFrom = 0;
    for (const MonthMark& mark : marks) {
        const QString text = QString::fromStdString(mark.text);
        if (DayX(mark.slot) < freeFrom)
            continue;
        TextOut(DayX(mark.slot), y, text);
        freeFrom = DayX(mark.slot) + metrics.horizontalAdvance(text) + CharWidth / 2.0;
    }
    // Days of one month still say when they were.
    if (marks.empty())
        TextOut(DayX(first), y, date(first));
}

void TChartObj::DrawSeries()
{
    SetPenColour(SeriesColor);
    if (PlotMode == 2) {
        // From the newest value, which stands under the newest price.
        if (Points < 3)
            return;
        QPolygonF line;
        for (int i = kChartNewestSlot; i >= FirstDrawnSlot(); --i)
            line << QPointF(DayX(i), Y(HeightOf(Slots[static_cast<std::size_t>(i)].Volume)));
        canvas_->drawPolyline(line);
        return;
    }
    const int first = FirstPriceSlot();
    if (PlotMode == 1) {
        for (int i = first; i <= kChartNewestSlot; ++i) {
            const TPriceRecord& slot = Slots[static_cast<std::size_t>(i)];
            canvas_->drawLine(QLineF(DayX(i), Y(HeightOf(slot.High)), DayX(i), Y(HeightOf(slot.Low))));
        }
        return;
    }
    QPolygonF line;
    for (int i = first; i <= kChartNewestSlot; ++i)
        line << QPointF(DayX(i), Y(HeightOf(Slots[static_cast<std::size_t>(i)].Close)));
    if (line.size() == 1) {
        // A lone close: a dash across its day.
        const double half = std::min(DayStep / 4, 2.0 * CharWidth);
        canvas_->drawLine(QLineF(line[0] - QPointF(half, 0), line[0] + QPointF(half, 0)));
        return;
    }
    canvas_->drawPolyline(line);
}

void TChartObj::DrawTitle()
{
    if (TitleLine.empty())
        return;
    QFont bold = canvas_->font();
    bold.setBold(true);
    canvas_->setFont(bold);
    const QString title = QString::fromStdString(TitleLine);
    // A long title (one that tells of a gap) shrinks to stand between the
    // axes' labels.
    const double room = ChartWidth - 2.0 * LeftMargin;
    const int wanted = canvas_->fontMetrics().horizontalAdvance(title);
    if (wanted > room && room > 0) {
        bold.setPointSizeF(std::max(5.0, bold.pointSizeF() * room / wanted));
        canvas_->setFont(bold);
    }
    SetPenColour(Printing ? QColor(Qt::black) : QColor(Qt::white));
    const int width = canvas_->fontMetrics().horizontalAdvance(title);
    const int left = (ChartWidth - width) / 2;  // whole pixels
    TextOut(left, Y(HeightOf(axisHigh_)), title);
}

}  // namespace kestrava
