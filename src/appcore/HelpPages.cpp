#include "appcore/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "appcore/OpenDocument.h"

namespace kestrava {
namespace {

const QString kPagesResource = QStringLiteral(":/help");

QString CacheHelpFolder()
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    return cache + QStringLiteral("/Tovanek/Kestrava27/help");
}

QString NoBrowserMessage(const QString& page)
{
    return QStringLiteral("No web browser could be started to show ") + QDir::toNativeSeparators(page);
}

}  // namespace

QString InstalledHelpFolder(const QString& programFolder)
{
    const QString folder = QDir::cleanPath(programFolder
                                           + QStringLiteral("/" KESTRAVA_BIN_TO_DATA "/kestrava/help"));
    return QFileInfo::exists(folder + QStringLiteral("/index.html")) ? folder : QString();
}

QString HelpPageName(const QString& keyword)
{
    static const struct {
        const QString& keyword;
        const char* page;
    } pages[] = {
        {kHelpGettingStarted, "getting-started.html"},
        {kHelpOptionSetup, "option-setup.html"},
        {kHelpOptionSeriesGrid, "option-grid.html"},
        {kHelpFetchingMarketPrices, "market-prices.html"},
        {kHelpDownloadList, "download-list.html"},
        {kHelpRiskFreeRates, "interest-rates.html"},
        {kHelpOptionChain, "option-chain.html"},
        {kHelpServers, "servers.html"},
        {kHelpSmileTab, "smile-tab.html"},
        {kHelpPositionTab, "position-tab.html"},
        {kHelpPositionFile, "position-file.html"},
        {kHelpExportGrid, "export-grid.html"},
    };
    for (const auto& entry : pages)
        if (QString::compare(entry.keyword, keyword, Qt::CaseInsensitive) == 0)
            return QLatin1String(entry.page);
    return QStringLiteral("index.html");
}

QString WriteHelpPages(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder);
    QDirIterator pages(kPagesResource, QDir::Files);
    while (pages.hasNext()) {
        const QString source = pages.next();
        QFile in(source);
        QSaveFile out(folder + QLatin1Char('/') + pages.fileName());
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return out.errorString();
        out.write(in.readAll());
        if (!out.commit())
            return out.errorString();
    }
    return {};
}

void ShowHelp(const QString& keyword, QObject* context, const HelpReport& report)
{
    // An installed program shows the pages installed with it; otherwise they
    // are written out of the program afresh each time, so they always match
    // the program that shows them.
    QString folder = InstalledHelpFolder(QCoreApplication::applicationDirPath());
    if (folder.isEmpty()) {
        folder = CacheHelpFolder();
        const QString problem = WriteHelpPages(folder);
        if (!problem.isEmpty()) {
            report(problem);
            return;
        }
    }
    const QString page = folder + QLatin1Char('/') + HelpPageName(keyword);
    OpenDocument(page, context, report, NoBrowserMessage(page));
}

}  // namespace kestrava
