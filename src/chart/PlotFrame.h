#pragma once
// The frame that the smile and the risk graph are drawn in. On the screen in
// the chart's style: a black picture, axes and labels in the chart's pale
// green, faint grid lines, the chart font, a white title and a legend box;
// on paper dark on white. Values map linearly onto the plot area; labels
// take the locale's decimal separator.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

#include "common/localeinfo.h"

namespace kestrava {

// The colours the two plots share.
namespace plotcolour {
const QColor kBackground(0, 0, 0);
const QColor kAxis(192, 220, 192);  // the chart's price colour
const QColor kGrid(52, 60, 52);
const QColor kTitle(255, 255, 255);
const QColor kYellow(255, 255, 151);  // the chart's volatility colour
const QColor kBlue(128, 192, 255);
const QColor kOrange(255, 170, 90);
const QColor kZero(150, 150, 150);
}  // namespace plotcolour

// What a plot is drawn in: the screen's colours or the paper's.
struct PlotPalette {
    QColor background;
    QColor axis;  // axes, labels and marks
    QColor grid;
    QColor title;
    QColor zero;
    QColor first;   // calls; today's curve
    QColor second;  // puts; the midway curve
    QColor third;   // the expiry curve
    QColor accent;  // the flat volatility; the breakevens
    QColor legendFill;
};
const PlotPalette& ScreenPalette();
const PlotPalette& PaperPalette();

// A value axis with labels at steps of 1, 2, 2.5 or 5 times a power of ten,
// at most maxSteps of them; works for negative values too. The axis is
// rounded outwards to whole steps, or, when exact, spans the values as they
// are with the labels at the whole steps inside.
struct PlotAxis {
    double low = 0;
    double high = 1;
    double step = 1;
    int decimals = 0;  // what a label needs to show the step

    std::vector<double> Ticks() const;
};
PlotAxis MakePlotAxis(double lowest, double highest, int maxSteps = 8, bool exact = false);

enum class MarkerShape { TriangleUp, TriangleDown, Circle };

struct LegendEntry {
    QString text;
    QColor colour;
    bool line = false;  // a line sample instead of a marker
    Qt::PenStyle lineStyle = Qt::SolidLine;
    MarkerShape shape = MarkerShape::Circle;
    bool filled = true;
};

class PlotFrame {
public:
    // Paints into picture (logical units) with painter, which must be active.
    // The font is the chart's at its size on the device, also when the
    // painter scales (a printed page drawn in screen units).
    PlotFrame(QPainter& painter, const QRectF& picture, const LocaleInfo& locale,
              const PlotPalette& palette = ScreenPalette());

    // Sets the axes and places the plot area so that their labels, the axis
    // titles and the title line fit; then fills the picture and draws the
    // grid, the axes and the title.
    void Draw(const PlotAxis& x, const PlotAxis& y, const QString& xTitle, const QString& yTitle,
              const QString& title);

    QRectF PlotArea() const { return area_; }
    QPointF Map(double x, double y) const;
    double MapX(double x) const;
    double MapY(double y) const;

    // The legend in a box at the plot area's top left (or top right).
    void DrawLegend(const std::vector<LegendEntry>& entries, bool right = false);
    void DrawMarker(QPointF at, MarkerShape shape, const QColor& colour, bool filled);
    // A dotted vertical line at x over the plot area with a label at its top.
    void DrawVerticalMark(double x, const QColor& colour, const QString& label);
    // Text centred in the plot area (an empty plot's note), on a box of the
    // background so that no line of the plot runs through it.
    void DrawNote(const QString& text);

    // How many axis steps fit across length logical pixels with room for
    // their labels.
    int StepsAcross(double length) const;

    QString Number(double value, int decimals) const;
    int CharWidth() const { return charWidth_; }
    int TextHeight() const { return textHeight_; }
    QPainter& Painter() { return painter_; }
    const PlotPalette& Palette() const { return palette_; }

private:
    void DrawGridAndAxes(const QString& xTitle, const QString& yTitle);

    QPainter& painter_;
    QRectF picture_;
    LocaleInfo locale_;
    PlotPalette palette_;
    PlotAxis x_;
    PlotAxis y_;
    QRectF area_;
    int charWidth_ = 8;
    int textHeight_ = 14;
};

// The chart font sized for the painter's device; scale is the painter's
// own (the font is divided by it, so the text keeps its size on the device).
QFont PlotFont(double scale = 1);

// A picture of width x height logical pixels at pixelRatio, drawn by draw
// over its whole area; a null image when it cannot be had.
QImage PlotPicture(int width, int height, qreal pixelRatio,
                   const std::function<void(QPainter&, const QRectF&)>& draw);

}  // namespace kestrava
