#pragma once
// The volatility smile of one expiry.

#include "analysis/Smile.h"
#include "chart/PlotPrint.h"
#include "optionpage/PlotView.h"

namespace kestrava {

class SmileView : public PlotView {
    Q_OBJECT
public:
    explicit SmileView(const LocaleInfo& locale, QWidget* parent = nullptr);

    // Takes the expiry's solved volatilities (a copy) and repaints: after a
    // calculation, a quote load or a change of expiry.
    void ShowSmile(const TInOutObj& expiry);
    const SmileData& Smile() const { return smile_; }
    // The smile on paper, under the series' symbol.
    PlotPrintout Printout(const QString& symbol) const;

protected:
    void Draw(QPainter& painter, const QRectF& area) const override;

private:
    SmileData smile_;
};

}  // namespace kestrava
