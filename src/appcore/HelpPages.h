#pragma once
// The help pages ship inside the program and open in the user's browser.
// Each help keyword of the windows names one page.

#include <QString>

#include <functional>

class QObject;

namespace kestrava {

inline const QString kHelpGettingStarted = QStringLiteral("Getting Started");
inline const QString kHelpOptionSetup = QStringLiteral("Option Setup");
inline const QString kHelpOptionSeriesGrid = QStringLiteral("Option Series Grid");
inline const QString kHelpFetchingMarketPrices = QStringLiteral("Fetching Market Prices");
inline const QString kHelpDownloadList = QStringLiteral("Download List");
inline const QString kHelpRiskFreeRates = QStringLiteral("Risk Free Interest Rates");
inline const QString kHelpOptionChain = QStringLiteral("Option Chain");
inline const QString kHelpServers = QStringLiteral("Servers");
// The option page names these for its Smile and Position tabs.
inline const QString kHelpSmileTab = QStringLiteral("Smile Tab");
inline const QString kHelpPositionTab = QStringLiteral("Position Tab");
inline const QString kHelpPositionFile = QStringLiteral("Position File");
inline const QString kHelpExportGrid = QStringLiteral("Export Grid");

// The page of a keyword; the contents page for an empty or unknown keyword.
QString HelpPageName(const QString& keyword);

// The help pages installed beside the program in `programFolder` (bin/ and
// share/kestrava/help/), or an empty text when there are none.
QString InstalledHelpFolder(const QString& programFolder);

// Copies the pages out of the program into `folder` (created when missing),
// returning an empty text or what went wrong.
QString WriteHelpPages(const QString& folder);

// What went wrong in showing help, for the user.
using HelpReport = std::function<void(const QString&)>;

// Opens the page of `keyword` (the contents when empty) in the browser.
// What goes wrong is passed to `report`, at once or, when the desktop's
// opener only finds out later that no browser can be started, when the
// opener ends (as long as `context` lives).
void ShowHelp(const QString& keyword, QObject* context, const HelpReport& report);

}  // namespace kestrava
