#include "controls/rmSpin.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "common/numformat.h"

namespace kestrava {

namespace {

int SaturatedSum(int a, long long b)
{
    const long long sum = static_cast<long long>(a) + b;
    if (sum > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (sum < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(sum);
}

// A number in the locale's format: an optional sign, digits with at most one
// decimal separator, an optional exponent. Not-a-number, infinities and
// values beyond the double range do not parse.
std::optional<double> ParseLocaleFloat(const QString& text, QChar decimalSeparator)
{
    QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'+') && trimmed.size() > 1 && trimmed[1] != u'-' && trimmed[1] != u'+')
        trimmed.remove(0, 1);
    std::string plain;
    plain.reserve(static_cast<std::size_t>(trimmed.size()));
    for (const QChar c : trimmed) {
        if (c == decimalSeparator)
            plain += '.';
        else if (c == u'.' || c.unicode() > 0x7f)
            return std::nullopt;
        else
            plain += static_cast<char>(c.unicode());
    }
    double value = 0;
    const char* end = plain.data() + plain.size();
    const auto [stop, error] = std::from_chars(plain.data(), end, value);
    if (plain.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

// ---- TrmSpinEdit ----

TrmSpinEdit::TrmSpinEdit(QWidget* parent) : TrmCustomSpinEdit(parent)
{
}

void TrmSpinEdit::SetMinValue(int value)
{
    if (value > maxValue_)
        return;
    minValue_ = value;
    CheckValue(Value());
}

void TrmSpinEdit::SetMaxValue(int value)
{
    if (value < minValue_)
        return;
    maxValue_ = value;
    CheckValue(Value());
}

std::optional<int> TrmSpinEdit::ParsedText() const
{
    bool ok = false;
    const int value = text().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int TrmSpinEdit::Value() const
{
    return ParsedText().value_or(minValue_);
}

void TrmSpinEdit::SetValue(int value)
{
    setText(QString::number(CheckValue(value)));
}

int TrmSpinEdit::CheckValue(int value)
{
    if (!UseRanges()) {
        SetButtonStates(true, true);
        return value;
    }
    SetButtonStates(value<maxValue_, value> minValue_);
    return value < minValue_ ? minValue_ : value > maxValue_ ? maxValue_ : value;
}

void TrmSpinEdit::ReapplyRange()
{
    SetValue(CheckValue(Value()));
}

void TrmSpinEdit::UpClick()
{
    SetValue(SaturatedSum(Value(), increment_));
    selectAll();
}

void TrmSpinEdit::DownClick()
{
    SetValue(SaturatedSum(Value(), -static_cast<long long>(increment_)));
    selectAll();
}

void TrmSpinEdit::CheckRangeOnExit()
{
    // A text that does not parse counts as MinValue: show that, rather than
    // leave a text on screen that is not the value in use.
    const int value = Value();
    if (CheckValue(value) != value || !ParsedText())
        SetValue(value);
}

// ---- TrmFloatSpinEdit ----

TrmFloatSpinEdit::TrmFloatSpinEdit(QWidget* parent) : TrmCustomSpinEdit(parent)
{
}

void TrmFloatSpinEdit::SetMinValue(double value)
{
    if (!(value <= maxValue_))
        return;
    minValue_ = value;
    CheckValue(Value());
}

void TrmFloatSpinEdit::SetMaxValue(double value)
{
    if (!(value >= minValue_))
        return;
    maxValue_ = value;
    CheckValue(Value());
}

std::optional<double> TrmFloatSpinEdit::ParsedText() const
{
    return ParseLocaleFloat(text(), DecimalSeparator());
}

double TrmFloatSpinEdit::Value() const
{
    return ParsedText().value_or(minValue_);
}

void TrmFloatSpinEdit::SetValue(double value)
{
    if (!std::isfinite(value))
        return;
    QString shown = QString::fromStdString(FormatFloat(kPicture, CheckValue(value)));
    shown.replace(u'.', DecimalSeparator());
    setText(shown);
}

double TrmFloatSpinEdit::CheckValue(double value)
{
    if (!UseRanges()) {
        SetButtonStates(true, true);
        return value;
    }
    SetButtonStates(value<maxValue_, value> minValue_);
    return value < minValue_ ? minValue_ : value > maxValue_ ? maxValue_ : value;
}

void TrmFloatSpinEdit::ReapplyRange()
{
    SetValue(CheckValue(Value()));
}

void TrmFloatSpinEdit::UpClick()
{
    SetValue(Value() + increment_);
    selectAll();
}

void TrmFloatSpinEdit::DownClick()
{
    SetValue(Value() - increment_);
    selectAll();
}

void TrmFloatSpinEdit::CheckRangeOnExit()
{
    const double value = Value();
    if (CheckValue(value) != value || !ParsedText())
        SetValue(value);
}

}  // namespace kestrava
