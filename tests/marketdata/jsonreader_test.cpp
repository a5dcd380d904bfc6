// The strict JSON reader: every kind of value read as written, and every
// departure from the grammar refused with the line, the column and the cause.

#include <gtest/gtest.h>

#include <string>

#include "marketdata/JsonReader.h"

using namespace kestrava;

namespace {

TEST(JsonReader, ReadsEveryKindOfValueInOrder)
{
    const JsonValue doc = ParseJson("\xEF\xBB\xBF {\"b\": [1, -0.5e2, 2E-3, true, false, null, "
                                    "\"x\"],\r\n\t\"a\": {\"\": \"\\u00e9\\ud83d\\ude00\\n\\/\"}}");
    ASSERT_EQ(doc.kind, JsonKind::Object);
    ASSERT_EQ(doc.children.size(), 2u);
    EXPECT_EQ(doc.children[0].key, "b");  // the text's order, not sorted
    const JsonValue& list = *doc.Member("b");
    ASSERT_EQ(list.children.size(), 7u);
    EXPECT_EQ(list.children[0].value.number, 1);
    EXPECT_EQ(list.children[1].value.number, -50);
    EXPECT_EQ(list.children[1].value.text, "-0.5e2");
    EXPECT_DOUBLE_EQ(list.children[2].value.number, 0.002);
    EXPECT_TRUE(list.children[3].value.boolean);
    EXPECT_EQ(list.children[4].value.kind, JsonKind::Boolean);
    EXPECT_FALSE(list.children[4].value.boolean);
    EXPECT_EQ(list.children[5].value.kind, JsonKind::Null);
    EXPECT_EQ(list.children[6].value.text, "x");
    EXPECT_EQ(doc.Member("a")->Member("")->text, "\xC3\xA9\xF0\x9F\x98\x80\n/");
    EXPECT_EQ(doc.Member("missing"), nullptr);
    EXPECT_EQ(list.Member("b"), nullptr);  // a list has no members
    // Beyond the smallest double is zero; a value alone is a document.
    EXPECT_EQ(ParseJson("1e-400").number, 0);
    EXPECT_EQ(ParseJson("-0.0000000000000000000001e-320").number, 0);
    EXPECT_EQ(ParseJson(" \"\xE2\x82\xAC\" ").text, "\xE2\x82\xAC");
    // Characters of two and four bytes, at the end of a string and inside it.
    EXPECT_EQ(ParseJson("[\"Soci\xC3\xA9t\xC3\xA9\", \"\xF0\x9F\x98\x80!\"]").children[0].value.text,
              "Soci\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(ParseJson("[\"\xC3\xA9\", \"\xF0\x9F\x98\x80!\"]").children[1].value.text, "\xF0\x9F\x98\x80!");
}

TEST(JsonReader, RefusesWhatTheGrammarDoesNotAllowSayingWhereAndWhy)
{
    struct Case {
        std::string text;
        std::string where;  // "line L, column C"
        std::string cause;
    };
    const Case cases[] = {
        {"", "line 1, column 1", "the text is empty"},
        {" \n ", "line 2, column 2", "nothing but blanks"},
        {"[1,]", "line 1, column 4", "a comma before ']'"},
        {"{\"a\":1,}", "line 1, column 8", "a comma before '}'"},
        {"{\"a\":1 \"b\":2}", "line 1, column 8", "'\"' where a ',' or '}' belongs"},
        {"{'a':1}", "line 1, column 2", "where a key in double quotes belongs"},
        {"{\"a\" 1}", "line 1, column 6", "where a ':' belongs"},
        {"{\"a\":1,\n\"a\":2}", "line 2, column 1", "the key \"a\" a second time"},
        {"[01]", "line 1, column 3", "a leading zero"},
        {"[-]", "line 1, column 3", "where the digits of a number belong"},
        {"[1.]", "line 1, column 4", "after a decimal point"},
        {"[1e+]", "line 1, column 5", "of an exponent"},
        {"[+1]", "line 1, column 2", "'+' where a value belongs"},
        {"[NaN]", "line 1, column 2", "'N' where a value belongs"},
        {"[1e400]", "line 1, column 2", "the number 1e400 is too large"},
        {"[-1" + std::string(400, '0') + "]", "line 1, column 2", "is too large"},
        {"[tru]", "line 1, column 2", "'t' where a value belongs"},
        {"[1] 2", "line 1, column 5", "more follows the end"},
        {"[1] //", "line 1, column 5", "more follows the end"},
        {"[1", "line 1, column 3", "the end of the text where a ',' or ']' belongs"},
        {"\"abc", "line 1, column 1", "without its closing"},
        {"\"a\tb\"", "line 1, column 3", "a control character in a string"},
        {"\"\\x\"", "line 1, column 3", "'x' after a backslash"},
        {"\"\\u12G4\"", "line 1, column 6", "four hexadecimal digits"},
        {"\"\\u0000\"", "line 1, column 2", "a NUL character"},
        {"\"\\udc00\"", "line 1, column 2", "a low surrogate escape without its high one"},
        {"\"\\ud800x\"", "line 1, column 2", "a high surrogate escape without its low one"},
        {"\"\\ud800\\u0041\"", "line 1, column 2", "a high surrogate escape without its low one"},
        {"\"\xC3\"", "line 1, column 2", "no UTF-8 (the byte 0xC3)"},
        {"\"\xC0\xAF\"", "line 1, column 2", "no UTF-8 (the byte 0xC0)"},
        {"\"\xED\xA0\x80\"", "line 1, column 2", "no UTF-8"},
        {"\"\xF4\x90\x80\x80\"", "line 1, column 2", "no UTF-8"},
        {"\xFF", "line 1, column 1", "the byte 0xFF where a value belongs"},
    };
    for (const Case& c : cases) {
        try {
            ParseJson(c.text);
            ADD_FAILURE() << "read: " << c.text;
        } catch (const JsonError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(c.where + ": ", 0), 0u) << c.text << " -> " << message;
            EXPECT_NE(message.find(c.cause), std::string::npos) << c.text << " -> " << message;
        }
    }
}

TEST(JsonReader, BoundsTheDepthAndTheNumberOfValues)
{
    const JsonLimits limits{4, 10};
    EXPECT_NO_THROW(ParseJson("[[[[1]]]]", limits));
    EXPECT_THROW(ParseJson("[[[[[1]]]]]", limits), JsonError);
    EXPECT_NO_THROW(ParseJson("[1,2,3,4,5,6,7,8,9]", limits));
    try {
        ParseJson("[1,2,3,4,5,6,7,8,9,10]", limits);
        ADD_FAILURE() << "eleven values read";
    } catch (const JsonError& error) {
        EXPECT_NE(std::string(error.what()).find("more than 10 values"), std::string::npos) << error.what();
    }
    // The default depth holds against a deep text, without running out of stack.
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    try {
        ParseJson(deep);
        ADD_FAILURE() << "100000 nested lists read";
    } catch (const JsonError& error) {
        EXPECT_NE(std::string(error.what()).find("nested deeper than 64"), std::string::npos) << error.what();
    }
}

}  // namespace
