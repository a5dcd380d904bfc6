#include "optionpage/SmileView.h"

#include "chart/SmilePlot.h"

namespace kestrava {

SmileView::SmileView(const LocaleInfo& locale, QWidget* parent)
    : PlotView(QStringLiteral("SmileView"), {800, 400}, locale, parent)
{
}

void SmileView::ShowSmile(const TInOutObj& expiry)
{
    smile_ = MakeSmileData(expiry);
    update();
}

void SmileView::Draw(QPainter& painter, const QRectF& area) const
{
    DrawSmile(painter, area, smile_, locale_);
}

}  // namespace kestrava
