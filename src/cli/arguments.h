#pragma once
// The arguments of a command after its locale options: named options with
// a value ("--name VALUE" or "--name=VALUE"), flags, and the one file
// argument, in any order.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/dates.h"
#include "common/localeinfo.h"

namespace kestrava::cli {

struct Arguments {
    LocaleInfo locale;
    std::string file;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> flags;

    std::optional<std::string> Option(const std::string& name) const;
    bool Flag(const std::string& name) const;
};

// Throws UsageError for an unknown option, an option without its value, no
// file or a second one; fileName names the file in those messages.
Arguments ParseArguments(std::vector<std::string> args, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions, const char* fileName);

// The whole number of option name, fallback when it is not given; throws
// UsageError when it is not a number from lowest to highest.
int WholeNumber(const Arguments& arguments, const std::string& name, int fallback, int lowest, int highest);

// A date written yyyy-mm-dd, the value of option name; throws UsageError
// naming the option for anything else.
TDateTime IsoDateValue(const std::string& name, const std::string& text);

// "key=value" on a line of standard output.
void PrintValue(const char* key, const std::string& value);

}  // namespace kestrava::cli
