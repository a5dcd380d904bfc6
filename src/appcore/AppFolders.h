#pragma once
// The program's folders: series files under the local application data, quote
// and price files and the download list under the documents folder, work
// files in a private folder of the temporary folder.

#include <stdexcept>

#include <QString>

namespace kestrava {

// What the platform reports; tests hand in folders of their own.
struct FolderRoots {
    QString localAppData;  // QStandardPaths::GenericDataLocation
    QString documents;     // QStandardPaths::DocumentsLocation
    QString temp;

    static FolderRoots FromSystem();
};

class FolderError : public std::runtime_error {
public:
    explicit FolderError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString& Message() const { return message_; }

private:
    QString message_;
};

struct AppFolders {
    // The user's private work folder inside the temporary directory
    // ("kestrava-UID", owner only): price work files and download replies.
    QString TempDir;
    QString SeriesDir;  // start folder of the open and save dialogs of .ops files
    QString DataDir;    // quote files, downloaded history
    QString AppDir;     // the download list
    bool SeriesDirCreated = false;
    bool DataDirCreated = false;

    QString TickersFile() const;

    // Finds or creates the series and data folders and the private work
    // folder. When the data folder had to be created and `asciiDataDir` is
    // empty, it becomes the data folder. Throws FolderError "Cannot create
    // <folder>" when a folder cannot be made.
    static AppFolders Prepare(const FolderRoots& roots, QString& asciiDataDir);

    // Removes what saves and downloads killed on the way left in the series,
    // data and price-file folders more than a day ago: new versions that
    // never took their file's place ("NAME.~1a2b3c4d.tmp", "NAME.part").
    void RemoveStaleLeftovers(const QString& asciiDataDir) const;
};

// "Tovanek/Kestrava27" below a root folder, and its "Data" folder.
QString ProgramFolder(const QString& root);
QString ProgramDataFolder(const QString& root);

}  // namespace kestrava
