#pragma once
// The number boxes of the setup dialog, read in one place: the page builds
// its series from them, and the dialog's OK button checks them first. The
// first box, in the dialog's order, that holds no usable value is named
// with the reason, so the dialog can stay open with the user's entries and
// put the focus there.

#include <optional>
#include <string>

#include "optionpage/PageInputs.h"

namespace kestrava {

enum class SetupBox { NumStrikes, FirstStrike, StrikeIncrement, DividendAmount, DividendYield };

struct SetupProblem {
    SetupBox box;
    std::string message;
};

// The values of the number boxes. An empty dividend box is 0; the dividend
// box that counts depends on the contract type (the amount for an equity,
// the yield or foreign rate, in percent, for an index or a currency).
struct SetupNumbers {
    int numStrikes = 0;
    float firstStrike = 0;
    float strikeIncrement = 0;
    float dividendAmount = 0;
    float dividendYieldPercent = 0;
};

struct SetupReading {
    SetupNumbers numbers;
    std::optional<SetupProblem> problem;  // a box holding no number
};

// Every box that counts must hold a number; nothing else is asked.
SetupReading ReadSetupNumbers(const SeriesSetup& setup, char decimalSeparator);

// What the dialog's OK asks besides: 1 to 20 strikes, a lowest strike above
// 0, an increment above 0 when there is more than one strike, a dividend
// amount of 0 or more.
std::optional<SetupProblem> CheckSetupNumbers(const SeriesSetup& setup, char decimalSeparator);

}  // namespace kestrava
