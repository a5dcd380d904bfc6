#include "notifier.h"

#include <cstdio>

namespace kestrava {

void StderrNotifier::Info(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

void StderrNotifier::Error(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool StderrNotifier::AskYesNo(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return true;
}

}  // namespace kestrava
