#pragma once
// Symbols become file names (SPX.txt, ^GSPC.csv). A symbol that would name a
// file outside its folder, or no file at all, is refused before any file is
// touched.

#include <string>
#include <string_view>

namespace kestrava {

// False for an empty name, "." and "..", a name holding ".." or a path
// separator ("/" or "\"), control characters, and, on Windows, the
// characters a file name there may not hold (< > : " | ? *).
bool IsUsableAsFileName(std::string_view name);

// "The symbol "<symbol>" cannot be used as a file name; it is skipped."
std::string RefusedSymbolMessage(std::string_view symbol);

}  // namespace kestrava
