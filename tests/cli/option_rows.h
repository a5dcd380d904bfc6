#pragma once
// Tables of runs of kestrava-calc for its options: a row runs the program
// with an option and without it (or with its default named) and checks what
// changed; a refusal row runs it with a value out of the option's range.

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/calc_runner.h"

namespace kestrava::clitest {

using Args = std::vector<std::string>;

inline Args Join(Args first, const Args& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline std::string Shown(const Args& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += (text.empty() ? "" : " ") + arg;
    return text;
}

// A number as the program writes it, read without the test's locale.
inline double Number(const std::string& text)
{
    double value = std::numeric_limits<double>::quiet_NaN();
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        ADD_FAILURE() << "not a number: \"" << text << "\"";
    return value;
}

// The shortest text of a number, whatever the test's locale.
inline std::string Text(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

inline double Value(const Outcome& outcome, const std::string& key)
{
    const auto values = Values(outcome.out);
    const auto found = values.find(key);
    if (found == values.end()) {
        ADD_FAILURE() << "no " << key << " in\n" << outcome.out;
        return std::numeric_limits<double>::quiet_NaN();
    }
    return Number(found->second);
}

// The cells of the column named `name` in the header of a CSV output.
inline std::vector<std::string> Column(const std::string& csv, const std::string& name)
{
    const auto rows = CsvRows(csv);
    std::vector<std::string> cells;
    if (rows.empty())
        return cells;
    const auto at = std::find(rows[0].begin(), rows[0].end(), name);
    if (at == rows[0].end()) {
        ADD_FAILURE() << "no column " << name << " in " << csv.substr(0, csv.find('\n'));
        return cells;
    }
    const auto index = static_cast<std::size_t>(at - rows[0].begin());
    for (std::size_t r = 1; r < rows.size(); ++r)
        cells.push_back(index < rows[r].size() ? rows[r][index] : std::string());
    return cells;
}

inline std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// A row of an option table: what it shows, the two runs (to which the
// command's own arguments are added) and the check of the pair.
struct Effect {
    std::string shows;
    Args without;  // the run it is compared with
    Args with;
    std::function<void(const Outcome& without, const Outcome& with)> check;
};

// An option value outside its documented range, the text the refusal must
// hold, and the range's edge, which is taken (none for a word option).
struct Refusal {
    Args refused;
    std::string names;
    Args edge;
};

class OptionsCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        HideDisplay();
        // The offscreen windowing's runtime folder is the test's own, not
        // one it would make in the shared temporary folder.
        const fs::path runtime = dir_ / "runtime";
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        const char* before = std::getenv("XDG_RUNTIME_DIR");
        runtimeBefore_ = before ? std::optional<std::string>(before) : std::nullopt;
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override
    {
        if (runtimeBefore_)
            ::setenv("XDG_RUNTIME_DIR", runtimeBefore_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        CalcTest::TearDown();
    }

    // A run, once for each list of arguments.
    const Outcome& Calc(const Args& args)
    {
        auto found = runs_.find(args);
        if (found == runs_.end())
            found = runs_.emplace(args, Run(args)).first;
        return found->second;
    }

    void CheckEffects(const std::function<Args(const Args&)>& command, const std::vector<Effect>& rows)
    {
        for (const Effect& row : rows) {
            SCOPED_TRACE(row.shows);
            const Args without = command(row.without), with = command(row.with);
            const Outcome& before = Calc(without);
            const Outcome& after = Calc(with);
            EXPECT_EQ(before.status, 0) << Shown(without) << "\n" << before.err;
            EXPECT_EQ(after.status, 0) << Shown(with) << "\n" << after.err;
            if (before.status == 0 && after.status == 0)
                row.check(before, after);
        }
    }

    void CheckRefusals(const std::function<Args(const Args&)>& command, const std::vector<Refusal>& rows)
    {
        for (const Refusal& row : rows) {
            const Outcome& refused = Calc(command(row.refused));
            EXPECT_EQ(refused.status, 2) << Shown(row.refused) << "\n" << refused.err;
            EXPECT_NE(refused.err.find(row.names), std::string::npos) << Shown(row.refused) << "\n"
                                                                      << refused.err;
            if (!row.edge.empty()) {
                const Outcome& edge = Calc(command(row.edge));
                EXPECT_EQ(edge.status, 0) << Shown(row.edge) << "\n" << edge.err;
            }
        }
    }

    std::map<Args, Outcome> runs_;
    std::optional<std::string> runtimeBefore_;
};

inline Effect Row(std::string shows, Args without, Args with,
                  std::function<void(const Outcome& without, const Outcome& with)> check)
{
    return {std::move(shows), std::move(without), std::move(with), std::move(check)};
}

inline void ExpectSameOutput(const Outcome& without, const Outcome& with)
{
    EXPECT_EQ(with.out, without.out);
    EXPECT_FALSE(with.out.empty());
}

}  // namespace kestrava::clitest
