#include "optionpage/SetupChecks.h"

#include <cstdint>

#include "common/localeparse.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

const char* const kStrikeCountRule = "# of Strikes must be a whole number from 1 to 20.";

std::string NotANumber(const char* box, const QString& text)
{
    return std::string(box) + ": '" + text.trimmed().toStdString() + "' is not a number.";
}

bool Number(const QString& text, char decimalSeparator, float& value)
{
    return TryParseSingle(text.toStdString(), decimalSeparator, value);
}

}  // namespace

SetupReading ReadSetupNumbers(const SeriesSetup& setup, char decimalSeparator)
{
    SetupReading reading;
    SetupNumbers& n = reading.numbers;
    std::int32_t strikes = 0;
    if (!TryParseInt32(setup.numStrikes.toStdString(), strikes)) {
        reading.problem = SetupProblem{SetupBox::NumStrikes, kStrikeCountRule};
        return reading;
    }
    n.numStrikes = strikes;
    if (!Number(setup.firstStrike, decimalSeparator, n.firstStrike)) {
        reading.problem = SetupProblem{SetupBox::FirstStrike, NotANumber("Lowest Strike", setup.firstStrike)};
        return reading;
    }
    if (!Number(setup.strikeIncrement, decimalSeparator, n.strikeIncrement)) {
        reading.problem = SetupProblem{SetupBox::StrikeIncrement,
                                       NotANumber("Increment", setup.strikeIncrement)};
        return reading;
    }
    if (setup.contractType == kEquity && !setup.dividendAmount.trimmed().isEmpty()
        && !Number(setup.dividendAmount, decimalSeparator, n.dividendAmount)) {
        reading.problem = SetupProblem{SetupBox::DividendAmount,
                                       NotANumber("$ Div Amount", setup.dividendAmount)};
        return reading;
    }
    if ((setup.contractType == kIndex || setup.contractType == kCurrency)
        && !setup.dividendYield.trimmed().isEmpty()
        && !Number(setup.dividendYield, decimalSeparator, n.dividendYieldPercent)) {
        reading.problem = SetupProblem{
            SetupBox::DividendYield,
            NotANumber(setup.contractType == kIndex ? "% Div Yield" : "% Foreign Rate", setup.dividendYield)};
        return reading;
    }
    return reading;
}

std::optional<SetupProblem> CheckSetupNumbers(const SeriesSetup& setup, char decimalSeparator)
{
    const SetupReading reading = ReadSetupNumbers(setup, decimalSeparator);
    const SetupNumbers& n = reading.numbers;
    // The boxes in the dialog's order: a number problem of a later box waits
    // until the earlier boxes are right.
    if (reading.problem && reading.problem->box == SetupBox::NumStrikes)
        return reading.problem;
    if (n.numStrikes < 1 || n.numStrikes > kMaxStrikes)
        return SetupProblem{SetupBox::NumStrikes, kStrikeCountRule};
    if (reading.problem && reading.problem->box == SetupBox::FirstStrike)
        return reading.problem;
    if (!(n.firstStrike > 0))
        return SetupProblem{SetupBox::FirstStrike, "Lowest Strike must be above 0."};
    if (reading.problem && reading.problem->box == SetupBox::StrikeIncrement)
        return reading.problem;
    if (n.numStrikes > 1 && !(n.strikeIncrement > 0))
        return SetupProblem{SetupBox::StrikeIncrement,
                            "Increment must be above 0 when there is more than one strike."};
    if (reading.problem)
        return reading.problem;
    if (!(n.dividendAmount >= 0))
        return SetupProblem{SetupBox::DividendAmount, "$ Div Amount must be 0 or more."};
    return std::nullopt;
}

}  // namespace kestrava
