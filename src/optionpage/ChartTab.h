#pragma once
// The picture of an option page's Chart tab. It fills the tab whatever the
// picture's size (it never holds the window to the size of its last
// picture), shows a picture drawn at the screen's pixel ratio sharp, and
// asks for a new one when it is shown at a size or ratio its picture was
// not drawn for.

#include <QLabel>

namespace kestrava {

class TChartImage : public QLabel {
    Q_OBJECT
public:
    explicit TChartImage(QWidget* parent = nullptr);

    // Shows picture (its own device pixel ratio kept); a null picture shows
    // a dark "No chart" picture of the widget's size instead.
    void ShowPicture(const QImage& picture);
    // True when the picture shown was not drawn for the widget's size and
    // pixel ratio.
    bool NeedsPicture() const;

signals:
    // Shown at a size or ratio the picture does not fit; emitted once the
    // events of the showing have run.
    void pictureWanted();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace kestrava
