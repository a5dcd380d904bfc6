#include "chart/PlotFrame.h"
#include "chart/ScaledImage.h"

#include <QFontMetrics>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"

namespace kestrava {
namespace {

constexpr qreal kPointSize = 9;

double NiceStep(double span, int maxSteps)
{
    const double rough = span / std::max(maxSteps, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double multiple : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (multiple * power >= rough)
            return multiple * power;
    return 10 * power;
}

int DecimalsFor(double step)
{
    // 2.5 needs one decimal more than its power of ten; 0.25 two.
    for (int decimals = 0; decimals < 8; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled))
            return decimals;
    }
    return 8;
}

}  // namespace

std::vector<double> PlotAxis::Ticks() const
{
    std::vector<double> ticks;
    const double first = std::ceil(low / step - 1e-9);
    const double last = std::floor(high / step + 1e-9);
    for (double i = first; i <= last; ++i)
        ticks.push_back(i * step);
    return ticks;
}

PlotAxis MakePlotAxis(double lowest, double highest, int maxSteps, bool exact)
{
    if (!std::isfinite(lowest) || !std::isfinite(highest))
        lowest = highest = 0;
    if (highest < lowest)
        std::swap(lowest, highest);
    if (highest - lowest < 1e-9 * std::max(1.0, std::fabs(highest))) {
        // A flat range: one unit (or a tenth of the value) on either side.
        const double pad = std::max(std::fabs(highest) * 0.1, 1.0);
        lowest -= pad;
        highest += pad;
    }
    PlotAxis axis;
    axis.step = NiceStep(highest - lowest, maxSteps);
    axis.low = exact ? lowest : std::floor(lowest / axis.step + 1e-9) * axis.step;
    axis.high = exact ? highest : std::ceil(highest / axis.step - 1e-9) * axis.step;
    axis.decimals = DecimalsFor(axis.step);
    return axis;
}

const PlotPalette& ScreenPalette()
{
    static const PlotPalette palette{plotcolour::kBackground, plotcolour::kAxis,  plotcolour::kGrid,
                                     plotcolour::kTitle,      plotcolour::kZero,  plotcolour::kYellow,
                                     plotcolour::kBlue,       plotcolour::kTitle, plotcolour::kOrange,
                                     QColor(0, 0, 0, 215)};
    return palette;
}

const PlotPalette& PaperPalette()
{
    static const PlotPalette palette{Qt::white,
                                     Qt::black,
                                     QColor(205, 205, 205),
                                     Qt::black,
                                     QColor(110, 110, 110),
                                     QColor(175, 120, 0),
                                     QColor(0, 80, 190),
                                     Qt::black,
                                     QColor(215, 60, 0),
                                     QColor(255, 255, 255, 230)};
    return palette;
}

QFont PlotFont(double scale)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kPointSize / (scale > 0 ? scale : 1));
    return font;
}

PlotFrame::PlotFrame(QPainter& painter, const QRectF& picture, const LocaleInfo& locale,
                     const PlotPalette& palette)
    : painter_(painter), picture_(picture), locale_(locale), palette_(palette)
{
    painter_.setFont(PlotFont(std::fabs(painter_.worldTransform().m22())));
    const QFontMetrics metrics = painter_.fontMetrics();
    charWidth_ = metrics.horizontalAdvance(QLatin1Char('W'));
    textHeight_ = metrics.height();
}

int PlotFrame::StepsAcross(double length) const
{
    return std::max(3, static_cast<int>(length / (6.0 * charWidth_)));
}

QString PlotFrame::Number(double value, int decimals) const
{
    // No "-0" at the zero line.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0;
    return QString::fromStdString(FormatLocaleFixed(value, decimals, locale_.decimalSeparator));
}

void PlotFrame::Draw(const PlotAxis& x, const PlotAxis& y, const QString& xTitle, const QString& yTitle,
                     const QString& title)
{
    x_ = x;
    y_ = y;
    const QFontMetrics metrics = painter_.fontMetrics();
    int widestLabel = 0;
    for (double value : y_.Ticks())
        widestLabel = std::max(widestLabel, metrics.horizontalAdvance(Number(value, y_.decimals)));
    const double left = picture_.left() + textHeight_ + charWidth_ + widestLabel + charWidth_ / 2.0;
    const double right = picture_.right() - 2.0 * charWidth_;
    const double top = picture_.top() + 1.6 * textHeight_;
    const double bottom = picture_.bottom() - 2.4 * textHeight_;
    area_ = QRectF(QPointF(left, top), QPointF(std::max(left + 1, right), std::max(top + 1, bottom)));

    painter_.fillRect(picture_, palette_.background);
    DrawGridAndAxes(xTitle, yTitle);

    QFont bold = painter_.font();
    bold.setBold(true);
    painter_.save();
    painter_.setFont(bold);
    painter_.setPen(palette_.title);
    painter_.drawText(QRectF(picture_.left(), picture_.top(), picture_.width(), 1.5 * textHeight_),
                      Qt::AlignCenter, title);
    painter_.restore();
}

double PlotFrame::MapX(double x) const
{
    return area_.left() + (x - x_.low) / (x_.high - x_.low) * area_.width();
}

double PlotFrame::MapY(double y) const
{
    return area_.bottom() - (y - y_.low) / (y_.high - y_.low) * area_.height();
}

QPointF PlotFrame::Map(double x, double y) const
{
    return QPointF(MapX(x), MapY(y));
}

void PlotFrame::DrawGridAndAxes(const QString& xTitle, const QString& yTitle)
{
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    const double tick = charWidth_ / 2.0;
    for (double value : x_.Ticks()) {
        const double at = MapX(value);
        painter_.setPen(palette_.grid);
        painter_.drawLine(QLineF(at, area_.top(), at, area_.bottom()));
        painter_.setPen(palette_.axis);
        painter_.drawLine(QLineF(at, area_.bottom(), at, area_.bottom() + tick));
        painter_.drawText(QRectF(at - 5 * charWidth_, area_.bottom() + tick, 10 * charWidth_, textHeight_),
                          Qt::AlignHCenter | Qt::AlignTop, Number(value, x_.decimals));
    }
    for (double value : y_.Ticks()) {
        const double at = MapY(value);
        painter_.setPen(palette_.grid);
        painter_.drawLine(QLineF(area_.left(), at, area_.right(), at));
        painter_.setPen(palette_.axis);
        painter_.drawLine(QLineF(area_.left() - tick, at, area_.left(), at));
        painter_.drawText(QRectF(picture_.left(), at - textHeight_ / 2.0,
                                 area_.left() - tick - charWidth_ / 4.0 - picture_.left(), textHeight_),
                          Qt::AlignRight | Qt::AlignVCenter, Number(value, y_.decimals));
    }
    painter_.setPen(palette_.axis);
    painter_.drawLine(QLineF(area_.bottomLeft(), area_.bottomRight()));
    painter_.drawLine(QLineF(area_.bottomLeft(), area_.topLeft()));

    // Axis titles: below the x labels, and turned up along the left edge.
    painter_.drawText(
        QRectF(area_.left(), area_.bottom() + tick + textHeight_, area_.width(), textHeight_ * 1.2),
        Qt::AlignHCenter | Qt::AlignTop, xTitle);
    painter_.translate(picture_.left() + charWidth_ / 4.0, area_.center().y());
    painter_.rotate(-90);
    painter_.drawText(QRectF(-area_.height() / 2, 0, area_.height(), textHeight_), Qt::AlignCenter, yTitle);
    painter_.restore();
}

void PlotFrame::DrawMarker(QPointF at, MarkerShape shape, const QColor& colour, bool filled)
{
    const double r = std::max(3.0, charWidth_ * 0.42);
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(colour);
    pen.setWidthF(1.2);
    painter_.setPen(pen);
    painter_.setBrush(filled ? QBrush(colour) : QBrush(Qt::NoBrush));
    switch (shape) {
    case MarkerShape::TriangleUp:
        painter_.drawPolygon(
            QPolygonF({at + QPointF(0, -r), at + QPointF(r, r * 0.8), at + QPointF(-r, r * 0.8)}));
        break;
    case MarkerShape::TriangleDown:
        painter_.drawPolygon(
            QPolygonF({at + QPointF(0, r), at + QPointF(r, -r * 0.8), at + QPointF(-r, -r * 0.8)}));
        break;
    case MarkerShape::Circle:
        painter_.drawEllipse(at, r * 0.8, r * 0.8);
        break;
    }
    painter_.restore();
}

void PlotFrame::DrawLegend(const std::vector<LegendEntry>& entries, bool right)
{
    if (entries.empty())
        return;
    const QFontMetrics metrics = painter_.fontMetrics();
    int widest = 0;
    for (const LegendEntry& entry : entries)
        widest = std::max(widest, metrics.horizontalAdvance(entry.text));
    const double sample = 3.0 * charWidth_;
    const double pad = charWidth_ / 2.0;
    const double lineHeight = textHeight_ * 1.1;
    const QSizeF size(pad * 3 + sample + widest, pad * 2 + lineHeight * static_cast<double>(entries.size()));
    const QPointF corner = right ? QPointF(area_.right() - pad - size.width(), area_.top() + pad)
                                 : QPointF(area_.left() + pad, area_.top() + pad);
    const QRectF box(corner, size);
    painter_.save();
    painter_.setPen(palette_.grid);
    painter_.setBrush(palette_.legendFill);
    painter_.drawRect(box);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LegendEntry& entry = entries[i];
        const double y = box.top() + pad + lineHeight * (static_cast<double>(i) + 0.5);
        const QPointF middle(box.left() + pad + sample / 2, y);
        if (entry.line) {
            QPen pen(entry.colour);
            pen.setWidthF(2);
            pen.setStyle(entry.lineStyle);
            painter_.setPen(pen);
            painter_.drawLine(QLineF(box.left() + pad, y, box.left() + pad + sample, y));
        } else {
            DrawMarker(middle, entry.shape, entry.colour, entry.filled);
        }
        painter_.setPen(palette_.axis);
        painter_.drawText(QRectF(box.left() + 2 * pad + sample, y - lineHeight / 2, widest + pad, lineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, entry.text);
    }
    painter_.restore();
}

void PlotFrame::DrawVerticalMark(double x, const QColor& colour, const QString& label)
{
    if (x < x_.low || x > x_.high)
        return;
    const double at = MapX(x);
    painter_.save();
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    painter_.setPen(pen);
    painter_.drawLine(QLineF(at, area_.top(), at, area_.bottom()));
    const QFontMetrics metrics = painter_.fontMetrics();
    const double width = metrics.horizontalAdvance(label) + charWidth_;
    // The label stands beside the line, inside the plot area.
    const bool leftOfLine = at + width > area_.right();
    const QRectF box(leftOfLine ? at - width : at, area_.bottom() - 1.2 * textHeight_, width, textHeight_);
    painter_.fillRect(box, palette_.background);
    painter_.setPen(colour);
    painter_.drawText(box, Qt::AlignCenter, label);
    painter_.restore();
}

void PlotFrame::DrawNote(const QString& text)
{
    painter_.save();
    const QRectF room = area_.adjusted(charWidth_, 0, -charWidth_, 0);
    const QRectF box = painter_.fontMetrics()
                           .boundingRect(room.toAlignedRect(), Qt::AlignCenter | Qt::TextWordWrap, text)
                           .adjusted(-charWidth_ / 2, -textHeight_ / 4, charWidth_ / 2, textHeight_ / 4);
    painter_.fillRect(box, palette_.background);
    painter_.setPen(palette_.axis);
    painter_.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, text);
    painter_.restore();
}

QImage PlotPicture(int width, int height, qreal pixelRatio,
                   const std::function<void(QPainter&, const QRectF&)>& draw)
{
    QImage picture = ScaledImage(width, height, pixelRatio);
    if (picture.isNull())
        return picture;
    QPainter painter(&picture);
    draw(painter, QRectF(0, 0, width, height));
    return picture;
}

}  // namespace kestrava
