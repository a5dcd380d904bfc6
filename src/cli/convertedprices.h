#pragma once
// A price file converted into its work file for one command; the work file
// is only a step on the way and goes when the command ends.

#include <string>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/PriceFileReader.h"

namespace kestrava::cli {

class ConvertedPrices {
public:
    ConvertedPrices(const std::string& priceFile, Notifier& notifier, const LocaleInfo& locale);
    ~ConvertedPrices();
    ConvertedPrices(const ConvertedPrices&) = delete;
    ConvertedPrices& operator=(const ConvertedPrices&) = delete;

    // False, after the windows' message naming the file, when no line of it
    // read as a day's prices.
    bool Usable();

    TAsciiFileReader reader;

private:
    std::string priceFile_;
    Notifier& notifier_;
};

}  // namespace kestrava::cli
