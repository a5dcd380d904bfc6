#include "numformat.h"
#include "numtext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <vector>

namespace kestrava {

namespace {

bool IsQuote(char c)
{
    return c == '\'' || c == '"';
}

// Splits at ";" outside literals; an unclosed literal runs to the end.
std::vector<std::string_view> SplitSections(std::string_view picture)
{
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == ';') {
            sections.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(picture.substr(start));
    return sections;
}

struct Token {
    enum Kind { Literal, IntDigit, Point, FracDigit } kind;
    std::string_view text;  // Literal only
};

struct Section {
    std::vector<Token> tokens;
    int intPlaces = 0;
    int fracPlaces = 0;
    int minIntDigits = 0;
    int minFracDigits = 0;
    bool grouping = false;
};

Section ParseSection(std::string_view text)
{
    Section section;
    bool afterPoint = false;
    int firstIntZero = -1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsQuote(c)) {
            const std::size_t close = text.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            section.tokens.push_back({Token::Literal, text.substr(i + 1, end - i - 1)});
            i = end == text.size() ? end : end + 1;
            continue;
        }
        if (c == '0' || c == '#') {
            if (afterPoint) {
                if (c == '0')
                    section.minFracDigits = section.fracPlaces + 1;
                ++section.fracPlaces;
                section.tokens.push_back({Token::FracDigit, {}});
            } else {
                if (c == '0' && firstIntZero < 0)
                    firstIntZero = section.intPlaces;
                ++section.intPlaces;
                section.tokens.push_back({Token::IntDigit, {}});
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            section.tokens.push_back({Token::Point, {}});
        } else if (c == ',') {
            if (!afterPoint)
                section.grouping = true;
        } else {
            section.tokens.push_back({Token::Literal, text.substr(i, 1)});
        }
        ++i;
    }
    if (firstIntZero >= 0)
        section.minIntDigits = section.intPlaces - firstIntZero;
    return section;
}

struct Digits {
    std::string integer;   // no leading zeros; empty for a zero integer part
    std::string fraction;  // exactly the requested number of decimals
};

// A magnitude as its significant decimal digits: value = 0.digits x 10^pointPos.
struct Significant {
    std::string digits;
    int pointPos = 0;
};

// 15 significant digits: what a double holds for sure, and short enough to
// wash out the noise of binary arithmetic (0.1 + 0.2, 2.345).
Significant DoubleDigits(double magnitude)
{
    // d.dddddddddddddde+XX
    const std::string text = FormatScientific(magnitude, 14);
    Significant result;
    result.digits += text[0];
    result.digits.append(text, 2, 14);
    result.pointPos = std::atoi(text.c_str() + 17) + 1;
    return result;
}

// The shortest digits that give the single-precision value back: what was
// typed or read into it.
Significant SingleDigits(float magnitude)
{
    char text[40];
    const auto [end, error] = std::to_chars(text, text + sizeof text - 1, magnitude,
                                            std::chars_format::scientific);
    (void)error;  // 40 characters always suffice
    *end = '\0';
    const std::string_view written(text, static_cast<std::size_t>(end - text));
    const std::size_t exponentAt = written.find('e');
    Significant result;
    for (const char c : written.substr(0, exponentAt))
        if (c != '.')
            result.digits += c;
    result.pointPos = std::atoi(text + exponentAt + 1) + 1;
    return result;
}

// The number rounded half away from zero to `decimals` places.
Digits RoundedDigits(const Significant& number, int decimals)
{
    const std::string& significant = number.digits;
    const int available = static_cast<int>(significant.size());
    int pointPos = number.pointPos;

    const int keep = pointPos + decimals;
    std::string kept;
    if (keep >= 0) {
        kept = significant.substr(0, static_cast<std::size_t>(std::min(keep, available)));
        kept.append(static_cast<std::size_t>(std::max(keep - available, 0)), '0');
        if (keep < available && significant[static_cast<std::size_t>(keep)] >= '5') {
            int i = keep - 1;
            for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i)
                kept[static_cast<std::size_t>(i)] = '0';
            if (i >= 0) {
                ++kept[static_cast<std::size_t>(i)];
            } else {
                kept.insert(kept.begin(), '1');
                ++pointPos;
            }
        }
    } else {
        pointPos = -decimals;  // rounds to zero: no significant digit survives
    }

    Digits digits;
    if (pointPos > 0) {
        digits.integer = kept.substr(0, static_cast<std::size_t>(pointPos));
        digits.fraction = kept.substr(static_cast<std::size_t>(pointPos));
    } else {
        digits.fraction = std::string(static_cast<std::size_t>(-pointPos), '0') + kept;
    }
    const std::size_t firstNonZero = digits.integer.find_first_not_of('0');
    digits.integer.erase(0, firstNonZero == std::string::npos ? digits.integer.size() : firstNonZero);
    return digits;
}

std::string WithSeparator(std::string text, char decimalSeparator)
{
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

std::string FormatGeneral(double value, char decimalSeparator)
{
    return WithSeparator(FormatSignificant(value, 15), decimalSeparator);
}

std::string FormatGeneral(float value, char decimalSeparator)
{
    char text[40];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    (void)error;
    return WithSeparator(std::string(text, end), decimalSeparator);
}

std::string FormatSection(std::string_view text, const Significant& magnitude, bool negate,
                          char decimalSeparator, char thousandsSeparator)
{
    const Section section = ParseSection(text);
    Digits digits = RoundedDigits(magnitude, section.fracPlaces);
    while (static_cast<int>(digits.fraction.size()) > section.minFracDigits && digits.fraction.back() == '0')
        digits.fraction.pop_back();
    if (static_cast<int>(digits.integer.size()) < section.minIntDigits)
        digits.integer.insert(0, static_cast<std::size_t>(section.minIntDigits) - digits.integer.size(), '0');

    const std::string& integer = digits.integer;
    const int count = static_cast<int>(integer.size());
    std::string out;
    bool wroteDigit = false;
    // Writes the integer digit with place value 10^place.
    auto writeIntDigit = [&](int place) {
        out += integer[static_cast<std::size_t>(count - 1 - place)];
        wroteDigit = true;
        if (section.grouping && place > 0 && place % 3 == 0)
            out += thousandsSeparator;
    };

    int intSeen = 0;
    std::size_t fracSeen = 0;
    for (const Token& token : section.tokens) {
        switch (token.kind) {
        case Token::Literal:
            out += token.text;
            break;
        case Token::IntDigit: {
            if (intSeen == 0)
                for (int place = count - 1; place >= section.intPlaces; --place)
                    writeIntDigit(place);
            const int place = section.intPlaces - 1 - intSeen;
            if (place < count)
                writeIntDigit(place);
            ++intSeen;
            break;
        }
        case Token::Point:
            if (section.intPlaces == 0)
                for (int place = count - 1; place >= 0; --place)
                    writeIntDigit(place);
            if (!digits.fraction.empty())
                out += decimalSeparator;
            break;
        case Token::FracDigit:
            if (fracSeen < digits.fraction.size()) {
                out += digits.fraction[fracSeen];
                wroteDigit = true;
            }
            ++fracSeen;
            break;
        }
    }
    if (negate && wroteDigit)
        out.insert(out.begin(), '-');
    return out;
}

template <typename Real>
std::string FormatPicture(std::string_view picture, Real value, char decimalSeparator,
                          char thousandsSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";

    const std::vector<std::string_view> sections = SplitSections(picture);
    auto sectionAt = [&](std::size_t i) { return i < sections.size() ? sections[i] : std::string_view(); };
    std::string_view chosen = sectionAt(0);
    bool negate = false;
    if (value == 0) {
        if (!sectionAt(2).empty())
            chosen = sectionAt(2);
    } else if (value < 0) {
        if (!sectionAt(1).empty())
            chosen = sectionAt(1);
        else
            negate = true;
    }
    if (chosen.empty())
        return FormatGeneral(value, decimalSeparator);
    const Real magnitude = std::fabs(value);
    const Significant digits = std::is_same_v<Real, float> ? SingleDigits(static_cast<float>(magnitude))
                                                           : DoubleDigits(static_cast<double>(magnitude));
    return FormatSection(chosen, digits, negate, decimalSeparator, thousandsSeparator);
}

}  // namespace

std::string FormatFloat(std::string_view picture, double value, char decimalSeparator,
                        char thousandsSeparator)
{
    return FormatPicture(picture, value, decimalSeparator, thousandsSeparator);
}

std::string FormatSingle(std::string_view picture, float value, char decimalSeparator,
                         char thousandsSeparator)
{
    return FormatPicture(picture, value, decimalSeparator, thousandsSeparator);
}

}  // namespace kestrava
