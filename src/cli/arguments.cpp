#include "cli/arguments.h"

#include <cstdint>
#include <cstdio>

#include "cli/command.h"
#include "cli/localeoptions.h"
#include "common/localeparse.h"

namespace kestrava::cli {

std::optional<std::string> Arguments::Option(const std::string& name) const
{
    for (const auto& [key, value] : options)
        if (key == name)
            return value;
    return std::nullopt;
}

bool Arguments::Flag(const std::string& name) const
{
    for (const std::string& flag : flags)
        if (flag == name)
            return true;
    return false;
}

Arguments ParseArguments(std::vector<std::string> args, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions, const char* fileName)
{
    Arguments parsed;
    parsed.locale = TakeLocaleOptions(args);
    bool haveFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            bool known = false;
            for (const std::string& option : valueOptions) {
                if (name != option)
                    continue;
                known = true;
                if (equals != std::string::npos) {
                    parsed.options.emplace_back(name, arg.substr(equals + 1));
                } else {
                    if (i + 1 >= args.size())
                        throw UsageError(name + " needs a value");
                    parsed.options.emplace_back(name, args[++i]);
                }
            }
            for (const std::string& flag : flagOptions) {
                if (arg == flag) {
                    known = true;
                    parsed.flags.push_back(flag);
                }
            }
            if (!known)
                throw UsageError("unknown option \"" + arg + "\"");
            continue;
        }
        if (haveFile)
            throw UsageError(std::string("expects one ") + fileName + ", got also \"" + arg + "\"");
        parsed.file = arg;
        haveFile = true;
    }
    if (!haveFile)
        throw UsageError(std::string("expects a ") + fileName);
    return parsed;
}

TDateTime IsoDateValue(const std::string& name, const std::string& text)
{
    TDateTime date = 0;
    if (!TryParseIsoDate(text, date))
        throw UsageError(name + " takes a date written yyyy-mm-dd, got \"" + text + "\"");
    return date;
}

int WholeNumber(const Arguments& arguments, const std::string& name, int fallback, int lowest, int highest)
{
    const std::optional<std::string> text = arguments.Option(name);
    if (!text)
        return fallback;
    std::int32_t value = 0;
    if (!TryParseInt32(*text, value) || value < lowest || value > highest)
        throw UsageError(name + " takes a whole number from " + std::to_string(lowest) + " to "
                         + std::to_string(highest) + ", got \"" + *text + "\"");
    return value;
}

void PrintValue(const char* key, const std::string& value)
{
    std::printf("%s=%s\n", key, value.c_str());
}

}  // namespace kestrava::cli
