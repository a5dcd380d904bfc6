#pragma once
// A single-line text box with an up/down button pair at its right edge. The
// value lives in the text; the integer and floating-point edits (rmSpin.h)
// say how it is read, written, stepped and kept in its range.

#include <QClipboard>
#include <QLineEdit>

namespace kestrava {

class TrmSpinButton;

class TrmCustomSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TrmCustomSpinEdit(QWidget* parent = nullptr);

    TrmSpinButton* Button() const { return button_; }

    // Off at creation. Writing it re-applies the range to the current value.
    bool UseRanges() const { return useRanges_; }
    void SetUseRanges(bool on);

    // With the editor off the text can only change through the buttons, the
    // arrow keys and code.
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool on) { editorEnabled_ = on; }

    // Read-only: stepping beeps instead; typing, pasting and cutting are refused.
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }

    // Select the whole text when the focus comes in (not while the left mouse
    // button is held, so a click can still place the cursor). On at creation.
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool on) { autoSelect_ = on; }

    // The most characters the user may type or paste; 0 for no limit. Texts
    // written from code are never cut short.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = qMax(0, length); }

    // The locale's decimal separator, taken from the system at creation.
    QChar DecimalSeparator() const { return decimalSeparator_; }
    void SetDecimalSeparator(QChar separator) { decimalSeparator_ = separator; }

    // What the up button, the Up Arrow key and the down button, the Down
    // Arrow key do: beep when read-only, nothing when that button is
    // disabled, else step the value and select the text.
    void Up();
    void Down();

    // "+", "-", the digits, the decimal separator and control characters
    // other than carriage return; with the editor off only control characters
    // other than backspace.
    virtual bool IsValidChar(QChar c) const;

    // Value := CheckValue(Value).
    virtual void ReapplyRange() = 0;

    QSize minimumSizeHint() const override;

signals:
    // The text really changed: by typing, by the buttons or from code.
    void changed();

protected:
    virtual void DownClick() = 0;
    virtual void UpClick() = 0;
    // Runs when the focus leaves for another control: brings the text into
    // the range.
    virtual void CheckRangeOnExit() = 0;

    void SetButtonStates(bool upEnabled, bool downEnabled);
    static void Beep();

    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool PasteAllowed() const { return editorEnabled_ && !isReadOnly(); }
    bool FitsMaxLength(qsizetype insertedLength) const;
    bool AcceptsInsert(const QString& inserted) const;
    void PasteChecked(QClipboard::Mode mode);
    void LayoutButton();

    TrmSpinButton* button_;
    QString lastText_;
    QChar decimalSeparator_;
    int maxLength_ = 0;
    bool useRanges_ = false;
    bool editorEnabled_ = true;
    bool autoSelect_ = true;
    bool leftWithWindow_ = false;  // the focus went with the window, not to another control
};

}  // namespace kestrava
