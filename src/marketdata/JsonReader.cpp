#include "marketdata/JsonReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <unordered_set>

namespace kestrava {
namespace {

class Parser {
public:
    Parser(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

    JsonValue Document()
    {
        if (text_.starts_with("\xEF\xBB\xBF"))
            at_ = 3;
        SkipBlanks();
        if (at_ == text_.size())
            Fail(text_.empty() ? "the text is empty" : "the text holds nothing but blanks");
        JsonValue value = Value(0);
        SkipBlanks();
        if (at_ != text_.size())
            Fail("more follows the end of the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& cause) const
    {
        std::size_t line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < at_ && i < text_.size(); ++i)
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        throw JsonError("line " + std::to_string(line) + ", column " + std::to_string(at_ - lineStart + 1)
                        + ": " + cause);
    }

    // What stands at the reading position, for a message.
    std::string Found() const
    {
        if (at_ >= text_.size())
            return "the end of the text";
        const auto c = static_cast<unsigned char>(text_[at_]);
        if (c >= 0x21 && c < 0x7f)
            return std::string("'") + text_[at_] + "'";
        static constexpr char kHex[] = "0123456789ABCDEF";
        return std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 0x0F];
    }

    void SkipBlanks()
    {
        while (at_ < text_.size()
               && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    bool Take(char c)
    {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void Count()
    {
        if (++values_ > limits_.maxValues)
            Fail("more than " + std::to_string(limits_.maxValues) + " values");
    }

    JsonValue Value(std::size_t depth)
    {
        Count();
        JsonValue value;
        if (at_ >= text_.size())
            Fail("the text ends where a value belongs");
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            if (depth >= limits_.maxDepth)
                Fail("values nested deeper than " + std::to_string(limits_.maxDepth));
            if (c == '{')
                ObjectInto(value, depth);
            else
                ArrayInto(value, depth);
        } else if (c == '"') {
            value.kind = JsonKind::String;
            value.text = String();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            NumberInto(value);
        } else if (Word("true")) {
            value.kind = JsonKind::Boolean;
            value.boolean = true;
        } else if (Word("false")) {
            value.kind = JsonKind::Boolean;
        } else if (!Word("null")) {
            Fail(Found() + " where a value belongs");
        }
        return value;
    }

    bool Word(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }

    void ObjectInto(JsonValue& value, std::size_t depth)
    {
        value.kind = JsonKind::Object;
        std::unordered_set<std::string> keys;
        ++at_;
        SkipBlanks();
        if (Take('}'))
            return;
        for (;;) {
            SkipBlanks();
            if (at_ >= text_.size() || text_[at_] != '"')
                Fail(Found() + " where a key in double quotes belongs");
            const std::size_t keyAt = at_;
            std::string key = String();
            if (!keys.insert(key).second) {
                at_ = keyAt;
                Fail("the key \"" + Shown(key) + "\" a second time in one object");
            }
            SkipBlanks();
            if (!Take(':'))
                Fail(Found() + " where a ':' belongs after a key");
            SkipBlanks();
            value.children.push_back({std::move(key), Value(depth + 1)});
            SkipBlanks();
            if (Take('}'))
                return;
            if (!Take(','))
                Fail(Found() + " where a ',' or '}' belongs");
            SkipBlanks();
            if (at_ < text_.size() && text_[at_] == '}')
                Fail("a comma before '}'");
        }
    }

    void ArrayInto(JsonValue& value, std::size_t depth)
    {
        value.kind = JsonKind::Array;
        ++at_;
        SkipBlanks();
        if (Take(']'))
            return;
        for (;;) {
            SkipBlanks();
            value.children.push_back({std::string(), Value(depth + 1)});
            SkipBlanks();
            if (Take(']'))
                return;
            if (!Take(','))
                Fail(Found() + " where a ',' or ']' belongs");
            SkipBlanks();
            if (at_ < text_.size() && text_[at_] == ']')
                Fail("a comma before ']'");
        }
    }

    // A key shown in a message: at most 40 bytes, control characters as "?".
    static std::string Shown(const std::string& key)
    {
        std::string shown = key.substr(0, 40);
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        return shown + (key.size() > 40 ? "..." : "");
    }

    std::size_t Digits()
    {
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_;
        return at_ - start;
    }

    void NumberInto(JsonValue& value)
    {
        const std::size_t start = at_;
        Take('-');
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
            if (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
                Fail("a number with a leading zero");
        } else if (Digits() == 0) {
            Fail(Found() + " where the digits of a number belong");
        }
        if (Take('.') && Digits() == 0)
            Fail(Found() + " where the digits after a decimal point belong");
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (Digits() == 0)
                Fail(Found() + " where the digits of an exponent belong");
        }
        value.kind = JsonKind::Number;
        value.text = std::string(text_.substr(start, at_ - start));
        const auto read = std::from_chars(value.text.data(), value.text.data() + value.text.size(),
                                          value.number);
        if (read.ec == std::errc::result_out_of_range) {
            // Far below the smallest double is zero; far above the largest
            // is no number.
            if (!Overflows(value.text)) {
                value.number = 0;
            } else {
                at_ = start;
                Fail("the number " + value.text.substr(0, 40) + " is too large");
            }
        }
        if (!std::isfinite(value.number)) {
            at_ = start;
            Fail("the number " + value.text.substr(0, 40) + " is too large");
        }
    }

    // Whether a number the double cannot hold is too large (rather than too
    // small): its order of magnitude, digits before the point plus the
    // exponent, is above 0.
    static bool Overflows(std::string_view number)
    {
        long exponent = 0;
        if (const std::size_t e = number.find_first_of("eE"); e != std::string_view::npos) {
            std::size_t i = e + 1;
            const bool negative = i < number.size() && number[i] == '-';
            if (i < number.size() && (number[i] == '-' || number[i] == '+'))
                ++i;
            for (; i < number.size() && exponent < 100000000; ++i)
                exponent = exponent * 10 + (number[i] - '0');
            if (negative)
                exponent = -exponent;
            number = number.substr(0, e);
        }
        if (number.starts_with('-'))
            number.remove_prefix(1);
        const std::size_t point = std::min(number.find('.'), number.size());
        long order = 0;
        if (number.substr(0, point) != "0") {
            order = static_cast<long>(point);
        } else {
            const std::string_view fraction = number.substr(std::min(point + 1, number.size()));
            order = -static_cast<long>(std::min(fraction.find_first_not_of('0'), fraction.size()));
        }
        return order + exponent > 0;
    }

    unsigned HexQuad()
    {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char c = at_ < text_.size() ? text_[at_] : '\0';
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                Fail(Found() + " where the four hexadecimal digits of a \\u escape belong");
            code = code * 16 + static_cast<unsigned>(digit);
        }
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    void EscapeInto(std::string& out)
    {
        const char c = at_ < text_.size() ? text_[at_] : '\0';
        static constexpr std::string_view kFrom = "\"\\/bfnrt";
        static constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
        if (const std::size_t which = kFrom.find(c); c != '\0' && which != std::string_view::npos) {
            out += kTo[which];
            ++at_;
            return;
        }
        if (c != 'u')
            Fail(Found() + " after a backslash, which escapes none of \"\\/bfnrtu");
        ++at_;
        const std::size_t escapeAt = at_ - 2;
        unsigned code = HexQuad();
        if (code >= 0xDC00 && code <= 0xDFFF) {
            at_ = escapeAt;
            Fail("a low surrogate escape without its high one");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (!Word("\\u")) {
                at_ = escapeAt;
                Fail("a high surrogate escape without its low one");
            }
            const unsigned low = HexQuad();
            if (low < 0xDC00 || low > 0xDFFF) {
                at_ = escapeAt;
                Fail("a high surrogate escape without its low one");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        if (code == 0) {
            at_ = escapeAt;
            Fail("a NUL character in a string");
        }
        AppendUtf8(out, code);
    }

    // The bytes of one UTF-8 character beginning at the reading position
    // (of 0x80 and above), or 0 when they are no valid UTF-8.
    std::size_t Utf8Length() const
    {
        const auto byte = [this](std::size_t i) {
            return at_ + i < text_.size() ? static_cast<unsigned char>(text_[at_ + i]) : 0u;
        };
        const unsigned lead = byte(0);
        const auto follows = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
        if (lead >= 0xC2 && lead <= 0xDF)
            return follows(1) ? 2 : 0;
        if (lead >= 0xE0 && lead <= 0xEF) {
            const unsigned second = byte(1);
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F))
                return 0;  // overlong, or a surrogate
            return follows(1) && follows(2) ? 3 : 0;
        }
        if (lead >= 0xF0 && lead <= 0xF4) {
            const unsigned second = byte(1);
            if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
                return 0;  // overlong, or beyond U+10FFFF
            return follows(1) && follows(2) && follows(3) ? 4 : 0;
        }
        return 0;
    }

    std::string String()
    {
        const std::size_t start = at_;
        ++at_;
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) {
                at_ = start;
                Fail("a string without its closing '\"'");
            }
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c == '\\') {
                ++at_;
                EscapeInto(out);
            } else if (c < 0x20) {
                Fail("a control character in a string");
            } else if (c < 0x80) {
                out += static_cast<char>(c);
                ++at_;
            } else {
                const std::size_t length = Utf8Length();
                if (length == 0)
                    Fail("a byte that is no UTF-8 (" + Found() + ")");
                out.append(text_.substr(at_, length));
                at_ += length;
            }
        }
    }

    std::string_view text_;
    const JsonLimits& limits_;
    std::size_t at_ = 0;
    std::size_t values_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view key) const
{
    if (kind != JsonKind::Object)
        return nullptr;
    for (const JsonMember& member : children)
        if (member.key == key)
            return &member.value;
    return nullptr;
}

JsonValue ParseJson(std::string_view text, const JsonLimits& limits)
{
    return Parser(text, limits).Document();
}

const char* JsonKindName(JsonKind kind)
{
    switch (kind) {
    case JsonKind::Null:
        return "null";
    case JsonKind::Boolean:
        return "true or false";
    case JsonKind::Number:
        return "a number";
    case JsonKind::String:
        return "a string";
    case JsonKind::Array:
        return "a list";
    case JsonKind::Object:
        return "an object";
    }
    return "a value";
}

}  // namespace kestrava
