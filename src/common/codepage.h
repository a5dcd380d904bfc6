#pragma once
// The single-byte code page of series files and typed texts (Windows-1252),
// converted to and from UTF-8 and UTF-16.

#include <string>
#include <string_view>

namespace kestrava {

// Every byte maps to a character; the five unassigned bytes map to the
// C1 control of the same value, so the conversion never loses a byte.
std::string Cp1252ToUtf8(std::string_view text);

// Characters without a place in the code page become '?'. Malformed UTF-8
// sequences also become '?', one per bad byte.
std::string Utf8ToCp1252(std::string_view text);

// Unpaired surrogates and unmappable characters become '?'.
std::string Utf16ToCp1252(std::u16string_view text);

}  // namespace kestrava
