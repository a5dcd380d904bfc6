#pragma once
// A position's risk graph, drawn at the widget's size and the screen's
// pixel ratio whenever it is painted.

#include <QWidget>

#include "analysis/RiskGraph.h"
#include "common/localeinfo.h"

namespace kestrava {

class RiskView : public QWidget {
    Q_OBJECT
public:
    explicit RiskView(const LocaleInfo& locale, QWidget* parent = nullptr);

    void ShowGraph(const RiskGraph& graph);
    const RiskGraph& Graph() const { return graph_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LocaleInfo locale_;
    RiskGraph graph_;
};

}  // namespace kestrava
