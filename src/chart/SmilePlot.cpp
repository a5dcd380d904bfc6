#include "chart/SmilePlot.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "chart/PlotFrame.h"
#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kCallBid = "Call bid IV";
const char* const kCallAsk = "Call ask IV";
const char* const kPutBid = "Put bid IV";
const char* const kPutAsk = "Put ask IV";
const char* const kFlatVolatility = "Flat volatility";
const char* const kStrikeAxis = "Strike $";
const char* const kVolatilityAxis = "Implied volatility %";
const char* const kSmileTitle = "Implied volatilities, expiry ";
const char* const kNoSmile = "No bid or ask has an implied volatility at this expiry.";
const char* const kUnderlyingMark = "Ulying ";

// Bids point up from below, asks down from above; calls are filled.
LegendEntry MarkerEntry(const char* text, bool call, bool bid, const PlotPalette& palette)
{
    LegendEntry entry;
    entry.text = QString::fromLatin1(text);
    entry.colour = call ? palette.first : palette.second;
    entry.shape = bid ? MarkerShape::TriangleUp : MarkerShape::TriangleDown;
    entry.filled = call;
    return entry;
}

// The legend goes into the top corner the markers leave freer.
bool HigherOnTheLeft(const SmileData& smile, double middleStrike)
{
    double left = 0;
    double right = 0;
    for (const SmilePoint& point : smile.points) {
        double& half = point.strike < middleStrike ? left : right;
        half = std::max(half, static_cast<double>(std::max(point.bidIV, point.askIV)));
    }
    return left > right;
}

}  // namespace

void DrawSmile(QPainter& painter, const QRectF& picture, const SmileData& smile, const LocaleInfo& locale,
               const PlotPalette& palette)
{
    double lowStrike = smile.underlying;
    double highStrike = smile.underlying;
    double lowVol = smile.flatVolatility * 100.0;
    double highVol = lowVol;
    for (const SmilePoint& point : smile.points) {
        lowStrike = std::min(lowStrike, static_cast<double>(point.strike));
        highStrike = std::max(highStrike, static_cast<double>(point.strike));
        for (float iv : {point.bidIV, point.askIV}) {
            if (iv > 0) {
                lowVol = std::min(lowVol, iv * 100.0);
                highVol = std::max(highVol, iv * 100.0);
            }
        }
    }
    // Room beside the outer strikes so their markers stand inside the frame.
    const double pad = std::max((highStrike - lowStrike) * 0.04, std::fabs(highStrike) * 0.01);
    PlotFrame frame(painter, picture, locale, palette);
    const PlotAxis x = MakePlotAxis(lowStrike - pad, highStrike + pad, frame.StepsAcross(picture.width()));
    const PlotAxis y = MakePlotAxis(std::max(0.0, lowVol - (highVol - lowVol) * 0.08), highVol * 1.06, 6);
    std::string title = kSmileTitle
                        + (smile.expiry > 0 ? FormatLocaleDate(smile.expiry, locale) : std::string("?"));
    if (!smile.symbol.empty())
        title = smile.symbol + "  " + title;
    frame.Draw(x, y, QString::fromLatin1(kStrikeAxis), QString::fromLatin1(kVolatilityAxis),
               QString::fromStdString(title));

    painter.save();
    painter.setClipRect(frame.PlotArea().adjusted(-8, -8, 8, 8));
    if (smile.flatVolatility > 0) {
        QPen pen(palette.accent);
        pen.setWidthF(1.5);
        pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        const double level = frame.MapY(smile.flatVolatility * 100.0);
        painter.drawLine(QLineF(frame.PlotArea().left(), level, frame.PlotArea().right(), level));
    }
    if (smile.underlying > 0)
        frame.DrawVerticalMark(smile.underlying, palette.axis,
                               QString::fromLatin1(kUnderlyingMark) + frame.Number(smile.underlying, 2));
    for (const SmilePoint& point : smile.points) {
        if (point.bidIV > 0)
            frame.DrawMarker(frame.Map(point.strike, point.bidIV * 100.0), MarkerShape::TriangleUp,
                             point.call ? palette.first : palette.second, point.call);
        if (point.askIV > 0)
            frame.DrawMarker(frame.Map(point.strike, point.askIV * 100.0), MarkerShape::TriangleDown,
                             point.call ? palette.first : palette.second, point.call);
    }
    painter.restore();

    if (smile.points.empty())
        frame.DrawNote(QString::fromLatin1(kNoSmile));
    LegendEntry flat;
    flat.text = QString::fromLatin1(kFlatVolatility);
    flat.colour = palette.accent;
    flat.line = true;
    flat.lineStyle = Qt::DashLine;
    frame.DrawLegend({MarkerEntry(kCallBid, true, true, palette), MarkerEntry(kCallAsk, true, false, palette),
                      MarkerEntry(kPutBid, false, true, palette), MarkerEntry(kPutAsk, false, false, palette),
                      flat},
                     HigherOnTheLeft(smile, (x.low + x.high) / 2));
}

QImage SmilePicture(const SmileData& smile, int width, int height, qreal pixelRatio, const LocaleInfo& locale)
{
    return PlotPicture(width, height, pixelRatio, [&](QPainter& painter, const QRectF& area) {
        DrawSmile(painter, area, smile, locale);
    });
}

}  // namespace kestrava
