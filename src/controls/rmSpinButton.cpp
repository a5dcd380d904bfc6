#include "controls/rmSpinButton.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>

namespace kestrava {

namespace {

QPointer<QTimer> sharedRepeatTimer;
QPointer<TrmTimerSpeedButton> repeatingButton;

}  // namespace

TrmTimerSpeedButton::TrmTimerSpeedButton(Arrow arrow, QWidget* parent)
    : QAbstractButton(parent), arrow_(arrow)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setObjectName(arrow == Arrow::Up ? QStringLiteral("upButton") : QStringLiteral("downButton"));
}

QSize TrmTimerSpeedButton::sizeHint() const
{
    const int width = TrmSpinButton::DefaultWidth(fontMetrics());
    return {width, fontMetrics().height() / 2 + 2};
}

QTimer* TrmTimerSpeedButton::RepeatTimer()
{
    if (!sharedRepeatTimer) {
        // Owned by the application, so it goes when the last window has gone.
        sharedRepeatTimer = new QTimer(QCoreApplication::instance());
        QObject::connect(sharedRepeatTimer, &QTimer::timeout, &TrmTimerSpeedButton::RepeatTimerExpired);
    }
    return sharedRepeatTimer;
}

void TrmTimerSpeedButton::RepeatTimerExpired()
{
    TrmTimerSpeedButton* button = repeatingButton;
    // A button that was released, disabled (its end of the range reached) or
    // left by the mouse while held stops repeating.
    if (!button || !button->isDown() || !button->isEnabled()) {
        sharedRepeatTimer->stop();
        repeatingButton = nullptr;
        return;
    }
    sharedRepeatTimer->setInterval(kRepeatMs);
    button->Repeat();
}

void TrmTimerSpeedButton::Repeat()
{
    repeated_ = true;
    emit clicked(false);
}

void TrmTimerSpeedButton::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !isDown())
        return;
    repeated_ = false;
    repeatingButton = this;
    RepeatTimer()->start(kFirstRepeatMs);
}

void TrmTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && repeatingButton == this) {
        sharedRepeatTimer->stop();
        repeatingButton = nullptr;
    }
    if (event->button() == Qt::LeftButton && repeated_) {
        // The repetitions were the clicks: releasing must not step once more
        // past the value the user let go at.
        repeated_ = false;
        setDown(false);
        emit released();
        event->accept();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void TrmTimerSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    QColor background = pal.color(QPalette::Button);
    if (isDown())
        background = background.darker(118);
    else if (underMouse() && isEnabled())
        background = background.lighter(104);
    painter.fillRect(rect(), background);

    // Flat look: a separating line on the left and between the two buttons.
    painter.setPen(pal.color(QPalette::Mid));
    painter.drawLine(0, 0, 0, height() - 1);
    if (arrow_ == Arrow::Up)
        painter.drawLine(0, height() - 1, width() - 1, height() - 1);

    // The arrow grows with the button: a 45-degree triangle of `rows` pixel
    // rows. At a device pixel ratio of 1 it is filled row by row, crisp like
    // the classic glyph; on high-DPI screens it is a smooth path.
    const int rows = qMax(2, qRound(qMin(width() * 0.2, height() * 0.36)));
    const int shift = isDown() ? 1 : 0;
    const int base = 2 * rows - 1;
    const int usableHeight = arrow_ == Arrow::Up ? height() - 1 : height();
    const int left = (width() + 1 - base) / 2 + shift;
    const int top = (usableHeight - rows) / 2 + shift;
    const QColor glyph = pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    if (devicePixelRatioF() <= 1.0) {
        for (int r = 0; r < rows; ++r) {
            const int half = arrow_ == Arrow::Up ? r : rows - 1 - r;
            painter.fillRect(left + rows - 1 - half, top + r, 2 * half + 1, 1, glyph);
        }
    } else {
        const qreal apexX = left + base / 2.0;
        const qreal apexY = arrow_ == Arrow::Up ? top : top + rows;
        const qreal baseY = arrow_ == Arrow::Up ? top + rows : top;
        QPainterPath path;
        path.moveTo(left, baseY);
        path.lineTo(left + base, baseY);
        path.lineTo(apexX, apexY);
        path.closeSubpath();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(path, glyph);
    }

    const auto* pair = qobject_cast<const TrmSpinButton*>(parentWidget());
    if (pair && pair->hasFocus() && pair->FocusButton() == this) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3).translated(shift, shift);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

TrmSpinButton::TrmSpinButton(QWidget* parent)
    : QWidget(parent),
      up_(new TrmTimerSpeedButton(TrmTimerSpeedButton::Arrow::Up, this)),
      down_(new TrmTimerSpeedButton(TrmTimerSpeedButton::Arrow::Down, this)),
      focusButton_(up_)
{
    setFocusPolicy(Qt::TabFocus);
    setMinimumWidth(kMinWidth);
    connect(up_, &QAbstractButton::clicked, this, &TrmSpinButton::upClicked);
    connect(down_, &QAbstractButton::clicked, this, &TrmSpinButton::downClicked);
    connect(up_, &QAbstractButton::pressed, this, [this] { ButtonPressed(up_); });
    connect(down_, &QAbstractButton::pressed, this, [this] { ButtonPressed(down_); });
    resize(DefaultWidth(fontMetrics()), 2 * up_->sizeHint().height());
}

int TrmSpinButton::DefaultWidth(const QFontMetrics& metrics)
{
    return qMax(kMinWidth, (20 * metrics.height() + 8) / 16);
}

QSize TrmSpinButton::sizeHint() const
{
    return {DefaultWidth(fontMetrics()), 2 * up_->sizeHint().height()};
}

void TrmSpinButton::ButtonPressed(TrmTimerSpeedButton* button)
{
    if (focusButton_ != button) {
        focusButton_ = button;
        update();
    }
    QWidget* target = focusControl_ ? focusControl_.data() : this;
    if (!target->hasFocus() && target->isEnabled() && (target->focusPolicy() & Qt::ClickFocus))
        target->setFocus(Qt::MouseFocusReason);
}

void TrmSpinButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        up_->click();
        break;
    case Qt::Key_Down:
        down_->click();
        break;
    case Qt::Key_Space:
        focusButton_->click();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrmSpinButton::resizeEvent(QResizeEvent*)
{
    LayoutButtons();
}

void TrmSpinButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    focusButton_->update();
}

void TrmSpinButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    focusButton_->update();
}

void TrmSpinButton::LayoutButtons()
{
    const int upHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upHeight);
    down_->setGeometry(0, upHeight, width(), height() - upHeight);
}

}  // namespace kestrava
