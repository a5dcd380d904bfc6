#include "app/HelpPages.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace kestrava {
namespace {

const QString kPagesResource = QStringLiteral(":/help");

QString HelpFolder()
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    return cache + QStringLiteral("/Tovanek/Kestrava27/help");
}

}  // namespace

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

QString ShowHelp(const QString& keyword)
{
    // The pages are written out afresh each time, so they always match the
    // program that shows them.
    const QString folder = HelpFolder();
    const QString problem = WriteHelpPages(folder);
    if (!problem.isEmpty())
        return problem;
    const QString page = folder + QLatin1Char('/') + HelpPageName(keyword);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        return QStringLiteral("No web browser could be started to show ") + QDir::toNativeSeparators(page);
    return {};
}

}  // namespace kestrava
