#pragma once
// A widget that draws one picture at its own size whenever it is painted,
// so it follows every resize and stays sharp on a scaled screen.

#include <QWidget>

#include <functional>

namespace kestrava {

class ChainPictureView : public QWidget {
public:
    using Draw = std::function<void(QPainter&, const QRectF&)>;
    ChainPictureView(const QString& name, Draw draw, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The picture at the view's size and the screen's pixel ratio.
    QImage Picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Draw draw_;
};

}  // namespace kestrava
