#include "appcore/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <chrono>
#include <filesystem>

#include "common/filereplace.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/WorkFolder.h"

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
    // Nothing is ever written straight into the shared temporary folder.
    const QString temp = QDir::cleanPath(roots.temp);
    try {
        folders.TempDir = QString::fromStdString(PrivateWorkFolder(temp.toStdString()).string());
    } catch (const MarketDataError&) {
        throw FolderError(QStringLiteral("Cannot create a private folder in ")
                          + QDir::toNativeSeparators(temp));
    }

    folders.SeriesDir = ProgramDataFolder(roots.localAppData);
    folders.SeriesDirCreated = EnsureFolder(roots.localAppData, folders.SeriesDir);

    folders.DataDir = ProgramDataFolder(roots.documents);
    folders.DataDirCreated = EnsureFolder(roots.documents, folders.DataDir);
    if (folders.DataDirCreated && asciiDataDir.isEmpty())
        asciiDataDir = QDir::toNativeSeparators(folders.DataDir);
    folders.AppDir = ProgramFolder(roots.documents);
    return folders;
}

void AppFolders::RemoveStaleLeftovers(const QString& asciiDataDir) const
{
    constexpr std::chrono::hours kDay{24};
    QStringList folders{SeriesDir, DataDir};
    if (!asciiDataDir.isEmpty()
        && !folders.contains(QDir::cleanPath(QDir::fromNativeSeparators(asciiDataDir))))
        folders.append(QDir::cleanPath(QDir::fromNativeSeparators(asciiDataDir)));
    for (const QString& folder : folders)
        kestrava::RemoveStaleLeftovers(std::filesystem::path(folder.toStdString()), kDay);
}

}  // namespace kestrava
