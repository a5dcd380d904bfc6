#include "app/StartArguments.h"

#include <QDir>
#include <QUrl>

namespace kestrava {
namespace {

bool IsHelp(const QString& argument)
{
    return argument == QLatin1String("-h") || argument == QLatin1String("--help")
           || argument == QLatin1String("-?");
}

bool IsVersion(const QString& argument)
{
    return argument == QLatin1String("-v") || argument == QLatin1String("--version");
}

QString AbsoluteFile(const QString& argument, const QString& currentFolder)
{
    QString path = argument;
    // Launchers that hand over URLs instead of paths.
    if (argument.startsWith(QLatin1String("file:"))) {
        const QUrl url(argument);
        if (url.isLocalFile())
            path = url.toLocalFile();
    }
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(path));
}

}  // namespace

StartArguments ParseStartArguments(const QStringList& arguments, const QString& currentFolder)
{
    StartArguments result;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && IsHelp(argument))
            return {StartArguments::Action::Help, {}, {}};
        if (!optionsEnded && IsVersion(argument))
            return {StartArguments::Action::Version, {}, {}};
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (result.error.isEmpty())
                result.error = QStringLiteral("kestrava: unknown option %1").arg(argument);
        } else if (!argument.isEmpty()) {
            result.files.append(AbsoluteFile(argument, currentFolder));
        }
    }
    if (!result.error.isEmpty())
        result.action = StartArguments::Action::Error;
    return result;
}

QString StartHelpText()
{
    return QStringLiteral("Usage: kestrava [OPTION] [FILE.ops...]\n"
                          "Models exchange-traded options: opens the main strip, and a page for each\n"
                          "option series file named, as File > Open saved option series... does.\n"
                          "\n"
                          "When Kestrava is already running on this display, the files open in it and\n"
                          "this start ends; without files the running program comes to the front.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this help and end\n"
                          "  -v, --version  show the version and end\n"
                          "  --             every argument after it is a file\n");
}

QString StartVersionText()
{
#ifdef KESTRAVA_VERSION
    return QStringLiteral("kestrava " KESTRAVA_VERSION "\n");
#else
    return QStringLiteral("kestrava\n");
#endif
}

}  // namespace kestrava
