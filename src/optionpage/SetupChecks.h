#pragma once
// The number boxes of the setup dialog, checked as the dialog's OK button
// checks them: the first box, in the dialog's order, that holds no usable
// value is named with the reason, so the dialog can stay open with the
// user's entries and put the focus there.

#include <optional>
#include <string>

#include "optionpage/PageInputs.h"

namespace kestrava {

enum class SetupBox { NumStrikes, FirstStrike, StrikeIncrement, DividendAmount, DividendYield };

struct SetupProblem {
    SetupBox box;
    std::string message;
};

// An empty dividend box means no dividend. Which dividend box counts depends
// on the contract type: the amount for an equity, the yield (or foreign
// rate) for an index or a currency, neither for a future.
std::optional<SetupProblem> CheckSetupNumbers(const SeriesSetup& setup, char decimalSeparator);

}  // namespace kestrava
