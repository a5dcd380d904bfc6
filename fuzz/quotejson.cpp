// The delayed-quotes JSON as the template download takes it: refused with a
// message that says where and why, or converted into today's quote CSV that
// the quote table reader reads whole, one row per root, expiry and strike.

#include <algorithm>
#include <filesystem>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "marketdata/DelayedQuotesCsv.h"
#include "marketdata/DelayedQuotesJson.h"
#include "marketdata/JsonReader.h"
#include "marketdata/OptPriceReader.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

// Long enough for any message; a longer one quotes a value whole.
constexpr std::size_t kLongestMessage = 400;

std::string MessageProblem(const std::string& message)
{
    if (message.empty() || message.size() > kLongestMessage)
        return "a refusal of " + std::to_string(message.size()) + " characters";
    if (std::any_of(message.begin(), message.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return "a refusal with a control character in it";
    return {};
}

}  // namespace

std::string RunQuoteJson(Input input)
{
    const std::string_view text = AsText(input);
    JsonValue document;
    try {
        document = ParseJson(text);
    } catch (const JsonError& error) {
        const std::string message = error.what();
        if (message.rfind("line ", 0) != 0)
            return "a refusal that does not say where: " + message.substr(0, 100);
        return MessageProblem(message);
    }
    QuoteJsonCsv csv;
    try {
        csv = DelayedQuotesJsonToCsv(document, "SPY");
    } catch (const QuoteJsonError& error) {
        return MessageProblem(error.what());
    }
    if (csv.rows < 1 || csv.options < csv.rows || csv.options > 2 * csv.rows)
        return "rows that do not match the options: " + std::to_string(csv.rows) + " rows of "
               + std::to_string(csv.options);
    if (std::count(csv.text.begin(), csv.text.end(), '\n') != csv.rows + 4)
        return "a CSV of other lines than its rows and head";
    const fs::path folder = FreshScratchFolder();
    const fs::path file = folder / "SPY.txt";
    WriteWholeFile(file, csv.text);
    if (const std::string problem = DelayedQuotesProblem(file.string(), "the CSV"); !problem.empty())
        return "the converted CSV does not read: " + problem.substr(0, 200);
    if (const std::string problem = QuoteTableProblem(file.string(), "the CSV"); !problem.empty())
        return "the quote table reader refuses the converted CSV: " + problem.substr(0, 200);
    return {};
}

}  // namespace kestrava::fuzz
