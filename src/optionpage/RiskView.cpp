#include "optionpage/RiskView.h"

#include <QPainter>

#include "chart/RiskPlot.h"

namespace kestrava {

RiskView::RiskView(const LocaleInfo& locale, QWidget* parent) : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("RiskView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void RiskView::ShowGraph(const RiskGraph& graph)
{
    graph_ = graph;
    update();
}

QSize RiskView::sizeHint() const
{
    return {640, 320};
}

QSize RiskView::minimumSizeHint() const
{
    return {200, 120};
}

void RiskView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawRiskGraph(painter, QRectF(rect()), graph_, locale_);
}

}  // namespace kestrava
