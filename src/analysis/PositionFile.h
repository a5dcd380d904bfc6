#pragma once
// The position file "NAME.position.json" beside a series file:
//   {"multiplier": 100,
//    "commissions": {"per_contract": 0.65, "per_share": 0.005},
//    "legs": [{"expiry": "2027-02-19", "strike": 100, "side": "C",
//              "quantity": 1, "price": 2.50},
//             {"kind": "underlying", "quantity": 100, "price": 98.20}, ...]}
// expiry names the series' expiry by its ISO date, side is "C" or "P",
// quantity is signed. A leg without a kind (or "kind": "option") is an
// option; a kind this program does not know refuses the whole file. Keys
// this program does not know are kept and written back.

#include <string>
#include <string_view>

#include "analysis/Position.h"

namespace kestrava {

// Files larger than this are taken for damage rather than read.
constexpr std::size_t kMaxPositionFileBytes = 1u << 20;
constexpr std::size_t kMaxPositionLegs = 1000;
// Lists and objects nested deeper than this are taken for damage.
constexpr std::size_t kMaxPositionNesting = 64;

// A text that is not a position; what() says where and why.
class PositionFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws PositionFormatError. A missing multiplier is 100, missing legs
// none, missing commissions 0.
Position ParsePosition(std::string_view json);
std::string PositionToJson(const Position& position);

struct PositionFileRead {
    enum class State { Read, Missing, Damaged };
    State state = State::Missing;
    Position position;    // empty unless Read
    std::string message;  // what to tell the user when not Read
};

// Never throws: a missing or unreadable file gives an empty position and
// the message that says so.
PositionFileRead ReadPositionFile(const std::string& fileName);

// Writes the position through a file beside fileName. A file already there
// that is not a readable position is first kept as fileName + ".damaged", or
// ".damaged-2" and on when earlier ones are there, so a hand-edited file
// with a slip is never lost; an empty position is not
// written where no file was. Throws AnalysisFileError with the message to show.
void WritePositionFile(const std::string& fileName, const Position& position);

}  // namespace kestrava
