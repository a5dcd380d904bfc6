#include "chainwindow/ChainPictureView.h"

#include <QPainter>

#include "chart/PlotFrame.h"

namespace kestrava {

ChainPictureView::ChainPictureView(const QString& name, Draw draw, QWidget* parent)
    : QWidget(parent), draw_(std::move(draw))
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize ChainPictureView::sizeHint() const
{
    const int unit = fontMetrics().height();
    return {unit * 50, unit * 24};
}

QSize ChainPictureView::minimumSizeHint() const
{
    const int unit = fontMetrics().height();
    return {unit * 16, unit * 8};
}

QImage ChainPictureView::Picture() const
{
    return PlotPicture(width(), height(), devicePixelRatioF(), draw_);
}

void ChainPictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw_(painter, QRectF(rect()));
}

}  // namespace kestrava
