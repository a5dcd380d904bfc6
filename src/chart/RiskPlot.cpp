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
const char* const kChosenDate = "Date ";
const char* const kGreekTitles[] = {"Delta of the position", "Gamma of the position",
                                    "Decay of the position per day", "Vega of the position"};
const char* const kGreekAxes[] = {"Delta", "Gamma", "Decay $ / day", "Vega $ / vol point"};
const char* const kExpectedMove = "±1 σ to ";
const char* const kBreakevens = "Breakevens: ";
const char* const kNoLegs = "The position has no leg in this series.";
const char* const kUnderlyingMark = "Ulying ";

// The expected move to each expiry as a bracket from today's price less to
// plus one standard deviation, one over another from above the underlying's
// mark at the foot (clear of the legend at the top), with dotted lines
// through the plot at its ends.
void DrawExpectedMoves(PlotFrame& frame, const RiskGraph& graph, const LocaleInfo& locale)
{
    QPainter& painter = frame.Painter();
    const QRectF area = frame.PlotArea();
    const double tick = frame.TextHeight() / 3.0;
    for (std::size_t i = 0; i < graph.moves.size(); ++i) {
        const ExpectedMove& move = graph.moves[i];
        if (!(move.move > 0))
            continue;
        const double left = std::max(area.left(), frame.MapX(graph.underlying - move.move));
        const double right = std::min(area.right(), frame.MapX(graph.underlying + move.move));
        const double y = area.bottom() - (static_cast<double>(i) + 2.5) * frame.TextHeight() * 1.4;
        QPen dotted(frame.Palette().accent, 1.0, Qt::DotLine);
        painter.setPen(dotted);
        for (double x : {left, right})
            if (x > area.left() && x < area.right())
                painter.drawLine(QLineF(x, area.top(), x, area.bottom()));
        painter.setPen(QPen(frame.Palette().accent, 1.0));
        painter.drawLine(QLineF(left, y, right, y));
        for (double x : {left, right})
            painter.drawLine(QLineF(x, y - tick, x, y + tick));
        const QString label = QString::fromUtf8(kExpectedMove)
                              + QString::fromStdString(FormatLocaleDate(move.date, locale));
        const QFontMetrics metrics = painter.fontMetrics();
        const QRectF box(std::max(area.left(), (left + right) / 2 - metrics.horizontalAdvance(label) / 2.0),
                         y - frame.TextHeight() - tick, metrics.horizontalAdvance(label), frame.TextHeight());
        painter.drawText(box, Qt::AlignCenter, label);
    }
}

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
    const int greek = graph.greek ? static_cast<int>(*graph.greek) : -1;
    frame.Draw(x, y, QString::fromLatin1(kPriceAxis),
               QString::fromLatin1(greek >= 0 ? kGreekAxes[greek] : kPnlAxis),
               QString::fromLatin1(greek >= 0 ? kGreekTitles[greek] : kRiskTitle));

    painter.save();
    painter.setClipRect(frame.PlotArea());
    painter.setPen(QPen(palette.zero, 1.0));
    painter.drawLine(QLineF(frame.PlotArea().left(), frame.MapY(0), frame.PlotArea().right(), frame.MapY(0)));
    if (graph.underlying > 0)
        frame.DrawVerticalMark(graph.underlying, palette.axis,
                               QString::fromLatin1(kUnderlyingMark) + frame.Number(graph.underlying, 2));
    DrawExpectedMoves(frame, graph, locale);
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
    if (!anyLeg && !graph.greek)
        frame.DrawNote(QString::fromLatin1(kNoLegs));

    std::vector<LegendEntry> legend;
    for (int d = kRiskToday; d <= kRiskExpiry; ++d) {
        LegendEntry entry;
        const bool chosen = d == kRiskMidway && graph.dateChosen;
        entry.text = QString::fromLatin1(chosen ? kChosenDate : kCurveNames[d])
                     + QString::fromStdString(
                         FormatLocaleDate(graph.dates[static_cast<std::size_t>(d)], locale));
        entry.colour = curveColours[d];
        entry.line = true;
        legend.push_back(entry);
    }
    if (graph.greek) {
        frame.DrawLegend(legend, HigherOnTheLeft(graph));
        return frame.PlotArea();
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
