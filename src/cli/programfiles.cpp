#include "cli/programfiles.h"

#include <QDir>
#include <QSettings>
#include <QStringList>

namespace kestrava::cli {

std::optional<ProgramFiles> OpenProgramFiles(const LocaleInfo& locale, Notifier& notifier)
{
    QSettings stored{QLatin1String(kOrganisationName), QLatin1String(kApplicationName)};
    ProgramFiles files;
    files.settingsFile = QDir::toNativeSeparators(stored.fileName());
    QStringList problems;
    files.settings.Load(stored, locale, &problems);
    for (const QString& problem : problems)
        notifier.Info(problem.toStdString());

    const QString asciiBefore = files.settings.AsciiDataDir;
    try {
        files.folders = AppFolders::Prepare(FolderRoots::FromSystem(), files.settings.AsciiDataDir);
    } catch (const FolderError& error) {
        notifier.Error(error.what());
        return std::nullopt;
    }
    if (files.settings.AsciiDataDir != asciiBefore) {
        stored.setValue(QStringLiteral("Dirs/AsciiDataDir"), files.settings.AsciiDataDir);
        stored.sync();
    }
    files.folders.RemoveStaleLeftovers(files.settings.AsciiDataDir);
    return files;
}

std::filesystem::path ToPath(const QString& folder)
{
    return std::filesystem::path(QDir::fromNativeSeparators(folder).toStdString());
}

std::filesystem::path PriceFolder(const ProgramFiles& files)
{
    return ToPath(files.settings.AsciiDataDir.isEmpty() ? files.folders.DataDir
                                                        : files.settings.AsciiDataDir);
}

}  // namespace kestrava::cli
