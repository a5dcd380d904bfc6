// kestrava-calc: the pricing core and the file readers from the command line.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"

using kestrava::cli::Command;
using kestrava::cli::Commands;

namespace {

void PrintUsage(std::FILE* out)
{
    std::fprintf(out, "Usage: kestrava-calc COMMAND [ARGS...]\n"
                      "       kestrava-calc COMMAND --help\n\n"
                      "Commands:\n");
    for (const Command& command : Commands())
        std::fprintf(out, "  %-58s %s\n", command.synopsis.c_str(), command.summary.c_str());
}

const Command* FindCommand(const std::string& name)
{
    for (const Command& command : Commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(stderr);
        return kestrava::cli::kExitError;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(stdout);
        return kestrava::cli::kExitOk;
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        std::fprintf(stderr, "kestrava-calc: unknown command \"%s\"\n\n", args[0].c_str());
        PrintUsage(stderr);
        return kestrava::cli::kExitError;
    }
    args.erase(args.begin());
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(command->help.c_str(), stdout);
            return kestrava::cli::kExitOk;
        }
    }
    try {
        return command->run(args);
    } catch (const kestrava::cli::UsageError& e) {
        std::fprintf(stderr, "kestrava-calc %s: %s\n\nUsage: kestrava-calc %s\n", command->name.c_str(),
                     e.what(), command->synopsis.c_str());
        return kestrava::cli::kExitError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrava-calc %s: %s\n", command->name.c_str(), e.what());
        return kestrava::cli::kExitError;
    }
}
