#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

fs::path g_scratch;

void RemoveScratch()
{
    std::error_code ignored;
    fs::remove_all(g_scratch, ignored);
}

}  // namespace

fs::path FreshScratchFolder()
{
    std::error_code error;
    if (g_scratch.empty()) {
        fs::path parent = fs::temp_directory_path(error);
        if (error)
            parent = ".";
        std::string name = (parent / "kestrava-fuzz-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            std::abort();
        g_scratch = name;
        std::atexit(RemoveScratch);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(g_scratch, error)) {
        // A test may have taken the rights away from a folder it made.
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(entry.path(), error);
    }
    return g_scratch;
}

std::string_view AsText(Input input)
{
    return {reinterpret_cast<const char*>(input.data()), input.size()};
}

void WriteWholeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool FileHolds(const fs::path& path, std::string_view bytes)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && ReadWholeFile(path) == bytes;
}

std::string UnexpectedFiles(const fs::path& folder, std::initializer_list<fs::path> expected)
{
    std::string found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        bool known = false;
        for (const fs::path& name : expected)
            known = known || entry.path().filename() == name.filename();
        if (!known)
            found += " " + entry.path().filename().string();
    }
    return found;
}

bool SameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool SameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::string SeriesDifference(const TInOutObj& a, const TInOutObj& b, bool withQuotes)
{
    const struct {
        const char* name;
        bool same;
    } fields[] = {
        {"ContractType", a.ContractType == b.ContractType},
        {"Model", a.Model == b.Model},
        {"Steps", a.Steps == b.Steps},
        {"ExpiryMonth", a.ExpiryMonth == b.ExpiryMonth},
        {"NumStrikes", a.NumStrikes == b.NumStrikes},
        {"ReservedInt", a.ReservedInt == b.ReservedInt},
        {"SigmaDays", a.SigmaDays == b.SigmaDays},
        {"Dividend", SameBits(a.Dividend, b.Dividend)},
        {"Rate", SameBits(a.Rate, b.Rate)},
        {"Underlying", SameBits(a.Underlying, b.Underlying)},
        {"Sigma", SameBits(a.Sigma, b.Sigma)},
        {"PriceDate", SameBits(a.PriceDate, b.PriceDate)},
        {"TodayDate", SameBits(a.TodayDate, b.TodayDate)},
        {"ExpiryDate", SameBits(a.ExpiryDate, b.ExpiryDate)},
        {"DivDate", SameBits(a.DivDate, b.DivDate)},
        {"SourceFileType", a.SourceFileType == b.SourceFileType},
        {"OptSymbol", a.OptSymbol == b.OptSymbol},
        {"SourceFile", a.SourceFile == b.SourceFile},
        {"OptContract", a.OptContract == b.OptContract},
    };
    for (const auto& field : fields)
        if (!field.same)
            return field.name;
    const int strikes = std::min(a.NumStrikes, kMaxStrikes);
    for (int s = 1; s <= strikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const std::string where = " of strike " + std::to_string(s) + ", side " + std::to_string(k);
            if (!SameBits(a.Strike(s, k), b.Strike(s, k)))
                return "Strike" + where;
            if (!SameBits(a.Last(s, k), b.Last(s, k)))
                return "Last" + where;
            if (!SameBits(a.NetChange(s, k), b.NetChange(s, k)))
                return "NetChange" + where;
            if (!SameBits(a.ReservedValue(s, k), b.ReservedValue(s, k)))
                return "ReservedValue" + where;
            if (withQuotes && !SameBits(a.Bid(s, k), b.Bid(s, k)))
                return "Bid" + where;
            if (withQuotes && !SameBits(a.Ask(s, k), b.Ask(s, k)))
                return "Ask" + where;
        }
    }
    return {};
}

}  // namespace kestrava::fuzz
