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

PlotPrintout SmileView::Printout(const QString& symbol) const
{
    PlotPrintout printout;
    printout.jobName = printout.heading = symbol + QStringLiteral(" Volatility Smile");
    const SmileData smile = smile_;
    const LocaleInfo locale = locale_;
    printout.draw = [smile, locale](QPainter& painter, const QRectF& area, const PlotPalette& palette) {
        DrawSmile(painter, area, smile, locale, palette);
    };
    return printout;
}

void SmileView::Draw(QPainter& painter, const QRectF& area) const
{
    DrawSmile(painter, area, smile_, locale_);
}

}  // namespace kestrava
