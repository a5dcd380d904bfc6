#pragma once
// One input of each reader of outside data, taken the way the program takes
// it. The libFuzzer targets call these, and so does the test that replays the
// inputs the fuzzers once found faults with. Each returns what went against
// the readers' promises (an exception nobody catches, a lost or overwritten
// file, a result that does not read back); an empty text when nothing did.
// Crashes, leaks and undefined behaviour are the sanitizers' to report.

#include <cstdint>
#include <span>
#include <string>

namespace kestrava::fuzz {

using Input = std::span<const std::uint8_t>;

// A ".ops" file through LoadSeriesFile; what loads must save and load again
// unchanged.
std::string RunSeriesFile(Input input);
// The JSON form through ReadSeriesJson; what reads must write and read again
// unchanged.
std::string RunSeriesJson(Input input);
// A price text file through the analysis and conversion under each of the
// three date layouts, then the volatility over the work file.
std::string RunPriceFile(Input input);
// A quote table through ListRoots and, for the roots found, the page's quote
// load. The last eight bytes choose the expiry and strikes (see
// QuoteTable.cpp).
std::string RunQuoteTable(Input input);
// A quote table as the chain window reads it, and the volatilities of its
// default root.
std::string RunChainTable(Input input);
// A delayed-quotes CSV through the whole-file check, the page's contract
// list and quote load, and the chain, which must agree.
std::string RunDelayedQuotes(Input input);
// A daily-history reply through ConvertHistory under each date layout.
std::string RunHistoryConvert(Input input);
// A daily history of any layout through ReadDailyHistory, and its days read
// again from the program's own layout.
std::string RunHistoryReader(Input input);
// A raw HTTP reply (status line, headers, body) served to both downloads.
std::string RunHttpReply(Input input);
// A settings file, a download list and a request template.
std::string RunSettings(Input input);
// A position file through ReadPositionFile, then saved over.
std::string RunPositionFile(Input input);
// A delayed-quotes JSON through the strict JSON reader and its conversion
// into today's quote CSV, which the quote table reader must read whole.
std::string RunQuoteJson(Input input);
// Number and date texts, and date patterns, of the locale parsing.
std::string RunLocaleParse(Input input);

struct Entry {
    const char* name;  // the fuzz target and its corpus folder
    std::string (*run)(Input);
};

std::span<const Entry> Entries();

}  // namespace kestrava::fuzz
