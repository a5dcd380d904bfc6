#include <gtest/gtest.h>

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

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // a CJK character
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");        // cut-off sequence
    EXPECT_EQ(Utf8ToCp1252("\xFF\xFE"), "??");
    EXPECT_EQ(Utf16ToCp1252(u"\u00E9t\u00E9 \u20AC"), "\xE9t\xE9 \x80");
    EXPECT_EQ(Utf16ToCp1252(u"\xD83D\xDE00!"), "?!");  // a pair
    EXPECT_EQ(Utf16ToCp1252(u"\xDC00x"), "?x");        // a lone surrogate
}
