#pragma once
// The program's command line: `kestrava [FILE.ops...]`, `--help` and
// `--version`. Qt's own options (-platform, -style, ...) are taken out by
// QApplication before the files are read.

#include <QString>
#include <QStringList>

namespace kestrava {

struct StartArguments {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // The series files to open, as absolute paths, in the order given.
    QStringList files;
    // What was wrong with the command line (Action::Error).
    QString error;
};

// Reads a command line whose first entry is the program. Relative file names
// are taken against `currentFolder`; file: URLs are taken as the file they
// name. --help or --version anywhere before "--" wins over everything else.
StartArguments ParseStartArguments(const QStringList& arguments, const QString& currentFolder);

// What --help and --version print.
QString StartHelpText();
QString StartVersionText();

}  // namespace kestrava
