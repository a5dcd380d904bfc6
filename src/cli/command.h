#pragma once
// The commands of kestrava-calc. Each command file registers itself with a
// static CommandRegistration; main() dispatches by name.

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrava::cli {

// Exit statuses shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the command ran but found no result
constexpr int kExitError = 2;   // bad usage, unreadable input, unpriceable series

struct Command {
    std::string name;
    std::string synopsis;  // "dump SERIES.ops"
    std::string summary;   // one line for the command list
    std::string help;      // the whole text of "COMMAND --help"
    std::function<int(const std::vector<std::string>& args)> run;
};

// Bad arguments: main() prints the message and the command's usage, exit 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const std::vector<Command>& Commands();

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

}  // namespace kestrava::cli
