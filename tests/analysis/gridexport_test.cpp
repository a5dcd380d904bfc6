// The grid as CSV, read back by its header: every column holds the field it
// names, for calls and puts, and the rows run by expiry, calls before puts,
// strikes upwards.

#include <gtest/gtest.h>

#include <charconv>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/GridExport.h"
#include "common/dates.h"

using namespace kestrava;

namespace {

using Field = PerStrike<float> TInOutObj::*;

// The tables behind each number column, by the name other tools read.
const std::map<std::string, Field> kColumns = {
    {"vol_fraction", &TInOutObj::Vol},
    {"bid", &TInOutObj::Bid},
    {"ask", &TInOutObj::Ask},
    {"bid_iv_fraction", &TInOutObj::BidIV},
    {"ask_iv_fraction", &TInOutObj::AskIV},
    {"theo", &TInOutObj::Theo},
    {"delta", &TInOutObj::Delta},
    {"gamma", &TInOutObj::Gamma},
    {"decay", &TInOutObj::Decay},
    {"vega", &TInOutObj::Vega},
    {"prob_below_fraction", &TInOutObj::ProbBelow},
    {"prob_above_fraction", &TInOutObj::ProbAbove},
};

float Number(const std::string& text)
{
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
    return value;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        fields.push_back(field);
    return fields;
}

// Every cell of every table a value of its own: table t, strike s, side k.
TInOutObj Distinct(TDateTime expiry, int strikes)
{
    TInOutObj p;
    p.ExpiryDate = expiry;
    p.NumStrikes = strikes;
    int t = 0;
    for (const auto& [name, field] : kColumns) {
        ++t;
        for (int s = 1; s <= strikes; ++s)
            for (int k = 1; k <= 2; ++k)
                (p.*field)(s, k) = static_cast<float>(t * 1000 + s * 10 + k) / 64;
    }
    for (int s = 1; s <= strikes; ++s)
        p.Strike(s, 1) = p.Strike(s, 2) = 90 + 5.0f * static_cast<float>(s);
    return p;
}

}  // namespace

TEST(GridCsv, EveryColumnHoldsTheFieldItNames)
{
    const TInOutObj first = Distinct(EncodeDate(2011, 2, 18), 3);
    const TInOutObj second = Distinct(EncodeDate(2011, 3, 18), 2);
    const std::vector<const TInOutObj*> expiries{&first, &second};
    std::istringstream csv(GridCsv(expiries));

    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = Split(line);
    ASSERT_EQ(header.size(), 3 + kColumns.size()) << line;
    EXPECT_EQ(std::vector<std::string>(header.begin(), header.begin() + 3),
              (std::vector<std::string>{"expiry", "strike", "side"}));

    for (const TInOutObj* p : expiries) {
        for (int k = 1; k <= 2; ++k) {
            for (int s = 1; s <= p->NumStrikes; ++s) {
                ASSERT_TRUE(std::getline(csv, line));
                const std::vector<std::string> row = Split(line);
                ASSERT_EQ(row.size(), header.size()) << line;
                EXPECT_EQ(row[0], IsoDate(p->ExpiryDate)) << line;
                EXPECT_EQ(Number(row[1]), p->Strike(s, k)) << line;
                EXPECT_EQ(row[2], k == 1 ? "C" : "P") << line;
                for (std::size_t c = 3; c < header.size(); ++c) {
                    const auto column = kColumns.find(header[c]);
                    ASSERT_NE(column, kColumns.end()) << "unknown column " << header[c];
                    EXPECT_EQ(Number(row[c]), (p->*(column->second))(s, k)) << header[c] << " in " << line;
                }
            }
        }
    }
    EXPECT_FALSE(std::getline(csv, line)) << "nothing after the last put: " << line;
}
