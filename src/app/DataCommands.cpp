#include "app/DataCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QToolButton>

#include "app/IntRateDlg.h"
#include "app/MainForm.h"
#include "app/ServersDlg.h"
#include "appcore/OpenDocument.h"
#include "common/notifier.h"
#include "common/qt/seriestext.h"

namespace kestrava {
namespace {

const QString kNoSymbols = QStringLiteral("You need to enter one or more symbols to download.");

}  // namespace

void DataCommands::sbViewDataClick()
{
    IOptionPage* page = form_.FindActivePage();
    if (!page)
        return;
    // The quote file the page reads its quotes from.
    const QString quoteFile = SymbolQuoteFile(ToSeriesText(page->Title()), form_.Session().Folders().DataDir);
    if (quoteFile.isEmpty() || !QFileInfo::exists(quoteFile))
        return;
    OpenDocument(
        quoteFile, &form_, [this](const QString& problem) { form_.Messages().Info(problem.toStdString()); },
        QStringLiteral("No program could be started to show ") + QDir::toNativeSeparators(quoteFile));
}

void DataCommands::DoDownload()
{
    if (form_.Session().TickerList().IsEmpty()) {
        form_.Messages().Info(kNoSymbols.toStdString());
        form_.Progress().spdbtnDownload()->setChecked(false);
        return;
    }
    if (downloadCommand_) {
        form_.Progress().spdbtnDownload()->setChecked(true);
        downloadCommand_(form_);
    } else {
        form_.Progress().spdbtnDownload()->setChecked(false);
    }
}

void DataCommands::EditDownloadListItemClick()
{
    if (downloadListEditor_)
        downloadListEditor_(form_);
}

void DataCommands::Editdefaultinterestrates1Click()
{
    TdlgIntRates dialog(form_.Session().Settings(), form_.Session().Locale(), &form_);
    QObject::connect(&dialog, &TdlgIntRates::HelpRequested, &form_,
                     [this](const QString& keyword) { form_.Help().ShowHelpPage(keyword); });
    if (dialog.exec() == QDialog::Accepted)
        form_.Session().WriteSettings();
}

void DataCommands::EditServersClick()
{
    const QString file = AppSession::SettingsFile();
    TdlgServers dialog(form_.Session().Settings(), form_.Session().SystemLocale(),
                       QDir::toNativeSeparators(file), &form_);
    QObject::connect(&dialog, &TdlgServers::HelpRequested, &form_,
                     [this](const QString& keyword) { form_.Help().ShowHelpPage(keyword); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Pages opened from now on and the next download follow the new format.
    form_.Session().ApplyDateFormat();
    form_.Session().WriteSettings();
}

}  // namespace kestrava
