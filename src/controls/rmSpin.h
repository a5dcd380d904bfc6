#pragma once
// The integer and floating-point spin edits of the input bar and the dialogs.
//
// The value lives in the text. Reading Value parses the text, and gives
// MinValue when it does not parse; writing Value writes the text of the value
// brought into the range by CheckValue, and like any text change it fires
// changed(). Forms set MaxValue before a positive MinValue: each bound is only
// accepted when it keeps MinValue <= MaxValue, and neither clamps the text.

#include <optional>

#include "controls/rmCustomSpinEdit.h"

namespace kestrava {

class TrmSpinEdit : public TrmCustomSpinEdit {
    Q_OBJECT
public:
    explicit TrmSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Increment() const { return increment_; }
    void SetIncrement(int increment) { increment_ = increment; }

    int Value() const;
    void SetValue(int value);

    // With UseRanges on: v clamped to MinValue..MaxValue, the up button
    // enabled exactly when v < MaxValue and the down button when v > MinValue.
    // With it off: v, and both buttons enabled.
    int CheckValue(int value);
    void ReapplyRange() override;

protected:
    void DownClick() override;
    void UpClick() override;
    void CheckRangeOnExit() override;

private:
    std::optional<int> ParsedText() const;

    int minValue_ = 0;
    int maxValue_ = 0;
    int increment_ = 1;
};

class TrmFloatSpinEdit : public TrmCustomSpinEdit {
    Q_OBJECT
public:
    // Two decimals always, the locale's decimal separator.
    static constexpr const char* kPicture = "#######0.00";

    explicit TrmFloatSpinEdit(QWidget* parent = nullptr);

    double MinValue() const { return minValue_; }
    void SetMinValue(double value);
    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double value);
    double Increment() const { return increment_; }
    void SetIncrement(double increment) { increment_ = increment; }

    double Value() const;
    // Not-a-number and infinities are ignored: the text stays as it is.
    void SetValue(double value);

    double CheckValue(double value);
    void ReapplyRange() override;

protected:
    void DownClick() override;
    void UpClick() override;
    void CheckRangeOnExit() override;

private:
    std::optional<double> ParsedText() const;

    double minValue_ = 0;
    double maxValue_ = 0;
    double increment_ = 1.0;
};

}  // namespace kestrava
