#pragma once
// A widget that draws one plot at its own size and the screen's pixel ratio
// whenever it is painted, so it follows every resize and stays sharp on a
// scaled screen. Each plot says how it is drawn and what size it prefers.

#include <QRectF>
#include <QSize>
#include <QWidget>

#include "common/localeinfo.h"

class QPainter;

namespace kestrava {

class PlotView : public QWidget {
public:
    PlotView(const QString& name, QSize preferred, const LocaleInfo& locale, QWidget* parent);

    QSize sizeHint() const override { return preferred_; }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    virtual void Draw(QPainter& painter, const QRectF& area) const = 0;

    LocaleInfo locale_;

private:
    QSize preferred_;
};

}  // namespace kestrava
