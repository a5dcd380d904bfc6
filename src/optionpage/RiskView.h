#pragma once
// A position's risk graph.

#include "analysis/RiskGraph.h"
#include "optionpage/PlotView.h"

namespace kestrava {

class RiskView : public PlotView {
    Q_OBJECT
public:
    explicit RiskView(const LocaleInfo& locale, QWidget* parent = nullptr);

    void ShowGraph(const RiskGraph& graph);
    const RiskGraph& Graph() const { return graph_; }

protected:
    void Draw(QPainter& painter, const QRectF& area) const override;

private:
    RiskGraph graph_;
};

}  // namespace kestrava
