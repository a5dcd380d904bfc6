#include "optionpage/SetupChecks.h"

#include <cstdint>

#include "common/localeparse.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

std::string NotANumber(const char* box, const QString& text)
{
    return std::string(box) + ": '" + text.trimmed().toStdString() + "' is not a number.";
}

std::optional<float> Number(const QString& text, char decimalSeparator)
{
    float value = 0;
    if (!TryParseSingle(text.toStdString(), decimalSeparator, value))
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<SetupProblem> CheckSetupNumbers(const SeriesSetup& setup, char decimalSeparator)
{
    std::int32_t strikes = 0;
    if (!TryParseInt32(setup.numStrikes.toStdString(), strikes) || strikes < 1 || strikes > kMaxStrikes)
        return SetupProblem{SetupBox::NumStrikes, "# of Strikes must be a whole number from 1 to 20."};

    const std::optional<float> first = Number(setup.firstStrike, decimalSeparator);
    if (!first)
        return SetupProblem{SetupBox::FirstStrike, NotANumber("Lowest Strike", setup.firstStrike)};
    if (!(*first > 0))
        return SetupProblem{SetupBox::FirstStrike, "Lowest Strike must be above 0."};

    const std::optional<float> step = Number(setup.strikeIncrement, decimalSeparator);
    if (!step)
        return SetupProblem{SetupBox::StrikeIncrement, NotANumber("Increment", setup.strikeIncrement)};
    if (strikes > 1 && !(*step > 0))
        return SetupProblem{SetupBox::StrikeIncrement,
                            "Increment must be above 0 when there is more than one strike."};

    if (setup.contractType == kEquity && !setup.dividendAmount.trimmed().isEmpty()) {
        const std::optional<float> amount = Number(setup.dividendAmount, decimalSeparator);
        if (!amount)
            return SetupProblem{SetupBox::DividendAmount, NotANumber("$ Div Amount", setup.dividendAmount)};
        if (!(*amount >= 0))
            return SetupProblem{SetupBox::DividendAmount, "$ Div Amount must be 0 or more."};
    }
    if ((setup.contractType == kIndex || setup.contractType == kCurrency)
        && !setup.dividendYield.trimmed().isEmpty() && !Number(setup.dividendYield, decimalSeparator))
        return SetupProblem{SetupBox::DividendYield,
                            NotANumber(setup.contractType == kIndex ? "% Div Yield" : "% Foreign Rate",
                                       setup.dividendYield)};
    return std::nullopt;
}

}  // namespace kestrava
