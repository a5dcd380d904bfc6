#include "app/Application.h"

#include <QApplication>
#include <QIcon>

#include "app/AppIcons.h"
#include "app/DownloadCommands.h"
#include "app/GuiSeams.h"
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

int RunApplication(QApplication& app)
{
    QCoreApplication::setOrganizationName(QLatin1String(kOrganisationName));
    QCoreApplication::setApplicationName(QLatin1String(kApplicationName));
#ifdef KESTRAVA_VERSION
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
#endif
    QApplication::setWindowIcon(AppIcon(QStringLiteral("kestrava")));

    MessageBoxNotifier notifier;
    WaitCursorIndicator waitCursor;
    SetBusyIndicator(&waitCursor);

    TMainForm mainForm({FolderRoots::FromSystem(), SystemLocaleInfo(), &notifier});
    notifier.SetParent(&mainForm);
    mainForm.SetPageFactory(OptionPageFactory());
    mainForm.SetDownloadCommand(DownloadCommand());
    mainForm.SetDownloadListEditor(SymbolEditorCommand());
    int status = 1;
    if (mainForm.FormCreate())
        status = app.exec();
    SetBusyIndicator(nullptr);
    return status;
}

}  // namespace kestrava
