// The texts the program reads at start-up: its settings file (the window
// placement, the default rates under each layout's decimal separator, the
// servers and the date format), the download list and the quote request
// template.

#include <chrono>
#include <cmath>
#include <filesystem>

#include <QSettings>

#include "appcore/AppSettings.h"
#include "appcore/DownloadList.h"
#include "appcore/StartupFiles.h"
#include "downloadcore/Downloads.h"
#include "fuzz/FuzzSupport.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

QString QPath(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

// Rates are compared as values: -0 is written as 0.
bool SameRate(float a, float b)
{
    return a == b;
}

// QSettings keeps what it read of a file while the file's size and time
// stamp stay the same: every write gets a time stamp of its own, so every
// read reads the file.
void StampAsNewer(const fs::path& file)
{
    static long long tick = 0;
    std::error_code ignored;
    fs::last_write_time(file, fs::file_time_type(std::chrono::seconds(++tick)), ignored);
}

AppSettings LoadSettings(const fs::path& file, const LocaleInfo& layout, QStringList* problems)
{
    AppSettings settings;
    QSettings store(QPath(file), QSettings::IniFormat);
    settings.Load(store, layout, problems);
    return settings;
}

std::string CheckSettings(const AppSettings& read)
{
    for (const float rate : {read.Rate30, read.Rate60, read.Rate90})
        if (!std::isfinite(rate))
            return "a rate that is no finite number";
    constexpr int kFar = 1000000;
    if (std::abs(read.Left) > kFar || std::abs(read.Top) > kFar || read.Width < 0 || read.Width > kFar)
        return "a window placement beyond any desktop";
    for (const QString& server : {read.QuoteServer, read.HistoryServer}) {
        const ServerAddress address = ParseServerAddress(server.toStdString(), "QuoteServer");
        if (address.ok != address.problem.empty() || (address.ok && address.authority.empty()))
            return "a server address taken apart wrongly";
    }
    return {};
}

// What was read is written and read back the same.
std::string CheckSavedSettings(const AppSettings& read, const fs::path& folder, const LocaleInfo& layout)
{
    const fs::path saved = folder / "saved.ini";
    std::error_code ignored;
    fs::remove(saved, ignored);
    {
        // Into a new file every value is written.
        QSettings store(QPath(saved), QSettings::IniFormat);
        read.SaveChanges(store, layout, AppSettings{});
    }
    StampAsNewer(saved);
    QStringList problems;
    const AppSettings again = LoadSettings(saved, layout, &problems);
    if (!problems.isEmpty())
        return "saved settings read back with problems: " + problems.join(QLatin1Char(' ')).toStdString();
    if (again.Left != read.Left || again.Top != read.Top || again.Width != read.Width
        || again.SourceFileType != read.SourceFileType || again.AsciiDataDir != read.AsciiDataDir
        || !SameRate(again.Rate30, read.Rate30) || !SameRate(again.Rate60, read.Rate60)
        || !SameRate(again.Rate90, read.Rate90) || again.QuoteServer != read.QuoteServer
        || again.HistoryServer != read.HistoryServer || again.HistoryHomePage != read.HistoryHomePage
        || again.DateFormat != read.DateFormat)
        return "saved settings read back different";
    return {};
}

std::string CheckDownloadList(const fs::path& folder)
{
    DownloadList list;
    list.Load(QPath(folder / "Tickers.txt"));
    const QString saved = QPath(folder / "Tickers-saved.txt");
    if (const QString problem = list.Save(saved); !problem.isEmpty())
        return "the download list cannot be saved: " + problem.toStdString();
    DownloadList again;
    const DownloadList::LoadResult result = again.Load(saved);
    if (!result.complete || again.Entries() != list.Entries())
        return "a saved download list reads back different";
    return {};
}

}  // namespace

std::string RunSettings(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const QString text = QString::fromUtf8(AsText(input).data(), static_cast<qsizetype>(input.size()));

    const fs::path file = folder / "settings.ini";
    WriteWholeFile(file, AsText(input));
    StampAsNewer(file);
    for (const LocaleInfo& layout : kLayouts) {
        const std::string where = " (decimal separator " + std::string(1, layout.decimalSeparator) + ")";
        QStringList problems;
        const AppSettings read = LoadSettings(file, layout, &problems);
        for (const QString& problem : problems)
            if (problem.isEmpty())
                return "a problem without a text" + where;
        if (const std::string problem = CheckSettings(read); !problem.empty())
            return problem + where;
        // The decimal comma is the harder case for the file's rates.
        if (layout.decimalSeparator == ',')
            if (const std::string problem = CheckSavedSettings(read, folder, layout); !problem.empty())
                return problem + where;

        float rate = 0;
        if (ParseRateText(text, layout, rate)) {
            float again = 0;
            if (!std::isfinite(rate) || !ParseRateText(RateText(rate, layout), layout, again)
                || !SameRate(rate, again))
                return "a rate that does not read back" + where;
        }
    }

    WriteWholeFile(folder / "Tickers.txt", AsText(input));
    if (const std::string problem = CheckDownloadList(folder); !problem.empty())
        return problem;

    // A template of the user's own is taken whole or not at all.
    WriteWholeFile(folder / "POSTSTR5B", AsText(input));
    const QByteArray body = LoadRequestTemplate(QPath(folder));
    if (!body.isEmpty() && !body.endsWith('='))
        return "a request template that does not end in \"=\"";
    return {};
}

}  // namespace kestrava::fuzz
