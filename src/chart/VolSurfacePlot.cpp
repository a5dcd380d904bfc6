#include "chart/VolSurfacePlot.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "chart/PlotFrame.h"
#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kDaysAxis = "Days to expiry";
const char* const kVolatilityAxis = "At-the-money volatility %";
const char* const kMoneynessAxis = "Moneyness (strike / forward)";
const char* const kExpiryAxis = "Expiry (days)";
const char* const kScaleTitle = "Mid IV %";
const char* const kNoTerm = "No expiry has an at-the-money volatility yet.";
const char* const kNoSurface = "No expiry has a volatility in this band of moneyness yet.";

// Viridis at nine points: perceptually even and readable in grey.
const QColor kScale[] = {{68, 1, 84},    {71, 44, 122}, {59, 81, 139},  {44, 113, 142}, {33, 144, 141},
                         {39, 173, 129}, {92, 200, 99}, {170, 220, 50}, {253, 231, 37}};

// The volatilities of the grid's cells, low and high, each a little inside
// the extremes so that one wild strike does not wash the rest out.
std::pair<double, double> ScaleRange(const VolSurfaceGrid& grid)
{
    std::vector<double> values;
    for (double vol : grid.vols)
        if (vol > 0)
            values.push_back(vol * 100);
    if (values.empty())
        return {0, 100};
    std::sort(values.begin(), values.end());
    const auto at = [&values](double share) {
        return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
    };
    return {at(0.03), at(0.97)};
}

}  // namespace

QColor SurfaceColour(double share)
{
    share = std::clamp(std::isfinite(share) ? share : 0.0, 0.0, 1.0);
    const double at = share * (std::size(kScale) - 1);
    const std::size_t low = std::min(static_cast<std::size_t>(at), std::size(kScale) - 2);
    const double t = at - static_cast<double>(low);
    const QColor& a = kScale[low];
    const QColor& b = kScale[low + 1];
    return QColor::fromRgbF(static_cast<float>(a.redF() + t * (b.redF() - a.redF())),
                            static_cast<float>(a.greenF() + t * (b.greenF() - a.greenF())),
                            static_cast<float>(a.blueF() + t * (b.blueF() - a.blueF())));
}

void DrawTermStructure(QPainter& painter, const QRectF& picture, const std::vector<TermPoint>& points,
                       const QString& title, const LocaleInfo& locale)
{
    std::vector<QPointF> values;
    for (const TermPoint& point : points)
        if (point.atmVol > 0)
            values.emplace_back(point.days, point.atmVol * 100);
    double lowDays = 0, highDays = 30, lowVol = 0, highVol = 20;
    if (!values.empty()) {
        lowDays = highDays = values.front().x();
        lowVol = highVol = values.front().y();
        for (const QPointF& v : values) {
            highDays = std::max(highDays, v.x());
            lowVol = std::min(lowVol, v.y());
            highVol = std::max(highVol, v.y());
        }
        lowDays = 0;
    }
    PlotFrame frame(painter, picture, locale);
    const PlotAxis x = MakePlotAxis(lowDays, highDays * 1.03, frame.StepsAcross(picture.width()));
    const PlotAxis y = MakePlotAxis(std::max(0.0, lowVol - (highVol - lowVol) * 0.1 - 0.5),
                                    highVol + (highVol - lowVol) * 0.1 + 0.5, 6);
    frame.Draw(x, y, QString::fromLatin1(kDaysAxis), QString::fromLatin1(kVolatilityAxis), title);
    if (values.empty()) {
        frame.DrawNote(QString::fromLatin1(kNoTerm));
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(plotcolour::kYellow);
    pen.setWidthF(1.5);
    painter.setPen(pen);
    QPainterPath path;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QPointF at = frame.Map(values[i].x(), values[i].y());
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    painter.drawPath(path);
    painter.restore();
    for (const QPointF& v : values)
        frame.DrawMarker(frame.Map(v.x(), v.y()), MarkerShape::Circle, plotcolour::kYellow, true);
}

void DrawVolSurface(QPainter& painter, const QRectF& picture, const VolSurfaceGrid& grid,
                    const QString& title, const LocaleInfo& locale)
{
    // The frame's axes are drawn here by hand: the rows are expiries, one
    // band each whatever their days, labelled with date and days.
    PlotFrame frame(painter, picture, locale);  // sets the chart font
    const QFontMetrics metrics = painter.fontMetrics();
    const double text = frame.TextHeight(), charWidth = frame.CharWidth();
    std::vector<QString> rowLabels;
    int widest = 0;
    for (std::size_t r = 0; r < grid.expiries.size(); ++r) {
        rowLabels.push_back(QString::fromStdString(FormatLocaleDate(grid.expiries[r], locale))
                            + QStringLiteral(" (%1)").arg(grid.days[r]));
        widest = std::max(widest, metrics.horizontalAdvance(rowLabels.back()));
    }
    const double scaleWidth = 2 * charWidth + metrics.horizontalAdvance(QStringLiteral("000 %")) + charWidth;
    const QRectF area(
        QPointF(picture.left() + text + charWidth + widest + charWidth / 2, picture.top() + 1.6 * text),
        QPointF(picture.right() - scaleWidth - 2 * charWidth, picture.bottom() - 2.4 * text));

    painter.fillRect(picture, plotcolour::kBackground);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.save();
    painter.setFont(bold);
    painter.setPen(plotcolour::kTitle);
    painter.drawText(QRectF(picture.left(), picture.top(), picture.width(), 1.5 * text), Qt::AlignCenter,
                     title);
    painter.restore();
    if (grid.expiries.empty() || grid.moneyness.size() < 2 || area.width() < 4 || area.height() < 4) {
        painter.setPen(plotcolour::kAxis);
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, QString::fromLatin1(kNoSurface));
        return;
    }

    const auto [low, high] = ScaleRange(grid);
    const std::size_t columns = grid.moneyness.size();
    const double rowHeight = area.height() / static_cast<double>(grid.expiries.size());
    const double columnWidth = area.width() / static_cast<double>(columns);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, plotcolour::kGrid);
    for (std::size_t r = 0; r < grid.expiries.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            const double vol = grid.At(r, c) * 100;
            if (!(vol > 0))
                continue;
            // Whole device pixels on both edges, so neighbours meet without seams.
            const double x = static_cast<double>(c), y = static_cast<double>(r);
            const QRectF cell(QPointF(area.left() + x * columnWidth, area.top() + y * rowHeight),
                              QPointF(area.left() + (x + 1) * columnWidth, area.top() + (y + 1) * rowHeight));
            painter.fillRect(cell, SurfaceColour(high > low ? (vol - low) / (high - low) : 0.5));
        }
    }

    // Expiry labels on the left, thinned out when the rows are low.
    painter.setPen(plotcolour::kAxis);
    const std::size_t every = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(text / rowHeight)));
    for (std::size_t r = 0; r < grid.expiries.size(); r += every)
        painter.drawText(QRectF(picture.left(),
                                area.top() + (static_cast<double>(r) + 0.5) * rowHeight - text / 2,
                                area.left() - charWidth / 2 - picture.left(), text),
                         Qt::AlignRight | Qt::AlignVCenter, rowLabels[r]);
    // Moneyness ticks below, at the middle of their columns' span.
    const double first = grid.moneyness.front(), last = grid.moneyness.back();
    const double halfColumn = (last - first) / static_cast<double>(columns - 1) / 2;
    const double left = first - halfColumn, right = last + halfColumn;
    const PlotAxis x = MakePlotAxis(left, right, frame.StepsAcross(area.width()), true);
    const double tick = charWidth / 2;
    for (double value : x.Ticks()) {
        const double at = area.left() + (value - left) / (right - left) * area.width();
        painter.drawLine(QLineF(at, area.bottom(), at, area.bottom() + tick));
        painter.drawText(QRectF(at - 5 * charWidth, area.bottom() + tick, 10 * charWidth, text),
                         Qt::AlignHCenter | Qt::AlignTop, frame.Number(value, x.decimals));
    }
    // The forward price itself.
    const double atForward = area.left() + (1.0 - left) / (right - left) * area.width();
    if (atForward > area.left() && atForward < area.right()) {
        QPen dotted(plotcolour::kTitle);
        dotted.setStyle(Qt::DotLine);
        painter.setPen(dotted);
        painter.drawLine(QLineF(atForward, area.top(), atForward, area.bottom()));
        painter.setPen(plotcolour::kAxis);
    }
    painter.drawRect(area);
    painter.drawText(QRectF(area.left(), area.bottom() + tick + text, area.width(), text * 1.2),
                     Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(kMoneynessAxis));
    painter.save();
    painter.translate(picture.left() + charWidth / 4.0, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), text), Qt::AlignCenter,
                     QString::fromLatin1(kExpiryAxis));
    painter.restore();

    // The colour scale: a bar with its volatilities.
    const QRectF bar(QPointF(area.right() + 2 * charWidth, area.top() + text),
                     QPointF(area.right() + 3.5 * charWidth, area.bottom()));
    const int steps = std::max(2, static_cast<int>(bar.height()));
    for (int i = 0; i < steps; ++i) {
        const double share = 1.0 - static_cast<double>(i) / (steps - 1);
        painter.fillRect(
            QRectF(bar.left(), bar.top() + bar.height() * i / steps, bar.width(), bar.height() / steps + 1),
            SurfaceColour(share));
    }
    painter.drawRect(bar);
    painter.drawText(QRectF(area.right() + charWidth / 2, area.top() - 0.1 * text,
                            picture.right() - area.right() - charWidth, text),
                     Qt::AlignHCenter | Qt::AlignVCenter, QString::fromLatin1(kScaleTitle));
    const PlotAxis scale = MakePlotAxis(low, high, std::max(2, static_cast<int>(bar.height() / (2 * text))),
                                        true);
    for (double value : scale.Ticks()) {
        const double at = bar.bottom() - (value - low) / std::max(high - low, 1e-9) * bar.height();
        painter.drawLine(QLineF(bar.right(), at, bar.right() + tick, at));
        painter.drawText(QRectF(bar.right() + tick + 2, at - text / 2, scaleWidth, text),
                         Qt::AlignLeft | Qt::AlignVCenter, frame.Number(value, scale.decimals));
    }
    painter.restore();
}

}  // namespace kestrava
