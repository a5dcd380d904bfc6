#pragma once
// The price and volatility chart: the price (a close line, or daily
// high-low bars) against a price axis on the right, the rolling volatility
// in percent against an axis on the left, month labels along the bottom and
// a title line with the latest volatility and close. Drawn either into a
// picture for the screen or onto a printer page; one object draws once.

#include <QColor>
#include <QImage>

#include "chartcore/AxisScale.h"
#include "chartcore/ChartData.h"

class QPainter;

namespace kestrava {

class TChartObj : public TChartData {
public:
    TChartObj(Notifier& notifier, const LocaleInfo& locale);

    std::uint8_t PlotMode = 0;  // the current pass: 0 close line, 1 high-low bars, 2 volatility
    QColor SeriesColor = Qt::black;
    float AxisLow = 0;
    float AxisHigh = 0;
    float AxisStep = 0;
    // Pixels from one day to the next: 2 on the screen to decide how many
    // days are loaded, then what spreads the loaded days across the width.
    double DayStep = 2;
    std::int32_t LeftMargin = 70;  // left edge of the days' room
    QImage Bitmap;                 // the screen picture
    std::int32_t DeviceWidth = 0;  // the printer page when printing, else the screen
    std::int32_t DeviceHeight = 0;
    std::int32_t ChartWidth = 0;  // the picture, in its own units (see PixelRatio)
    std::int32_t ChartHeight = 0;
    std::int32_t HalfTextHeight = 0;
    std::int32_t CharWidth = 0;
    float Scale = 0;  // device units per value unit of the current pass
    bool Printing = false;
    // Device pixels per unit of a screen picture (2 on a screen scaled to
    // 200 %): the picture is drawn at full resolution and keeps the ratio.
    qreal PixelRatio = 1;

    // Screen: draws into Bitmap. Printing: draws onto printerPage, whose job
    // the caller has started and ends. Throws ChartError when no day could be
    // loaded (Bitmap is then empty) and MarketDataError when the price work
    // file cannot be opened or holds no record.
    void Draw(QPainter* printerPage = nullptr);

    // The x of a slot's day: the days fill the room between the margins,
    // each in the middle of its share of it.
    double DayX(int slot) const;

private:
    void SetUpCanvas();
    void DrawPass(bool withMonthLabels);
    void FindRange();
    void SetMapping();
    double HeightOf(double value) const;
    double Y(double logicalHeight) const;
    const char* LabelPicture() const;
    QString Label(double value) const;
    QString LatestLabel(float value) const;
    void DrawAxis();
    void DrawSeries();
    void DrawTitle();
    // Under the days: their dates when a date fits in at most a week of
    // days, else the months; always at least one date.
    void DrawDateLabels();
    // The area the latest-value tag of the current pass covers.
    QRectF TagBox(double labelX) const;
    void TextOut(double x, double y, const QString& text);
    void SetPenColour(const QColor& colour);

    LocaleInfo locale_;
    QPainter* canvas_ = nullptr;  // during Draw only
    AxisScale axis_;
    double axisLow_ = 0;  // the axis of the current pass, exactly
    double axisHigh_ = 1;
    double scale_ = 1;
    double bandBottom_ = 0;
    double bandTop_ = 1;
    int penWidth_ = 1;
};

}  // namespace kestrava
