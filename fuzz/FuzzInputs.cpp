#include "fuzz/FuzzInputs.h"

namespace kestrava::fuzz {

std::span<const Entry> Entries()
{
    static const Entry kEntries[] = {
        {"seriesfile", RunSeriesFile},       {"seriesjson", RunSeriesJson},
        {"pricefile", RunPriceFile},         {"quotetable", RunQuoteTable},
        {"chaintable", RunChainTable},       {"historyconvert", RunHistoryConvert},
        {"httpreply", RunHttpReply},         {"settings", RunSettings},
        {"localeparse", RunLocaleParse},     {"positionfile", RunPositionFile},
        {"historyreader", RunHistoryReader}, {"quotejson", RunQuoteJson},
        {"delayedquotes", RunDelayedQuotes},
    };
    return kEntries;
}

}  // namespace kestrava::fuzz
