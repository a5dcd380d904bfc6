#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "common/codepage.h"

using namespace kestrava;

TEST(CodePage, SevenBitTextIsUnchanged)
{
    EXPECT_EQ(Cp1252ToUtf8("SPX =^GSPC"), "SPX =^GSPC");
    EXPECT_EQ(Utf8ToCp1252("C:\\Data\\ibm.csv"), "C:\\Data\\ibm.csv");
}

TEST(CodePage, HighBytesRoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(Cp1252ToUtf8("M\xFC"
                           "nchen"),
              "M\xC3\xBC"
              "nchen");
}

TEST(CodePage, HighBytesAreTheCLibrarysWindows1252)
{
    // The C library's own table where it has the byte; the five bytes it
    // leaves out stand for the control character of their number.
    const iconv_t toUtf8 = ::iconv_open("UTF-8", "CP1252");
    ASSERT_NE(toUtf8, reinterpret_cast<iconv_t>(-1)) << "the C library has no CP1252";
    for (int b = 0x80; b < 0x100; ++b) {
        char in = static_cast<char>(b);
        char out[8];
        char* from = &in;
        char* to = out;
        std::size_t inLeft = 1, outLeft = sizeof out;
        ::iconv(toUtf8, nullptr, nullptr, nullptr, nullptr);
        const bool known = ::iconv(toUtf8, &from, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1);
        const std::string expected = known ? std::string(out, sizeof out - outLeft)
                                           : std::string{static_cast<char>(0xC2), in};
        EXPECT_EQ(Cp1252ToUtf8(std::string(1, in)), expected) << "byte " << b;
    }
    ::iconv_close(toUtf8);
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // a CJK character
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");        // cut-off sequence
    EXPECT_EQ(Utf8ToCp1252("\xFF\xFE"), "??");
    EXPECT_EQ(Utf16ToCp1252(u"\u00E9t\u00E9 \u20AC"), "\xE9t\xE9 \x80");
    EXPECT_EQ(Utf16ToCp1252(u"\xD83D\xDE00!"), "?!");  // a pair
    EXPECT_EQ(Utf16ToCp1252(u"\xDC00x"), "?x");        // a lone surrogate
}
