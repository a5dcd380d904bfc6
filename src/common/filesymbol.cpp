#include "common/filesymbol.h"

namespace kestrava {

bool IsUsableAsFileName(std::string_view name)
{
    if (name.empty() || name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\')
            return false;
#ifdef _WIN32
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return false;
#endif
    }
    return name != ".";
}

std::string RefusedSymbolMessage(std::string_view symbol)
{
    return "The symbol \"" + std::string(symbol) + "\" cannot be used as a file name; it is skipped.";
}

}  // namespace kestrava
