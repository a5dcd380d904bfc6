#include "controls/rmCustomSpinEdit.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionFrame>

#include "controls/rmSpinButton.h"

namespace kestrava {

namespace {

bool IsControlChar(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

QChar SystemDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 ? point.front() : QLatin1Char('.');
}

// Keys that change the text without typing a character.
bool IsEditingKey(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    for (const QKeySequence::StandardKey key :
         {QKeySequence::Undo, QKeySequence::Redo, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord, QKeySequence::DeleteCompleteLine}) {
        if (event->matches(key))
            return true;
    }
    return false;
}

// Whether the line edit would insert the event's text: Ctrl and Ctrl+Shift
// combinations are shortcuts, whatever text they carry; Ctrl+Alt (AltGr) types.
bool InsertsText(const QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.isEmpty() || IsControlChar(typed.front()))
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return modifiers != Qt::ControlModifier && modifiers != (Qt::ControlModifier | Qt::ShiftModifier)
           && !(modifiers & Qt::MetaModifier);
}

}  // namespace

TrmCustomSpinEdit::TrmCustomSpinEdit(QWidget* parent)
    : QLineEdit(parent), button_(new TrmSpinButton(this)), decimalSeparator_(SystemDecimalSeparator())
{
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    button_->SetFocusControl(this);
    connect(button_, &TrmSpinButton::upClicked, this, &TrmCustomSpinEdit::Up);
    connect(button_, &TrmSpinButton::downClicked, this, &TrmCustomSpinEdit::Down);

    // Dropped text would slip past the character check.
    setAcceptDrops(false);
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    setText(QStringLiteral("0"));
    lastText_ = text();
    connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
        if (now == lastText_)
            return;
        lastText_ = now;
        emit changed();
    });
    LayoutButton();
}

void TrmCustomSpinEdit::SetUseRanges(bool on)
{
    useRanges_ = on;
    ReapplyRange();
}

void TrmCustomSpinEdit::Up()
{
    if (isReadOnly()) {
        Beep();
        return;
    }
    if (!button_->UpButton()->isEnabledTo(button_))
        return;
    UpClick();
}

void TrmCustomSpinEdit::Down()
{
    if (isReadOnly()) {
        Beep();
        return;
    }
    if (!button_->DownButton()->isEnabledTo(button_))
        return;
    DownClick();
}

bool TrmCustomSpinEdit::IsValidChar(QChar c) const
{
    if (!editorEnabled_)
        return IsControlChar(c) && c != u'\b';
    if (IsControlChar(c))
        return c != u'\r';
    return c == u'+' || c == u'-' || (c >= u'0' && c <= u'9') || c == decimalSeparator_;
}

void TrmCustomSpinEdit::SetButtonStates(bool upEnabled, bool downEnabled)
{
    button_->UpButton()->setEnabled(upEnabled);
    button_->DownButton()->setEnabled(downEnabled);
}

void TrmCustomSpinEdit::Beep()
{
    QApplication::beep();
}

bool TrmCustomSpinEdit::FitsMaxLength(qsizetype insertedLength) const
{
    return maxLength_ == 0 || text().size() - selectedText().size() + insertedLength <= maxLength_;
}

// Text that arrives whole (pasted, or composed by an input method) passes
// the same checks as typed characters.
bool TrmCustomSpinEdit::AcceptsInsert(const QString& inserted) const
{
    return PasteAllowed() && FitsMaxLength(inserted.size())
           && std::all_of(inserted.begin(), inserted.end(),
                          [this](QChar c) { return !IsControlChar(c) && IsValidChar(c); });
}

void TrmCustomSpinEdit::PasteChecked(QClipboard::Mode mode)
{
    const QString pasted = QGuiApplication::clipboard()->text(mode).trimmed();
    if (!AcceptsInsert(pasted)) {
        Beep();
        return;
    }
    insert(pasted);
}

void TrmCustomSpinEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !AcceptsInsert(event->commitString())) {
        Beep();
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void TrmCustomSpinEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        key == Qt::Key_Up ? Up() : Down();
        event->accept();
        return;
    }
    // Enter never goes into the text; passed on, it still reaches the
    // dialog's default button.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        PasteChecked(QClipboard::Clipboard);
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut) && !PasteAllowed()) {
        Beep();
        event->accept();
        return;
    }
    if (!editorEnabled_ && IsEditingKey(event)) {
        Beep();
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool valid = std::all_of(typed.begin(), typed.end(), [this](QChar c) { return IsValidChar(c); });
    if (InsertsText(event)) {
        if (!valid || isReadOnly() || !FitsMaxLength(typed.size())) {
            Beep();
            event->accept();
            return;
        }
    } else if (!valid && std::all_of(typed.begin(), typed.end(), IsControlChar)) {
        Beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TrmCustomSpinEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Coming back from a context menu or from another window is not entering
    // the edit: the selection stays as the user left it. The focus that a
    // window hands its first control as it opens is entering it.
    const bool returning = event->reason() == Qt::PopupFocusReason
                           || (event->reason() == Qt::ActiveWindowFocusReason && leftWithWindow_);
    leftWithWindow_ = false;
    if (returning)
        return;
    if (autoSelect_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        selectAll();
    else if (!autoSelect_ && hasSelectedText())
        deselect();
}

void TrmCustomSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A context menu or another window taking over does not end the edit;
    // moving to another control does.
    leftWithWindow_ = event->reason() == Qt::ActiveWindowFocusReason;
    if (event->reason() != Qt::PopupFocusReason && !leftWithWindow_)
        CheckRangeOnExit();
}

void TrmCustomSpinEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the selection on X11: the same checks apply.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        PasteChecked(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TrmCustomSpinEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool editable = PasteAllowed();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == u"edit-paste") {
            // The stock action pastes unchecked; route it through the checks.
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] { PasteChecked(QClipboard::Clipboard); });
            action->setEnabled(editable && !QGuiApplication::clipboard()->text().isEmpty());
        } else if (name == u"edit-cut" || name == u"edit-delete" || name == u"edit-undo"
                   || name == u"edit-redo") {
            action->setEnabled(action->isEnabled() && editable);
        }
    }
    menu->popup(event->globalPos());
}

QSize TrmCustomSpinEdit::minimumSizeHint() const
{
    QSize size = QLineEdit::minimumSizeHint();
    size.setWidth(qMax(size.width(),
                       TrmSpinButton::DefaultWidth(fontMetrics()) + fontMetrics().averageCharWidth() * 3));
    return size;
}

void TrmCustomSpinEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    LayoutButton();
}

void TrmCustomSpinEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        LayoutButton();
}

void TrmCustomSpinEdit::LayoutButton()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect inner = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int width = TrmSpinButton::DefaultWidth(fontMetrics());
    button_->setGeometry(inner.right() + 1 - width, inner.top(), width, inner.height());
    // The text area ends one pixel left of the buttons.
    const QMargins margins = textMargins();
    if (margins.right() != width + 1)
        setTextMargins(margins.left(), margins.top(), width + 1, margins.bottom());
}

}  // namespace kestrava
