#pragma once
// Text from outside shown in a message, and text from the settings sent in a
// request: a control character is written out ("\0", "\x1b"), so a message
// never ends at a NUL or moves the cursor, and a request value holding one is
// refused before anything is sent.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava {

// text with its control characters written out: "\0", "\t", "\r", "\n",
// "\x1b", "\x7f"; a backslash stays as it is. Bytes of 0x80 and above (UTF-8
// or the series code page) are left alone.
std::string EscapedText(std::string_view text);

// The longest value from the settings that a request may carry (a server
// address, a home page, a template).
inline constexpr std::size_t kLongestRequestValue = 2048;

// Why value cannot go into a request ("it holds the control character \r",
// "it holds a blank", "it is 1048576 characters long, more than the 2048 a
// request may carry"); empty when it can. A header's value may hold blanks
// where an address may not.
std::string RequestValueProblem(std::string_view value, bool blanksAllowed = false);

}  // namespace kestrava
