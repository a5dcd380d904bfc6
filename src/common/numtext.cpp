#include "numtext.h"

#include <cstdio>

namespace kestrava {

std::string FormatSig9(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace kestrava
