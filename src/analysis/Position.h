#pragma once
// A position: option legs of a page's expiries and legs of the underlying
// itself (stock or futures), each bought (positive quantity) or sold
// (negative) at an entry price; the multiplier that turns option prices into
// money per contract; and the commissions charged on entry.

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava {

constexpr double kDefaultMultiplier = 100;

// Keys of the position file this program does not know, with their values
// as JSON texts, in the order the file had them; written back unchanged.
using ExtraKeys = std::vector<std::pair<std::string, std::string>>;

enum class LegKind {
    Option,
    Underlying,  // shares, or futures; the multiplier does not apply
};

struct PositionLeg {
    LegKind kind = LegKind::Option;
    TDateTime expiry = 0;  // the day of the expiry, no time of day (options)
    float strike = 0;      // options
    int side = 1;          // 1 call, 2 put, as the series' tables count sides (options)
    int quantity = 0;      // bought positive, sold negative: contracts, or units of the underlying
    double price = 0;      // entry price of one option, or of one unit of the underlying
    ExtraKeys extra;

    bool IsOption() const { return kind == LegKind::Option; }
};

// Charged once, on entry, on the absolute quantity of each leg.
struct Commissions {
    double perContract = 0;  // per option contract
    double perShare = 0;     // per unit of an underlying leg
    ExtraKeys extra;         // keys of the file's commissions this program does not know
    bool written = false;    // the file had commissions; they are written back
};

struct Position {
    double multiplier = kDefaultMultiplier;
    std::vector<PositionLeg> legs;
    Commissions commissions;
    ExtraKeys extra;
};

// Money per unit of the leg's price: the multiplier for an option, 1 for a
// unit of the underlying.
double LegSize(const Position& position, const PositionLeg& leg);

// The commission of a leg on entry: per contract of an option, per unit of
// the underlying, on its absolute quantity.
double LegCommission(const Position& position, const PositionLeg& leg);

// Where a leg stands in a page's series: expiry index (from 0), strike s
// and side k.
struct LegPlace {
    int expiry = -1;
    int s = 0;
    int k = 0;
    bool Found() const { return expiry >= 0; }
};

// The leg's expiry (by its day) and strike among expiries; not Found when
// there is none, or for a leg of the underlying.
LegPlace FindLeg(std::span<const TInOutObj* const> expiries, const PositionLeg& leg);

// A leg of quantity options of strike s, side k: bought at the ask and sold
// at the bid when that is quoted, else at the theoretical value.
PositionLeg LegFromGrid(const TInOutObj& expiry, int s, int k, int quantity);

// Adds leg, or its quantity to a leg of the same option (or the underlying)
// and entry price.
void AddLeg(Position& position, const PositionLeg& leg);

// "SPX.ops" gives "SPX.position.json", in the same folder.
std::string PositionFileFor(const std::string& seriesFile);

// A single as the double its shortest decimal text reads: 2.45f gives 2.45,
// not 2.4500000476837158.
double ShortestDouble(float value);

}  // namespace kestrava
