#pragma once
// The volatility smile of one expiry, drawn at the widget's size and the
// screen's pixel ratio whenever it is painted, so it follows every resize
// and stays sharp on a scaled screen.

#include <QWidget>

#include "analysis/Smile.h"
#include "common/localeinfo.h"

namespace kestrava {

class SmileView : public QWidget {
    Q_OBJECT
public:
    explicit SmileView(const LocaleInfo& locale, QWidget* parent = nullptr);

    // Takes the expiry's solved volatilities (a copy) and repaints: after a
    // calculation, a quote load or a change of expiry.
    void ShowSmile(const TInOutObj& expiry);
    const SmileData& Smile() const { return smile_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LocaleInfo locale_;
    SmileData smile_;
};

}  // namespace kestrava
