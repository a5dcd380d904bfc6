// Text from outside in messages, and settings' text in requests.

#include <gtest/gtest.h>

#include <string>

#include "common/textescape.h"

using namespace kestrava;

TEST(EscapedText, ControlCharactersAreWrittenOutAndTheRestKept)
{
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain 1.25", "plain 1.25"},
        {std::string("a\0b", 3), "a\\0b"},
        {"\x1b[2J", "\\x1b[2J"},
        {"line\r\nCookie: x", "line\\r\\nCookie: x"},
        {"\t\x7f\x01", "\\t\\x7f\\x01"},
        {"M\xc3\xbcnchen \xe9", "M\xc3\xbcnchen \xe9"},  // UTF-8 and code-page bytes stay
        {"back\\slash", "back\\slash"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapedText(c.text), c.shown) << c.shown;
}

TEST(RequestValueProblem, RefusesWhatWouldChangeTheRequest)
{
    const std::string longest(kLongestRequestValue, 'a');
    const struct {
        std::string value;
        bool blanksAllowed;
        std::string problem;
    } cases[] = {
        {"http://history.example.com/", false, ""},
        {"", false, ""},
        {longest, false, ""},
        {longest + "a", false, "it is 2049 characters long, more than the 2048 a request may carry"},
        {std::string(1 << 20, 'a'), false,
         "it is 1048576 characters long, more than the 2048 a request may carry"},
        {"http://h/\r\nCookie: session=stolen", false, "it holds the control character \\r"},
        {"http://h/\r\nCookie: session=stolen", true, "it holds the control character \\r"},
        {std::string("http://h/\0x", 11), false, "it holds the control character \\0"},
        {"http://h/a b", false, "it holds a blank"},
        {"Mozilla/5.0 (X11; Linux)", true, ""},
        {"tab\there", true, "it holds the control character \\t"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RequestValueProblem(c.value, c.blanksAllowed), c.problem)
            << EscapedText(c.value.substr(0, 60));
}
