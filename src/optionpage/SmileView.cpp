#include "optionpage/SmileView.h"

#include <QPainter>

#include "chart/SmilePlot.h"

namespace kestrava {

SmileView::SmileView(const LocaleInfo& locale, QWidget* parent) : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("SmileView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SmileView::ShowSmile(const TInOutObj& expiry)
{
    smile_ = MakeSmileData(expiry);
    update();
}

QSize SmileView::sizeHint() const
{
    return {800, 400};
}

QSize SmileView::minimumSizeHint() const
{
    return {200, 120};
}

void SmileView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawSmile(painter, QRectF(rect()), smile_, locale_);
}

}  // namespace kestrava
