#include "localeoptions.h"

#include <optional>

#include "cli/command.h"
#ifdef KESTRAVA_HAVE_COMMONQT
#include "common/qt/systemlocale.h"
#endif

namespace kestrava::cli {
namespace {

LocaleInfo DefaultLocale()
{
#ifdef KESTRAVA_HAVE_COMMONQT
    return SystemLocaleInfo();
#else
    return LocaleInfo();
#endif
}

// "--name VALUE" or "--name=VALUE" at args[i]; erases it and returns VALUE.
std::optional<std::string> TakeOption(std::vector<std::string>& args, std::size_t i, const std::string& name)
{
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            throw UsageError(name + " needs a value");
        std::string value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return value;
    }
    if (arg.rfind(name + "=", 0) == 0) {
        std::string value = arg.substr(name.size() + 1);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        return value;
    }
    return std::nullopt;
}

}  // namespace

const char* const kLocaleOptionsHelp =
    "Locale options (default: the system locale, as in the windows):\n"
    "  --date-format PATTERN    short date format of the price files, such as\n"
    "                           M/d/yyyy, dd.MM.yyyy or yyyy-MM-dd; its separator\n"
    "                           is the date separator. Two-digit years 00 to 68\n"
    "                           are 2000 to 2068, 69 to 99 are 1969 to 1999.\n"
    "  --decimal-separator C    decimal separator of the price files' numbers.\n";

LocaleInfo TakeLocaleOptions(std::vector<std::string>& args)
{
    std::optional<std::string> pattern;
    std::optional<std::string> decimal;
    for (std::size_t i = 0; i < args.size();) {
        if (auto value = TakeOption(args, i, "--date-format")) {
            pattern = std::move(value);
            continue;
        }
        if (auto value = TakeOption(args, i, "--decimal-separator")) {
            decimal = std::move(value);
            continue;
        }
        ++i;
    }

    LocaleInfo locale = DefaultLocale();
    if (decimal) {
        const std::string& text = *decimal;
        if (text.size() != 1 || (text[0] >= '0' && text[0] <= '9') || text[0] == '+' || text[0] == '-'
            || text[0] == 'e' || text[0] == 'E' || text[0] == ' ')
            throw UsageError("--decimal-separator takes one character that is not a digit, a "
                             "sign, a blank or an exponent letter, got \""
                             + text + "\"");
        locale.decimalSeparator = text[0];
    }
    if (pattern) {
        const LocaleInfo parsed = LocaleInfo::FromPattern(*pattern, locale.decimalSeparator);
        if (parsed.shortDateFormat != *pattern)
            throw UsageError("--date-format needs day, month and year separated by \"/\", \"-\" "
                             "or \".\", such as M/d/yyyy, got \""
                             + *pattern + "\"");
        locale = parsed;
    }
    return locale;
}

}  // namespace kestrava::cli
