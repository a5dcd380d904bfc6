#include "optionpage/RiskView.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "chart/RiskPlot.h"

namespace kestrava {
namespace {

const char* const kRiskViewHint =
    "Mouse wheel: zoom around the pointer. Drag: move the prices. Double-click: back to the legs' range.";
// One notch of the wheel zooms in or out by this much.
constexpr double kNotchFactor = 0.8;
constexpr double kNotch = 120;
// The narrowest range, as a share of its prices.
constexpr double kNarrowest = 1e-4;

}  // namespace

RiskView::RiskView(const LocaleInfo& locale, QWidget* parent)
    : PlotView(QStringLiteral("RiskView"), {640, 320}, locale, parent)
{
    setToolTip(QString::fromLatin1(kRiskViewHint));
}

void RiskView::ShowGraph(const RiskGraph& graph)
{
    graph_ = graph;
    update();
}

void RiskView::Draw(QPainter& painter, const QRectF& area) const
{
    plotArea_ = DrawRiskGraph(painter, area, graph_, locale_);
}

RiskSpan RiskView::Zoomed(RiskSpan span, double at, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor))
        return span;
    at = std::clamp(at, span.from, span.to);
    RiskSpan zoomed{at - (at - span.from) * factor, at + (span.to - at) * factor};
    if (zoomed.to - zoomed.from < kNarrowest * zoomed.to)
        return span;
    // Zoomed out past 0, the range keeps its width above 0.
    if (!(zoomed.from > 0))
        zoomed = Moved(zoomed, 0);
    return zoomed;
}

RiskSpan RiskView::Moved(RiskSpan span, double by)
{
    const double width = span.to - span.from;
    RiskSpan moved{span.from + by, span.to + by};
    if (!(moved.from > 0))
        moved = {width * kNarrowest, width * (1 + kNarrowest)};
    return moved;
}

RiskSpan RiskView::Shown() const
{
    if (graph_.prices.size() < 2)
        return {};
    return {graph_.prices.front(), graph_.prices.back()};
}

double RiskView::PriceAt(double x) const
{
    const RiskSpan shown = Shown();
    if (plotArea_.width() <= 0)
        return (shown.from + shown.to) / 2;
    return shown.from + (x - plotArea_.left()) / plotArea_.width() * (shown.to - shown.from);
}

void RiskView::wheelEvent(QWheelEvent* event)
{
    const RiskSpan shown = Shown();
    const double notches = event->angleDelta().y() / kNotch;
    if (!(shown.to > shown.from) || notches == 0) {
        event->ignore();
        return;
    }
    const RiskSpan zoomed = Zoomed(shown, PriceAt(event->position().x()), std::pow(kNotchFactor, notches));
    event->accept();
    emit rangeWanted(zoomed.from, zoomed.to);
}

void RiskView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !(Shown().to > Shown().from)) {
        PlotView::mousePressEvent(event);
        return;
    }
    dragFrom_ = event->position();
    dragSpan_ = Shown();
    setCursor(Qt::ClosedHandCursor);
}

void RiskView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragFrom_ || !(event->buttons() & Qt::LeftButton) || plotArea_.width() <= 0) {
        PlotView::mouseMoveEvent(event);
        return;
    }
    // The price under the pointer stays under it.
    const double perPixel = (dragSpan_.to - dragSpan_.from) / plotArea_.width();
    const RiskSpan moved = Moved(dragSpan_, -(event->position().x() - dragFrom_->x()) * perPixel);
    if (moved.from != Shown().from)
        emit rangeWanted(moved.from, moved.to);
}

void RiskView::mouseReleaseEvent(QMouseEvent* event)
{
    dragFrom_.reset();
    unsetCursor();
    PlotView::mouseReleaseEvent(event);
}

void RiskView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PlotView::mouseDoubleClickEvent(event);
        return;
    }
    dragFrom_.reset();
    emit rangeReset();
}

}  // namespace kestrava
