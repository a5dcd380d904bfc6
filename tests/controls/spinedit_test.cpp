#include <climits>
#include <memory>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"

using namespace kestrava;

namespace {

// A window with the edit under test and a plain box to move the focus to.
struct Form {
    QWidget window;
    QLineEdit* other;

    Form() : other(new QLineEdit(&window)) { new QVBoxLayout(&window); }

    template <typename Edit>
    Edit* Add(Edit* edit)
    {
        edit->setParent(&window);
        window.layout()->addWidget(edit);
        window.layout()->addWidget(other);
        return edit;
    }

    bool Show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

// seSigDays of the option page: 1..250, step 1, 90.
TrmSpinEdit* DaysEdit()
{
    auto* edit = new TrmSpinEdit;
    edit->SetMaxValue(250);
    edit->SetMinValue(1);
    edit->SetIncrement(1);
    edit->SetMaxLength(3);
    edit->SetUseRanges(true);
    edit->SetValue(90);
    return edit;
}

// fseUlying: 0.001..100000, step 1, 100, at most 6 characters typed.
TrmFloatSpinEdit* PriceEdit(QChar separator)
{
    auto* edit = new TrmFloatSpinEdit;
    edit->SetDecimalSeparator(separator);
    edit->SetMaxValue(100000.0);
    edit->SetMinValue(0.001);
    edit->SetMaxLength(6);
    edit->SetUseRanges(true);
    edit->SetValue(100.0);
    return edit;
}

void Retype(QLineEdit* edit, const QString& keys)
{
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, keys);
}

QPoint Centre(QWidget* w)
{
    return w->rect().center();
}

}  // namespace

class SpinEditTest : public QObject {
    Q_OBJECT
private slots:
    void outOfRangeTextIsKeptUntilTheFocusLeaves();
    void textThatDoesNotParseReadsMinValue();
    void upIsDisabledAtMaxValue();
    void floatEditWritesTwoDecimalsInTheLocaleFormat();
    void boundsAreOnlyAcceptedInOrder();
    void refusedCharactersLeaveTheTextAlone();
    void editorDisabledAndReadOnly();
    void pasteIsChecked();
    void enteringSelectsTheText();
    void openingTheWindowEntersItsFirstEdit();
    void changedFiresOnRealChangesOnly();
    void buttonsStepFocusAndFollowTheEdit();
    void holdingAButtonRepeats();
    void integerStepsSaturate();
    void typedTextStaysClearOfTheButtons();
    void buttonWidthFollowsTheFont();
};

void SpinEditTest::outOfRangeTextIsKeptUntilTheFocusLeaves()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());

    Retype(edit, QStringLiteral("300"));
    QCOMPARE(edit->text(), QStringLiteral("300"));
    QCOMPARE(edit->Value(), 300);
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(form.other->hasFocus());
    QCOMPARE(edit->text(), QStringLiteral("250"));
    QCOMPARE(edit->Value(), 250);

    // Writing UseRanges applies the range at once.
    edit->SetUseRanges(false);
    edit->setText(QStringLiteral("0"));
    edit->SetUseRanges(true);
    QCOMPARE(edit->text(), QStringLiteral("1"));
}

void SpinEditTest::textThatDoesNotParseReadsMinValue()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());

    Retype(edit, QString());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString());
    QCOMPARE(edit->Value(), 1);

    // The integer edit takes the decimal separator as a keystroke too.
    edit->SetDecimalSeparator(u',');
    Retype(edit, QStringLiteral("7,5"));
    QCOMPARE(edit->text(), QStringLiteral("7,5"));
    QCOMPARE(edit->Value(), 1);
    // Leaving shows the value in use.
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(edit->text(), QStringLiteral("1"));

    std::unique_ptr<TrmFloatSpinEdit> price(PriceEdit(u'.'));
    for (const QString& bad :
         {QStringLiteral("abc"), QStringLiteral("1e400"), QStringLiteral("nan"), QStringLiteral("inf"),
          QStringLiteral("-"), QStringLiteral("1,5"), QStringLiteral("1.2.3")}) {
        price->setText(bad);
        QCOMPARE(price->Value(), 0.001);
    }
    price->setText(QStringLiteral(" +2.5 "));
    QCOMPARE(price->Value(), 2.5);
}

void SpinEditTest::upIsDisabledAtMaxValue()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    TrmSpinButton* pair = edit->Button();

    edit->SetValue(250);
    QVERIFY(!pair->UpButton()->isEnabled());
    QVERIFY(pair->DownButton()->isEnabled());
    QSignalSpy spy(edit, &TrmCustomSpinEdit::changed);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Up);
    QTest::mouseClick(pair->UpButton(), Qt::LeftButton, {}, Centre(pair->UpButton()));
    QCOMPARE(edit->text(), QStringLiteral("250"));
    QCOMPARE(spy.count(), 0);

    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QStringLiteral("249"));
    QCOMPARE(edit->selectedText(), QStringLiteral("249"));
    QVERIFY(pair->UpButton()->isEnabled());

    // Steps past the end stop at it.
    edit->SetIncrement(10);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->Value(), 250);
    edit->SetValue(5);
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->Value(), 1);
    QVERIFY(!pair->DownButton()->isEnabled());
}

void SpinEditTest::floatEditWritesTwoDecimalsInTheLocaleFormat()
{
    Form form;
    TrmFloatSpinEdit* price = form.Add(PriceEdit(u'.'));
    QVERIFY(form.Show());

    price->SetValue(12.3456);
    QCOMPARE(price->text(), QStringLiteral("12.35"));
    QCOMPARE(price->Value(), 12.35);
    // Texts written from code are never cut to MaxLength.
    price->SetValue(100000.0);
    QCOMPARE(price->text(), QStringLiteral("100000.00"));
    QVERIFY(!price->Button()->UpButton()->isEnabled());

    price->SetDecimalSeparator(u',');
    price->SetValue(12.3456);
    QCOMPARE(price->text(), QStringLiteral("12,35"));
    QCOMPARE(price->Value(), 12.35);
    Retype(price, QStringLiteral("1.5"));  // "." is not this locale's separator
    QCOMPARE(price->text(), QStringLiteral("15"));
    Retype(price, QStringLiteral("1,5"));
    QCOMPARE(price->Value(), 1.5);

    // fseRate: 0.05..50 in steps of 0.1.
    std::unique_ptr<TrmFloatSpinEdit> rate(new TrmFloatSpinEdit);
    rate->SetDecimalSeparator(u'.');
    rate->SetMaxValue(50.0);
    rate->SetMinValue(0.05);
    rate->SetIncrement(0.1);
    rate->SetUseRanges(true);
    rate->SetValue(0.15);
    rate->Down();
    QCOMPARE(rate->text(), QStringLiteral("0.05"));
    QVERIFY(!rate->Button()->DownButton()->isEnabled());
    rate->SetValue(49.95);
    rate->Up();
    QCOMPARE(rate->text(), QStringLiteral("50.00"));
    QVERIFY(!rate->Button()->UpButton()->isEnabled());
    rate->SetValue(qQNaN());
    QCOMPARE(rate->text(), QStringLiteral("50.00"));
}

void SpinEditTest::boundsAreOnlyAcceptedInOrder()
{
    TrmSpinEdit fresh;
    fresh.SetMinValue(5);  // above MaxValue 0: ignored
    QCOMPARE(fresh.MinValue(), 0);
    fresh.SetMaxValue(10);
    fresh.SetMinValue(5);
    QCOMPARE(fresh.MinValue(), 5);
    fresh.SetMaxValue(3);  // below MinValue: ignored
    QCOMPARE(fresh.MaxValue(), 10);
    QCOMPARE(fresh.text(), QStringLiteral("0"));  // the bounds do not clamp the text

    TrmFloatSpinEdit freshFloat;
    freshFloat.SetMinValue(0.001);
    QCOMPARE(freshFloat.MinValue(), 0.0);
    freshFloat.SetMaxValue(100000.0);
    freshFloat.SetMinValue(0.001);
    QCOMPARE(freshFloat.MinValue(), 0.001);
}

void SpinEditTest::refusedCharactersLeaveTheTextAlone()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    edit->SetDecimalSeparator(u'.');

    Retype(edit, QStringLiteral("a1 x2"));
    QCOMPARE(edit->text(), QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), QStringLiteral("12"));
    QTest::keyClicks(edit, QStringLiteral("34"));  // MaxLength 3
    QCOMPARE(edit->text(), QStringLiteral("123"));
    Retype(edit, QStringLiteral("-+."));
    QCOMPARE(edit->text(), QStringLiteral("-+."));

    QVERIFY(!edit->IsValidChar(u'\r'));
    QVERIFY(edit->IsValidChar(u'\b'));
    QVERIFY(!edit->IsValidChar(u'e'));
}

void SpinEditTest::editorDisabledAndReadOnly()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    QSignalSpy spy(edit, &TrmCustomSpinEdit::changed);

    edit->SetEditorEnabled(false);
    Retype(edit, QStringLiteral("5"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("90"));
    QVERIFY(!edit->IsValidChar(u'\b'));
    QVERIFY(edit->IsValidChar(QChar(3)));  // Ctrl+C still copies
    QTest::keyClick(edit, Qt::Key_Up);     // the buttons and arrows still step
    QCOMPARE(edit->text(), QStringLiteral("91"));
    QCOMPARE(spy.count(), 1);

    edit->SetEditorEnabled(true);
    edit->SetReadOnly(true);
    Retype(edit, QStringLiteral("5"));
    QTest::keyClick(edit, Qt::Key_Up);
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::mouseClick(edit->Button()->DownButton(), Qt::LeftButton, {}, Centre(edit->Button()->DownButton()));
    QCOMPARE(edit->text(), QStringLiteral("91"));
    QCOMPARE(spy.count(), 1);
}

void SpinEditTest::pasteIsChecked()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    QClipboard* clipboard = QGuiApplication::clipboard();

    clipboard->setText(QStringLiteral("42"));
    edit->SetEditorEnabled(false);
    Retype(edit, QString());
    QTest::keySequence(edit, QKeySequence::Paste);
    QTest::keySequence(edit, QKeySequence::Cut);
    QCOMPARE(edit->text(), QStringLiteral("90"));

    edit->SetEditorEnabled(true);
    edit->SetReadOnly(true);
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), QStringLiteral("90"));

    edit->SetReadOnly(false);
    clipboard->setText(QStringLiteral("4x2"));
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), QStringLiteral("90"));
    clipboard->setText(QStringLiteral("1234"));  // longer than MaxLength 3
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), QStringLiteral("90"));
    clipboard->setText(QStringLiteral(" 42\n"));
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), QStringLiteral("42"));
    edit->selectAll();
    QTest::keySequence(edit, QKeySequence::Cut);
    QCOMPARE(edit->text(), QString());

    // Text composed by an input method is checked like pasted text.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("4e"));
    QApplication::sendEvent(edit, &composed);
    QCOMPARE(edit->text(), QString());
    composed.setCommitString(QStringLiteral("45"));
    QApplication::sendEvent(edit, &composed);
    QCOMPARE(edit->text(), QStringLiteral("45"));
}

void SpinEditTest::enteringSelectsTheText()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());

    form.other->setFocus();
    edit->setFocus(Qt::OtherFocusReason);
    QCOMPARE(edit->selectedText(), QStringLiteral("90"));

    // A click places the cursor instead.
    form.other->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->Button()->x() - 4, edit->height() / 2));
    QVERIFY(edit->hasFocus());
    QVERIFY(!edit->hasSelectedText());

    edit->SetAutoSelect(false);
    form.other->setFocus();
    QTest::keyClick(form.other, Qt::Key_Backtab);
    QVERIFY(edit->hasFocus());
    QVERIFY(!edit->hasSelectedText());
}

void SpinEditTest::openingTheWindowEntersItsFirstEdit()
{
    // The first edit of a window takes the focus as the window opens: that
    // is entering it, so typing replaces the value instead of adding to it.
    QWidget window;
    TrmFloatSpinEdit* edit = PriceEdit(u'.');
    edit->setParent(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(new QLineEdit(&window));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), QStringLiteral("100.00"));
    QTest::keyClicks(edit, QStringLiteral("2"));
    QCOMPARE(edit->text(), QStringLiteral("2"));

    // Coming back from another window is not entering it: the cursor stays.
    edit->setText(QStringLiteral("25"));
    edit->setCursorPosition(1);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(edit->hasFocus());
    QVERIFY(!edit->hasSelectedText());
    QCOMPARE(edit->cursorPosition(), 1);
}

void SpinEditTest::changedFiresOnRealChangesOnly()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    QSignalSpy spy(edit, &TrmCustomSpinEdit::changed);

    edit->SetValue(90);  // the same text
    edit->setText(QStringLiteral("90"));
    QCOMPARE(spy.count(), 0);
    edit->SetValue(120);
    QCOMPARE(spy.count(), 1);
    edit->SetValue(999);  // clamped
    QCOMPARE(edit->text(), QStringLiteral("250"));
    QCOMPARE(spy.count(), 2);
    Retype(edit, QStringLiteral("2"));
    QCOMPARE(spy.count(), 3);
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(spy.count(), 4);
    QTest::keyClick(edit, Qt::Key_Down);  // at MinValue: no step
    QCOMPARE(spy.count(), 4);
    QTest::keyClick(edit, Qt::Key_Tab);  // 1 is in range: leaving writes nothing
    QCOMPARE(spy.count(), 4);
}

void SpinEditTest::buttonsStepFocusAndFollowTheEdit()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    TrmTimerSpeedButton* up = edit->Button()->UpButton();
    TrmTimerSpeedButton* down = edit->Button()->DownButton();

    form.other->setFocus();
    QTest::mouseClick(up, Qt::LeftButton, {}, Centre(up));
    QCOMPARE(edit->text(), QStringLiteral("91"));
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), QStringLiteral("91"));
    QTest::mouseClick(down, Qt::LeftButton, {}, Centre(down));
    QCOMPARE(edit->text(), QStringLiteral("90"));

    // The buttons go with the edit, and come back with their range state.
    edit->SetValue(250);
    edit->setEnabled(false);
    QVERIFY(!up->isEnabled());
    QVERIFY(!down->isEnabled());
    edit->setEnabled(true);
    QVERIFY(!up->isEnabled());
    QVERIFY(down->isEnabled());

    // The pair on its own: arrows click their button, Space the last pressed one.
    TrmSpinButton pair;
    QSignalSpy ups(&pair, &TrmSpinButton::upClicked);
    QSignalSpy downs(&pair, &TrmSpinButton::downClicked);
    QTest::keyClick(&pair, Qt::Key_Up);
    QTest::keyClick(&pair, Qt::Key_Space);
    QTest::keyClick(&pair, Qt::Key_Down);
    QCOMPARE(ups.count(), 2);
    QCOMPARE(downs.count(), 1);
}

void SpinEditTest::holdingAButtonRepeats()
{
    Form form;
    TrmSpinEdit* edit = form.Add(DaysEdit());
    QVERIFY(form.Show());
    TrmTimerSpeedButton* up = edit->Button()->UpButton();

    // The one repeat timer of the program's spin buttons, a child of the
    // application; none other is running.
    const auto repeating = [] {
        for (const QTimer* timer :
             QCoreApplication::instance()->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
            if (timer->isActive())
                return true;
        return false;
    };

    QTest::mousePress(up, Qt::LeftButton, {}, Centre(up));
    QTRY_VERIFY2(edit->Value() >= 92, qPrintable(QStringLiteral("value while held: %1").arg(edit->Value())));
    const int held = edit->Value();
    QTest::mouseRelease(up, Qt::LeftButton, {}, Centre(up));
    const int released = edit->Value();
    QVERIFY(released <= held + 1);
    // Releasing stops the repetition: no timer is left to click again.
    QVERIFY(!repeating());
    QCoreApplication::processEvents();
    QCOMPARE(edit->Value(), released);

    // Repeating stops at the end of the range, with the button disabled.
    edit->SetValue(248);
    QTest::mousePress(up, Qt::LeftButton, {}, Centre(up));
    QTRY_VERIFY(!up->isEnabled());
    QTRY_VERIFY(!repeating());
    QTest::mouseRelease(up, Qt::LeftButton, {}, Centre(up));
    QCOMPARE(edit->Value(), 250);
    QVERIFY(!up->isEnabled());
}

void SpinEditTest::integerStepsSaturate()
{
    TrmSpinEdit edit;  // no ranges
    edit.SetValue(INT_MAX);
    edit.Up();
    QCOMPARE(edit.Value(), INT_MAX);
    edit.SetValue(INT_MIN);
    edit.Down();
    QCOMPARE(edit.Value(), INT_MIN);
    edit.setText(QStringLiteral("99999999999"));
    QCOMPARE(edit.Value(), 0);
}

void SpinEditTest::typedTextStaysClearOfTheButtons()
{
    Form form;
    auto* edit = form.Add(new TrmSpinEdit);
    QVERIFY(form.Show());
    Retype(edit, QStringLiteral("123456789012345678901234567890"));
    edit->end(false);
    edit->repaint();  // the line edit scrolls its text when it paints
    const int cursorX = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    QVERIFY2(
        cursorX < edit->Button()->x(),
        qPrintable(QStringLiteral("cursor at %1, buttons from %2").arg(cursorX).arg(edit->Button()->x())));
    const QRect buttons = edit->Button()->geometry();
    QVERIFY(edit->rect().contains(buttons));
    QVERIFY(buttons.right() >= edit->width() - 4);
}

void SpinEditTest::buttonWidthFollowsTheFont()
{
    TrmSpinEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QFont font = edit.font();
    font.setPixelSize(4);
    edit.setFont(font);
    edit.resize(edit.sizeHint());
    QCOMPARE(edit.Button()->width(), TrmSpinButton::kMinWidth);

    font.setPixelSize(32);
    edit.setFont(font);
    edit.resize(edit.sizeHint());
    QVERIFY(edit.Button()->width() > 30);
    QVERIFY(edit.Button()->height() > 30);
    const int upHeight = edit.Button()->UpButton()->height();
    QCOMPARE(upHeight, edit.Button()->height() / 2);
    QCOMPARE(edit.Button()->DownButton()->y(), upHeight);
}

QTEST_MAIN(SpinEditTest)
#include "spinedit_test.moc"
