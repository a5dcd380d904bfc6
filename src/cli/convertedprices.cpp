#include "cli/convertedprices.h"

#include <filesystem>
#include <system_error>

namespace kestrava::cli {

ConvertedPrices::ConvertedPrices(const std::string& priceFile, Notifier& notifier, const LocaleInfo& locale)
    : reader(notifier, locale), priceFile_(priceFile), notifier_(notifier)
{
    SeedWorkFileCounter();
    reader.Open(priceFile);
}

ConvertedPrices::~ConvertedPrices()
{
    std::error_code error;
    if (!reader.DataFileName.empty())
        std::filesystem::remove(reader.DataFileName, error);
}

bool ConvertedPrices::Usable()
{
    if (reader.RecordCount != 0 && !reader.DataFileName.empty())
        return true;
    notifier_.Info(kCantDigestSource + std::filesystem::path(priceFile_).filename().string());
    return false;
}

}  // namespace kestrava::cli
