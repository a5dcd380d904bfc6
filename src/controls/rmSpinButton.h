#pragma once
// The pair of small up/down buttons at the right edge of a spin edit, and the
// auto-repeating button it is made of.

#include <QAbstractButton>
#include <QPointer>

class QTimer;

namespace kestrava {

// A flat button with an arrow glyph. Held down with the left mouse button it
// clicks again and again: first after kFirstRepeatMs, then every kRepeatMs.
// One timer serves every such button of the program; only one button can be
// held at a time anyway.
class TrmTimerSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Arrow { Up, Down };

    static constexpr int kFirstRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

    explicit TrmTimerSpeedButton(Arrow arrow, QWidget* parent = nullptr);

    Arrow ArrowDirection() const { return arrow_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static QTimer* RepeatTimer();
    static void RepeatTimerExpired();
    void Repeat();

    Arrow arrow_;
    bool repeated_ = false;  // the timer clicked during the current press
};

// Two TrmTimerSpeedButtons stacked: the up button takes the upper half of the
// height (rounded down), the down button the rest.
class TrmSpinButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 15;

    explicit TrmSpinButton(QWidget* parent = nullptr);

    // 20 pixels for a 16-pixel line of text, growing with the font; never
    // below kMinWidth.
    static int DefaultWidth(const QFontMetrics& metrics);

    TrmTimerSpeedButton* UpButton() const { return up_; }
    TrmTimerSpeedButton* DownButton() const { return down_; }
    // The button that Space clicks when the pair has the focus.
    TrmTimerSpeedButton* FocusButton() const { return focusButton_; }

    // Pressing either button moves the focus here, when it can take it.
    void SetFocusControl(QWidget* control) { focusControl_ = control; }
    QWidget* FocusControl() const { return focusControl_; }

    QSize sizeHint() const override;

signals:
    void upClicked();
    void downClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ButtonPressed(TrmTimerSpeedButton* button);
    void LayoutButtons();

    TrmTimerSpeedButton* up_;
    TrmTimerSpeedButton* down_;
    TrmTimerSpeedButton* focusButton_;
    QPointer<QWidget> focusControl_;
};

}  // namespace kestrava
