#pragma once
// A strict reader of JSON text from outside (a download service's reply):
// exactly the grammar of the JSON standard, nothing more. No comments, no
// trailing commas, no single quotes, no NaN; numbers without leading zeros;
// strings of valid UTF-8 whose escapes are the standard's, surrogates in
// pairs, no NUL; no key twice in one object; nothing after the value but
// blanks. A UTF-8 byte order mark before the value is passed over.
//
// It is bounded: values nested deeper than JsonLimits::maxDepth, or more
// values than maxValues in all, refuse the text, so a hostile reply costs
// neither the stack nor the memory.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava {

// Why a text is no JSON document: "line 3, column 14: a comma before ']'".
class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class JsonKind { Null, Boolean, Number, String, Array, Object };

struct JsonMember;

struct JsonValue {
    JsonKind kind = JsonKind::Null;
    bool boolean = false;
    double number = 0;  // finite
    std::string text;   // a string's characters in UTF-8; a number as written
    // An array's elements (their keys empty) or an object's members, in the
    // order of the text.
    std::vector<JsonMember> children;

    // The member of an object named key; nullptr when there is none or this
    // is no object.
    const JsonValue* Member(std::string_view key) const;
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

struct JsonLimits {
    std::size_t maxDepth = 64;
    std::size_t maxValues = 1000000;
};

// Throws JsonError.
JsonValue ParseJson(std::string_view text, const JsonLimits& limits = {});

// "an object", "a number", ...: what messages call a value of kind.
const char* JsonKindName(JsonKind kind);

}  // namespace kestrava
