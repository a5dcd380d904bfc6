#include "chart/RiskPlot.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "chart/PlotFrame.h"
#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kRiskTitle = "Profit or loss of the position";
const char* const kPriceAxis = "Underlying $";
const char* const kPnlAxis = "Profit or loss $";
const char* const kCurveNames[3] = {"Today ", "Midway ", "Expiry "};
const char* const kBreakevens = "Breakevens: ";
const char* const kNoLegs = "The position has no leg in this series.";
const char* const kUnderlyingMark = "Ulying ";

// The legend goes into the top corner the curves leave freer.
bool HigherOnTheLeft(const RiskGraph& graph)
{
    const std::size_t count = graph.prices.size();
    double left = -1e300;
    double right = -1e300;
    for (const std::vector<double>& curve : graph.pnl) {
        for (std::size_t i = 0; i < count / 3 && i < curve.size(); ++i) {
            left = std::max(left, curve[i]);
            right = std::max(right, curve[count - 1 - i]);
        }
    }
    return left > right;
}

}  // namespace

QRectF DrawRiskGraph(QPainter& painter, const QRectF& picture, const RiskGraph& graph,
                     const LocaleInfo& locale, const PlotPalette& palette)
{
    const QColor curveColours[3] = {palette.first, palette.second, palette.third};
    double low = 0;
    double high = 0;
    for (const std::vector<double>& curve : graph.pnl)
        for (double value : curve) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    const double margin = (high - low) * 0.05;
    PlotFrame frame(painter, picture, locale, palette);
    const PlotAxis y = MakePlotAxis(low - margin, high + margin, 7);
    const int steps = frame.StepsAcross(picture.width());
    const PlotAxis x = graph.prices.empty()
                           ? MakePlotAxis(0, 1, steps)
                           : MakePlotAxis(graph.prices.front(), graph.prices.back(), steps, true);
    frame.Draw(x, y, QString::fromLatin1(kPriceAxis), QString::fromLatin1(kPnlAxis),
               QString::fromLatin1(kRiskTitle));

    painter.save();
    painter.setClipRect(frame.PlotArea());
    painter.setPen(QPen(palette.zero, 1.0));
    painter.drawLine(QLineF(frame.PlotArea().left(), frame.MapY(0), frame.PlotArea().right(), frame.MapY(0)));
    if (graph.underlying > 0)
        frame.DrawVerticalMark(graph.underlying, palette.axis,
                               QString::fromLatin1(kUnderlyingMark) + frame.Number(graph.underlying, 2));
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The expiry curve last, over the others.
    for (int d = kRiskToday; d <= kRiskExpiry; ++d) {
        QPolygonF line;
        const std::vector<double>& curve = graph.pnl[static_cast<std::size_t>(d)];
        for (std::size_t i = 0; i < graph.prices.size() && i < curve.size(); ++i)
            line << frame.Map(graph.prices[i], curve[i]);
        QPen pen(curveColours[d]);
        pen.setWidthF(d == kRiskExpiry ? 2.0 : 1.5);
        painter.setPen(pen);
        painter.drawPolyline(line);
    }
    for (double price : graph.breakevens)
        frame.DrawMarker(frame.Map(price, 0), MarkerShape::Circle, palette.accent, false);
    painter.restore();

    bool anyLeg = false;
    for (const std::vector<double>& curve : graph.pnl)
        for (double value : curve)
            anyLeg = anyLeg || value != 0;
    if (!anyLeg)
        frame.DrawNote(QString::fromLatin1(kNoLegs));

    std::vector<LegendEntry> legend;
    for (int d = kRiskToday; d <= kRiskExpiry; ++d) {
        LegendEntry entry;
        entry.text = QString::fromLatin1(kCurveNames[d])
                     + QString::fromStdString(
                         FormatLocaleDate(graph.dates[static_cast<std::size_t>(d)], locale));
        entry.colour = curveColours[d];
        entry.line = true;
        legend.push_back(entry);
    }
    LegendEntry breakevens;
    breakevens.text = QString::fromLatin1(kBreakevens)
                      + QString::fromStdString(BreakevenText(graph.breakevens, locale.decimalSeparator));
    breakevens.colour = palette.accent;
    breakevens.shape = MarkerShape::Circle;
    breakevens.filled = false;
    legend.push_back(breakevens);
    frame.DrawLegend(legend, HigherOnTheLeft(graph));
    return frame.PlotArea();
}

QImage RiskPicture(const RiskGraph& graph, int width, int height, qreal pixelRatio, const LocaleInfo& locale)
{
    return PlotPicture(width, height, pixelRatio, [&](QPainter& painter, const QRectF& area) {
        DrawRiskGraph(painter, area, graph, locale);
    });
}

}  // namespace kestrava
