#pragma once
// The program's settings and folders as its start finds or makes them, for
// the commands that read and write the program's own files (download,
// import-history).

#include <filesystem>
#include <optional>

#include <QString>

#include "appcore/AppFolders.h"
#include "appcore/AppSettings.h"
#include "common/localeinfo.h"
#include "common/notifier.h"

namespace kestrava::cli {

struct ProgramFiles {
    AppSettings settings;
    AppFolders folders;
    QString settingsFile;  // where the settings are kept, in the system's notation
};

// Reads the settings under locale (saying what is wrong with them through
// notifier) and finds or makes the folders; a data folder made now becomes
// the price-file folder, as on a first start of the program, and leftovers
// of killed saves go. Nothing, after saying why, when a folder cannot be made.
std::optional<ProgramFiles> OpenProgramFiles(const LocaleInfo& locale, Notifier& notifier);

std::filesystem::path ToPath(const QString& folder);

// Where price files go: the setting Dirs/AsciiDataDir, else the data folder.
std::filesystem::path PriceFolder(const ProgramFiles& files);

}  // namespace kestrava::cli
