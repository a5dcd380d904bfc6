// A position file beside a series file, as the page reads it when the series
// opens and writes it when the series is saved.

#include "analysis/PositionFile.h"
#include "analysis/AnalysisError.h"
#include "fuzz/FuzzSupport.h"

namespace kestrava::fuzz {
namespace {

// The first thing that differs between two positions, or an empty text.
std::string PositionDifference(const Position& a, const Position& b)
{
    if (!SameBits(a.multiplier, b.multiplier))
        return "multiplier";
    if (a.extra != b.extra)
        return "unknown keys of the position";
    if (!SameBits(a.commissions.perContract, b.commissions.perContract)
        || !SameBits(a.commissions.perShare, b.commissions.perShare)
        || a.commissions.extra != b.commissions.extra)
        return "commissions";
    if (a.legs.size() != b.legs.size())
        return "number of legs";
    for (std::size_t i = 0; i < a.legs.size(); ++i) {
        const PositionLeg& x = a.legs[i];
        const PositionLeg& y = b.legs[i];
        const std::string leg = "leg " + std::to_string(i + 1) + "'s ";
        if (x.kind != y.kind)
            return leg + "kind";
        if (!SameBits(x.expiry, y.expiry))
            return leg + "expiry";
        if (!SameBits(x.strike, y.strike))
            return leg + "strike";
        if (x.side != y.side || x.quantity != y.quantity)
            return leg + "side or quantity";
        if (!SameBits(x.price, y.price))
            return leg + "price";
        if (x.extra != y.extra)
            return leg + "unknown keys";
    }
    return {};
}

}  // namespace

std::string RunPositionFile(Input input)
{
    const std::string_view text = AsText(input);
    const std::filesystem::path folder = FreshScratchFolder();
    const std::string file = (folder / "SPY.position.json").string();
    WriteWholeFile(file, text);

    PositionFileRead read;
    try {
        read = ReadPositionFile(file);
    } catch (const std::exception& e) {
        return std::string("reading a position file threw: ") + e.what();
    }
    if (read.state != PositionFileRead::State::Read) {
        if (read.message.empty())
            return "a position file that does not read gives no message";
        if (!read.position.legs.empty())
            return "a position file that does not read gives legs";
    }

    // What reads is written and read again unchanged.
    if (read.state == PositionFileRead::State::Read) {
        Position again;
        try {
            again = ParsePosition(PositionToJson(read.position));
        } catch (const PositionFormatError& e) {
            return std::string("a position written back does not read: ") + e.what();
        }
        if (const std::string what = PositionDifference(read.position, again); !what.empty())
            return "a position written back reads with another " + what;
    }

    // Saving over a file that did not read keeps its bytes beside it.
    Position saved;
    saved.legs.push_back(PositionLeg{});
    saved.legs.back().expiry = 46000;
    saved.legs.back().strike = 100;
    saved.legs.back().quantity = 1;
    try {
        WritePositionFile(file, saved);
    } catch (const AnalysisFileError& e) {
        return std::string("a position could not be saved over the file: ") + e.what();
    }
    if (read.state == PositionFileRead::State::Damaged && !FileHolds(file + ".damaged", text))
        return "a damaged position file was not kept when a position was saved over it";
    const PositionFileRead back = ReadPositionFile(file);
    if (back.state != PositionFileRead::State::Read)
        return "a saved position does not read: " + back.message;
    if (const std::string what = PositionDifference(saved, back.position); !what.empty())
        return "a saved position reads with another " + what;
    return {};
}

}  // namespace kestrava::fuzz
