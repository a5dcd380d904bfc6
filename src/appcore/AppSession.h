#pragma once
// What the program keeps for the whole run without a window: the settings
// (as read and as last written), the folders, the download list with the
// download dialog's selections, the request template, the series of
// File > Open Recent and the series files handed over while the program was
// busy. The main window shows menus and dialogs over it; everything here
// can be driven by a test without a window.

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "appcore/AppFolders.h"
#include "appcore/AppSettings.h"
#include "appcore/DownloadList.h"
#include "appcore/RecentSeries.h"
#include "common/localeinfo.h"

namespace kestrava {

class Notifier;

class AppSession {
public:
    // Problems are told through `notifier`, which must outlive the session.
    AppSession(FolderRoots roots, const LocaleInfo& systemLocale, Notifier& notifier);

    // Start-up, in two steps so that the window can place itself between
    // them. ReadSettings reads the settings and the recent series and
    // returns whether a placement of the window was saved (false on a first
    // run). PrepareFiles finds or makes the folders (false, after a message,
    // when the program cannot run), places the samples on a first run and
    // reads the download list and the request template.
    bool ReadSettings();
    bool PrepareFiles(bool firstRun);
    // Shut-down, once: the window's placement and the changed settings
    // written, the download list written back unless that would lose what
    // could not be read of it. A start that failed has nothing worth
    // keeping; false when nothing was done.
    bool Finish(int left, int top, int width);
    // Whether the run is over: no more series files are opened, no page is
    // asked again to close.
    bool Finished() const { return finished_; }
    // Writes what changed since the settings were read or last written; a
    // failure is told, naming the settings file.
    bool WriteSettings();
    // After the date format of the settings changed.
    void ApplyDateFormat();
    static QString SettingsFile();

    AppSettings& Settings() { return settings_; }
    const AppSettings& Settings() const { return settings_; }
    const AppFolders& Folders() const { return folders_; }
    const FolderRoots& Roots() const { return roots_; }
    // The system's locale with the date format of the settings.
    const LocaleInfo& Locale() const { return locale_; }
    const LocaleInfo& SystemLocale() const { return systemLocale_; }
    DownloadList& TickerList() { return downloadList_; }
    QStringList& QuoteSelection() { return quoteSelection_; }
    QStringList& HistorySelection() { return historySelection_; }
    bool& QuoteDownloadFlag() { return quoteDownload_; }
    bool& HistoryDownloadFlag() { return historyDownload_; }
    const QByteArray& RequestTemplate() const { return requestTemplate_; }

    // The start folder of the open and save dialogs follows every series
    // file opened or saved, as long as its folder is there.
    void FollowSeriesFolder(const QString& seriesFile);

    // File > Open Recent. Every change is written at once on its own, then
    // `recentChanged` runs (the menu is made afresh).
    const RecentSeries& RecentFiles() const { return recent_; }
    void SetRecentListener(std::function<void()> recentChanged) { recentChanged_ = std::move(recentChanged); }
    void NoteRecent(const QString& path);
    // A file that is no longer there leaves the list with a message; true
    // then. One that is there but cannot be opened stays: it may be
    // readable tomorrow.
    bool ForgetIfGone(const QString& path);
    void ClearRecent();

    // Series files that arrive while the program is busy wait here. Returns
    // true for the first of a batch: the caller then looks again later.
    bool Defer(const QStringList& files);
    QStringList TakeDeferred();

private:
    void LoadOrCreateDownloadList();
    void StoreRecent();
    void Report(const QString& text);

    FolderRoots roots_;
    LocaleInfo systemLocale_;
    LocaleInfo locale_;
    Notifier& notifier_;

    AppSettings settings_;
    AppSettings writtenSettings_;  // as read at start-up or last written
    AppFolders folders_;
    DownloadList downloadList_;
    QStringList loadedList_;     // the list as read at start-up
    bool listReadWhole_ = true;  // false: the file could not be read whole
    QStringList quoteSelection_;
    QStringList historySelection_;
    bool quoteDownload_ = true;
    bool historyDownload_ = false;
    QByteArray requestTemplate_;
    RecentSeries recent_;
    std::function<void()> recentChanged_;
    QStringList deferred_;
    bool started_ = false;  // the folders are there
    bool finished_ = false;
};

// Whether two names are the same file: through links when both are there,
// else by their absolute names. An empty `other` is no file.
bool SameSeriesFile(const QString& one, const QString& other);

// The question before a save over `target`, or nothing when the save needs
// none: another series' file is replaced only when the user says so, the
// page's own file (`ownFile`) is saved over without a question.
QString ReplaceQuestion(const QString& target, const QString& ownFile);

// Dropped files sorted: series files (absolute paths) to open, and the
// names of the rest; `refusal` is the message for the rest, empty when
// there is nothing to say.
struct DroppedFiles {
    QStringList series;
    QString refusal;
};
DroppedFiles SortDroppedFiles(const QList<QUrl>& urls);

}  // namespace kestrava
