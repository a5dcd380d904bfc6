#pragma once
// A position's risk graph. The mouse wheel zooms around the price under the
// pointer, dragging moves the prices, and a double-click asks for the legs'
// own range again; the view only asks, the Position tab values the position
// at the prices wanted.

#include <QPointF>
#include <QRectF>

#include <optional>

#include "analysis/RiskGraph.h"
#include "optionpage/PlotView.h"

class QMouseEvent;
class QWheelEvent;

namespace kestrava {

class RiskView : public PlotView {
    Q_OBJECT
public:
    explicit RiskView(const LocaleInfo& locale, QWidget* parent = nullptr);

    void ShowGraph(const RiskGraph& graph);
    const RiskGraph& Graph() const { return graph_; }

    // The range from to to zoomed by factor (below 1 closer) around the
    // price at, or moved by, kept above 0.
    static RiskSpan Zoomed(RiskSpan span, double at, double factor);
    static RiskSpan Moved(RiskSpan span, double by);

signals:
    // The user zoomed or moved the graph: it is wanted from `from` to `to`.
    void rangeWanted(double from, double to);
    // A double-click: the graph is wanted on the legs' range again.
    void rangeReset();

protected:
    void Draw(QPainter& painter, const QRectF& area) const override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    RiskSpan Shown() const;
    // The price at x in the plot area as last drawn.
    double PriceAt(double x) const;

    RiskGraph graph_;
    mutable QRectF plotArea_;
    std::optional<QPointF> dragFrom_;
    RiskSpan dragSpan_;
};

}  // namespace kestrava
