#include "optionpage/PlotView.h"

#include <QPainter>

namespace kestrava {

PlotView::PlotView(const QString& name, QSize preferred, const LocaleInfo& locale, QWidget* parent)
    : QWidget(parent), locale_(locale), preferred_(preferred)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PlotView::minimumSizeHint() const
{
    return {200, 120};
}

void PlotView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Draw(painter, QRectF(rect()));
}

}  // namespace kestrava
