#pragma once
// A quote table as large as a test or a benchmark needs, made from a real
// one: its option rows again and again, each round with the expiries moved
// on by whole years and the strikes moved by thousandths, so that nearly
// every row, exchange copies included, is an option of its own (the few
// others: a moved expiry that falls on one of the table's own, their rows
// far apart). The quotes, volumes and open interests stay as the exchange
// wrote them.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrava::testsupport {

struct LargeChainTable {
    std::uint64_t bytes = 0;
    long long optionRows = 0;
};

namespace largechain {

// Rounds of rows that keep their strikes and only move their expiries.
constexpr int kYearShifts = 8;

struct CodeParts {
    std::string root, day, month, suffix;
    int year = 0;
    long long strikeMilli = 0;
};

inline long long Milli(const std::string& text)
{
    const std::size_t point = text.find('.');
    long long whole = std::stoll(text.substr(0, point));
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    fraction = (fraction + "000").substr(0, 3);
    return whole * 1000 + std::stoll(fraction);
}

inline std::string MilliText(long long milli)
{
    std::string text = std::to_string(milli / 1000);
    if (const long long fraction = milli % 1000; fraction != 0) {
        std::string digits = std::to_string(1000 + fraction).substr(1);
        while (digits.back() == '0')
            digits.pop_back();
        text += "." + digits;
    }
    return text;
}

// "SPY1625K196.5-E": the root, year, day and month letter, strike and suffix.
inline CodeParts SplitCode(const std::string& code)
{
    CodeParts parts;
    const std::size_t dash = code.find('-');
    const std::string base = code.substr(0, dash);
    parts.suffix = dash == std::string::npos ? "" : code.substr(dash);
    std::size_t letter = base.find_last_not_of("0123456789.");
    parts.strikeMilli = Milli(base.substr(letter + 1));
    parts.month = base.substr(letter, 1);
    parts.day = base.substr(letter - 2, 2);
    parts.year = std::stoi(base.substr(letter - 4, 2));
    parts.root = base.substr(0, letter - 4);
    return parts;
}

inline std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == separator)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// "16 Nov 175.00 (SPY1625K175)" with the year and the strike moved.
inline std::string MoveDescription(const std::string& description, int years, long long strikeMilli)
{
    const std::vector<std::string> words = Split(description, ' ');
    const CodeParts code = SplitCode(words.at(3).substr(1, words[3].size() - 2));
    const std::string strike = MilliText(code.strikeMilli + strikeMilli);
    const std::string year = std::to_string(100 + code.year + years).substr(1);
    return year + " " + words[1] + " " + strike + " (" + code.root + year + code.day + code.month + strike
           + code.suffix + ")";
}

}  // namespace largechain

// Writes a table of at least `bytes` bytes (and at least one round of rows)
// into `path` from the real table `source`. Throws std::runtime_error when
// the source cannot be read or holds no option row.
inline LargeChainTable WriteLargeChainTable(const std::filesystem::path& source,
                                            const std::filesystem::path& path, std::uint64_t bytes)
{
    using namespace largechain;
    std::ifstream in(source, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read " + source.string());
    std::string head, line;
    std::vector<std::string> rows;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number <= 3)
            head += line + "\n";
        else if (line.find('(') != std::string::npos)
            rows.push_back(line);
    }
    if (rows.empty())
        throw std::runtime_error(source.string() + " holds no option row");

    // Each copy of an option within a round takes a strike a thousandth apart.
    std::vector<int> copy(rows.size());
    std::map<std::string, int> seen;
    int copies = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string description = Split(rows[r], ',')[0];
        const std::size_t open = description.find('(');
        const CodeParts code = SplitCode(description.substr(open + 1, description.find(')') - open - 1));
        copy[r] = seen[code.root + std::to_string(code.year) + code.day + code.month
                       + std::to_string(code.strikeMilli)]++;
        copies = std::max(copies, copy[r] + 1);
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("Cannot write " + path.string());
    LargeChainTable table;
    out << head;
    table.bytes = head.size();
    for (int round = 0; table.optionRows == 0 || table.bytes < bytes; ++round) {
        const int years = round % kYearShifts;
        const long long shift = static_cast<long long>(round / kYearShifts) * copies;
        // Strikes of the exchange stand half a dollar apart or more.
        if (shift + copies >= 500)
            throw std::runtime_error("a table this large would repeat its strikes");
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::vector<std::string> fields = Split(rows[r], ',');
            for (const std::size_t description : {std::size_t{0}, std::size_t{7}})
                fields.at(description) = MoveDescription(fields[description], years, shift + copy[r]);
            std::string moved = fields[0];
            for (std::size_t f = 1; f < fields.size(); ++f)
                moved += "," + fields[f];
            moved += "\n";
            out << moved;
            table.bytes += moved.size();
            ++table.optionRows;
        }
    }
    if (!out.flush())
        throw std::runtime_error("Cannot write " + path.string());
    return table;
}

}  // namespace kestrava::testsupport
