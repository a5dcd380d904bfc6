#include "appcore/AppSession.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "appcore/StartupFiles.h"
#include "common/notifier.h"
#include "marketdata/PriceFileReader.h"

namespace kestrava {
namespace {

const QString kCannotWriteList = QStringLiteral("Cannot write the download list %1: %2");
const QString kCannotWriteSettings = QStringLiteral("The settings could not be saved in %1.");
const QString kRecentGone = QStringLiteral(
    "%1 is gone: there is no such file in %2 any more. It has been taken off the list of "
    "recent series.");
const QString kCannotStoreRecent = QStringLiteral("The list of recent series could not be saved in %1.");
const QString kOnlySeriesDropped = QStringLiteral(
    "Only option series files (*.ops) can be dropped on Kestrava.");
const QString kNotOpened = QStringLiteral(" Not opened: %1.");

QSettings StoredSettings()
{
    return QSettings{QLatin1String(kOrganisationName), QLatin1String(kApplicationName)};
}

// Nothing at the name, or a link to nothing. A name that cannot be looked
// at (a folder on the way the user may not enter) is not gone.
bool IsGone(const QString& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path.toStdU16String(), error);
    return status.type() == std::filesystem::file_type::not_found;
}

bool IsSeriesFileName(const QFileInfo& file)
{
    return file.suffix().compare(QLatin1String("ops"), Qt::CaseInsensitive) == 0 && !file.isDir();
}

}  // namespace

AppSession::AppSession(FolderRoots roots, const LocaleInfo& systemLocale, Notifier& notifier)
    : roots_(std::move(roots)), systemLocale_(systemLocale), locale_(systemLocale), notifier_(notifier)
{
}

bool AppSession::ReadSettings()
{
    QSettings stored = StoredSettings();
    const bool placementSaved = stored.contains(QStringLiteral("WinDims/Width"));
    QStringList problems;
    settings_.Load(stored, locale_, &problems);
    recent_.Load(stored);
    writtenSettings_ = settings_;
    ApplyDateFormat();
    if (!problems.isEmpty())
        Report(problems.join(QLatin1Char('\n')));
    return placementSaved;
}

bool AppSession::PrepareFiles(bool firstRun)
{
    SeedWorkFileCounter();
    try {
        folders_ = AppFolders::Prepare(roots_, settings_.AsciiDataDir);
    } catch (const FolderError& error) {
        notifier_.Error(error.Message().toStdString());
        return false;
    }
    folders_.RemoveStaleLeftovers(settings_.AsciiDataDir);
    if (firstRun) {
        QStringList copyProblems;
        PlaceSamples(folders_, &copyProblems);
        if (!copyProblems.isEmpty())
            Report(copyProblems.join(QLatin1Char('\n')));
    }

    quoteDownload_ = true;
    historyDownload_ = false;
    quoteSelection_.clear();
    historySelection_.clear();
    LoadOrCreateDownloadList();

    QString templateProblem;
    requestTemplate_ = LoadRequestTemplate(folders_.AppDir, &templateProblem);
    if (!templateProblem.isEmpty())
        Report(templateProblem);
    started_ = true;
    return true;
}

void AppSession::LoadOrCreateDownloadList()
{
    downloadList_.Clear();
    const QString path = folders_.TickersFile();
    if (QFileInfo::exists(path)) {
        const DownloadList::LoadResult result = downloadList_.Load(path);
        listReadWhole_ = result.complete;
        if (!result.complete)
            Report(result.message);
    } else {
        downloadList_.Assign(DownloadList::DefaultEntries());
        const QString problem = downloadList_.Save(path);
        if (!problem.isEmpty())
            Report(kCannotWriteList.arg(QDir::toNativeSeparators(path), problem));
    }
    loadedList_ = downloadList_.Entries();
}

bool AppSession::Finish(int left, int top, int width)
{
    if (finished_ || !started_)
        return false;
    finished_ = true;
    settings_.Left = left;
    settings_.Top = top;
    settings_.Width = width;
    WriteSettings();

    // A list that could not be read whole is written back only when the
    // user changed it, so that what could not be read is not lost.
    if (listReadWhole_ || downloadList_.Entries() != loadedList_) {
        const QString path = folders_.TickersFile();
        const QString problem = folders_.AppDir.isEmpty() ? QString() : downloadList_.Save(path);
        if (!problem.isEmpty())
            Report(kCannotWriteList.arg(QDir::toNativeSeparators(path), problem));
    }
    return true;
}

bool AppSession::WriteSettings()
{
    // Read afresh: what the user wrote into the file since start-up is kept.
    QSettings stored = StoredSettings();
    settings_.SaveChanges(stored, locale_, writtenSettings_);
    stored.sync();
    if (stored.status() != QSettings::NoError) {
        Report(kCannotWriteSettings.arg(QDir::toNativeSeparators(stored.fileName())));
        return false;
    }
    writtenSettings_ = settings_;
    return true;
}

void AppSession::ApplyDateFormat()
{
    locale_ = ProgramLocale(systemLocale_, settings_.DateFormat);
}

QString AppSession::SettingsFile()
{
    return StoredSettings().fileName();
}

void AppSession::FollowSeriesFolder(const QString& seriesFile)
{
    const QString folder = QFileInfo(seriesFile).absolutePath();
    if (QFileInfo(folder).isDir())
        folders_.SeriesDir = folder;
}

void AppSession::NoteRecent(const QString& path)
{
    if (recent_.Add(path))
        StoreRecent();
}

bool AppSession::ForgetIfGone(const QString& path)
{
    if (!IsGone(path))
        return false;
    const QFileInfo file(path);
    Report(kRecentGone.arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())));
    if (recent_.Remove(path))
        StoreRecent();
    return true;
}

void AppSession::ClearRecent()
{
    if (recent_.Clear())
        StoreRecent();
}

void AppSession::StoreRecent()
{
    // Written at once and on its own: nothing else of the settings changes.
    QSettings stored = StoredSettings();
    recent_.Save(stored);
    stored.sync();
    if (stored.status() != QSettings::NoError)
        Report(kCannotStoreRecent.arg(QDir::toNativeSeparators(stored.fileName())));
    if (recentChanged_)
        recentChanged_();
}

bool AppSession::Defer(const QStringList& files)
{
    const bool first = deferred_.isEmpty();
    deferred_ += files;
    return first;
}

QStringList AppSession::TakeDeferred()
{
    return std::exchange(deferred_, {});
}

void AppSession::Report(const QString& text)
{
    notifier_.Info(text.toStdString());
}

bool SameSeriesFile(const QString& one, const QString& other)
{
    if (other.isEmpty())
        return false;
    const QString a = QFileInfo(one).canonicalFilePath(), b = QFileInfo(other).canonicalFilePath();
    return !a.isEmpty() ? a == b : QFileInfo(one).absoluteFilePath() == QFileInfo(other).absoluteFilePath();
}

QString ReplaceQuestion(const QString& target, const QString& ownFile)
{
    if (!QFileInfo::exists(target) || SameSeriesFile(target, ownFile))
        return {};
    return QFileInfo(target).fileName() + QStringLiteral(" already exists. Do you want to replace it?");
}

DroppedFiles SortDroppedFiles(const QList<QUrl>& urls)
{
    DroppedFiles sorted;
    QStringList refused;
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        if (url.isLocalFile() && IsSeriesFileName(file))
            sorted.series.append(file.absoluteFilePath());
        else
            refused.append(url.isLocalFile() ? file.fileName() : url.toDisplayString());
    }
    if (urls.isEmpty())
        sorted.refusal = kOnlySeriesDropped;
    else if (!refused.isEmpty())
        sorted.refusal = kOnlySeriesDropped + kNotOpened.arg(refused.join(QStringLiteral(", ")));
    return sorted;
}

}  // namespace kestrava
