#include "optionpage/RiskView.h"

#include "chart/RiskPlot.h"

namespace kestrava {

RiskView::RiskView(const LocaleInfo& locale, QWidget* parent)
    : PlotView(QStringLiteral("RiskView"), {640, 320}, locale, parent)
{
}

void RiskView::ShowGraph(const RiskGraph& graph)
{
    graph_ = graph;
    update();
}

void RiskView::Draw(QPainter& painter, const QRectF& area) const
{
    DrawRiskGraph(painter, area, graph_, locale_);
}

}  // namespace kestrava
