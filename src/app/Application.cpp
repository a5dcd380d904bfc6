#include "app/Application.h"

#include <cstdio>

#include <QApplication>
#include <QIcon>

#include "app/AppIcons.h"
#include "app/DownloadCommands.h"
#include "app/GuiSeams.h"
#include "app/InstanceChannel.h"
#include "app/MainForm.h"
#include "app/OptionPageAdapter.h"
#include "appcore/AppSettings.h"
#include "common/qt/systemlocale.h"

namespace kestrava {

bool DisplayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

int RunApplication(QApplication& app, const QStringList& files)
{
    QCoreApplication::setOrganizationName(QLatin1String(kOrganisationName));
    QCoreApplication::setApplicationName(QLatin1String(kApplicationName));
#ifdef KESTRAVA_VERSION
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
#endif
    QApplication::setWindowIcon(AppIcon(QStringLiteral("kestrava")));

    MessageBoxNotifier notifier;
    // One program per user and display, so that two never write their
    // settings over each other's.
    QString problem;
    const QString socketPath = InstanceSocketPath(&problem);
    InstanceChannel channel(socketPath, problem);
    switch (channel.ClaimOrHandOver(files, &problem)) {
    case InstanceChannel::Claim::HandedOver:
        return 0;
    case InstanceChannel::Claim::NotAnswered:
        std::fprintf(stderr, "kestrava: %s\n", qPrintable(problem));
        notifier.Info(problem.toStdString());
        return 1;
    case InstanceChannel::Claim::Unavailable:
        std::fprintf(stderr, "kestrava: %s Starting without looking for a running Kestrava.\n",
                     qPrintable(problem));
        break;
    case InstanceChannel::Claim::Listening:
        break;
    }

    WaitCursorIndicator waitCursor;
    SetBusyIndicator(&waitCursor);

    TMainForm mainForm({FolderRoots::FromSystem(), SystemLocaleInfo(), &notifier});
    notifier.SetParent(&mainForm);
    mainForm.SetPageFactory(OptionPageFactory());
    mainForm.SetDownloadCommand(DownloadCommand());
    mainForm.SetDownloadListEditor(SymbolEditorCommand());
    mainForm.SetStartFiles(files);
    int status = 1;
    if (mainForm.FormCreate()) {
        channel.SetReceiver([&mainForm](const QStringList& handed) { mainForm.HandOver(handed); });
        status = app.exec();
        channel.SetReceiver(nullptr);
    }
    SetBusyIndicator(nullptr);
    return status;
}

}  // namespace kestrava
