#include "appcore/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrava {
namespace {

// Returns whether the folder had to be created.
bool EnsureFolder(const QString& root, const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return false;
    if (root.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throw FolderError(QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder));
    return true;
}

}  // namespace

FolderRoots FolderRoots::FromSystem()
{
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::tempPath()};
}

QString ProgramFolder(const QString& root)
{
    return QDir::cleanPath(root + QStringLiteral("/Tovanek/Kestrava27"));
}

QString ProgramDataFolder(const QString& root)
{
    return ProgramFolder(root) + QStringLiteral("/Data");
}

QString AppFolders::TickersFile() const
{
    return AppDir + QStringLiteral("/Tickers.txt");
}

AppFolders AppFolders::Prepare(const FolderRoots& roots, QString& asciiDataDir)
{
    AppFolders folders;
    folders.TempDir = QDir::cleanPath(roots.temp);

    folders.SeriesDir = ProgramDataFolder(roots.localAppData);
    folders.SeriesDirCreated = EnsureFolder(roots.localAppData, folders.SeriesDir);

    folders.DataDir = ProgramDataFolder(roots.documents);
    folders.DataDirCreated = EnsureFolder(roots.documents, folders.DataDir);
    if (folders.DataDirCreated && asciiDataDir.isEmpty())
        asciiDataDir = QDir::toNativeSeparators(folders.DataDir);
    folders.AppDir = ProgramFolder(roots.documents);
    return folders;
}

}  // namespace kestrava
