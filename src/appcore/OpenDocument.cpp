#include "appcore/OpenDocument.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace kestrava {

void OpenDocument(const QString& file, QObject* context, const OpenReport& report, const QString& failure)
{
    // On a Unix desktop the opener is a program that only finds out after
    // starting that no program for the file is there; it is watched to the
    // end.
    const QString platform = QGuiApplication::platformName();
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if ((platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland")))
        && !opener.isEmpty()) {
        OpenWithOpener(opener, file, context, report, failure);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        report(failure);
}

void OpenWithOpener(const QString& opener, const QString& file, QObject* context, const OpenReport& report,
                    const QString& failure)
{
    // The opener may wait for the program it started; the process stays
    // until it ends, or until the program does.
    auto* process = new QProcess(context);
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, failure, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         report(failure);
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, context,
                     [process, failure, report](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             report(failure);
                         process->deleteLater();
                     });
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(opener, {file});
}

}  // namespace kestrava
