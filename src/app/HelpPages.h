#pragma once
// The help pages ship inside the program and open in the user's browser.
// Each help keyword of the windows names one page.

#include <QString>

namespace kestrava {

inline const QString kHelpGettingStarted = QStringLiteral("Getting Started");
inline const QString kHelpOptionSetup = QStringLiteral("Option Setup");
inline const QString kHelpOptionSeriesGrid = QStringLiteral("Option Series Grid");
inline const QString kHelpFetchingMarketPrices = QStringLiteral("Fetching Market Prices");
inline const QString kHelpDownloadList = QStringLiteral("Download List");
inline const QString kHelpRiskFreeRates = QStringLiteral("Risk Free Interest Rates");

// The page of a keyword; the contents page for an empty or unknown keyword.
QString HelpPageName(const QString& keyword);

// Copies the pages out of the program into `folder` (created when missing),
// returning an empty text or what went wrong.
QString WriteHelpPages(const QString& folder);

// Opens the page of `keyword` (the contents when empty) in the browser.
// Returns an empty text or what went wrong.
QString ShowHelp(const QString& keyword = QString());

}  // namespace kestrava
