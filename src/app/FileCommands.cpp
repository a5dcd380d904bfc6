// The main window's commands on series files and pages (FileCommands.h);
// File > Import price history... is in HistoryImport.cpp.

#include "app/FileCommands.h"

#include <exception>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "analysis/GridExport.h"
#include "app/Inputs.h"
#include "app/MainForm.h"
#include "appcore/SetupRules.h"
#include "common/busy.h"
#include "common/notifier.h"
#include "marketdata/PriceFileReader.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

// The file the user accepted in the dialog. Taken when the dialog accepts:
// its directory listing, still loading, may change the dialog's selection
// before exec() returns.
QString ChosenFile(QFileDialog& dialog)
{
    QString chosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected, &dialog,
                     [&chosen](const QString& file) { chosen = file; });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return chosen;
}

const QString kSeriesFilter = QStringLiteral("Option Series File (*.ops *.OPS)");

}  // namespace

FileCommands::FileCommands(TMainForm& form) : form_(form)
{
}

AppSession& FileCommands::Session() const
{
    return form_.Session();
}

Notifier& FileCommands::Messages() const
{
    return form_.Messages();
}

std::unique_ptr<TdlgInputs> FileCommands::NewSetupDialog()
{
    // Created without owner, like every top-level dialog of the program.
    auto dialog = std::make_unique<TdlgInputs>(TdlgInputs::Environment{
        Session().Locale(), Session().Folders().TempDir, Session().Settings().AsciiDataDir, &Messages()});
    QObject::connect(dialog.get(), &TdlgInputs::HelpRequested, &form_,
                     [this](const QString& keyword) { form_.Help().ShowHelpPage(keyword); });
    if (setupDialogHook_)
        setupDialogHook_(*dialog);
    return dialog;
}

bool FileCommands::RunSetupDialog(TdlgInputs& dialog)
{
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The folder of a picked price file counts also when the dialog was
    // cancelled.
    Session().Settings().AsciiDataDir = dialog.AsciiDataDir();
    return accepted;
}

void FileCommands::FileNew()
{
    std::unique_ptr<TdlgInputs> dialog = NewSetupDialog();
    dialog->PrepareNew();
    const bool accepted = RunSetupDialog(*dialog);
    if (accepted) {
        form_.update();
        TMainForm::PageRequest request;
        request.setupDialog = dialog.get();
        if (IOptionPage* page = form_.CreatePage(request)) {
            page->SetSeriesFile(page->Title() + QStringLiteral(".ops"));
            const QString priceFile = page->PriceTextFile();
            const QString base = !priceFile.isEmpty() && QFileInfo::exists(priceFile)
                                     ? PriceFileBase(priceFile).toUpper()
                                     : QString();
            // Only equities and indexes have a history to fetch; a page without
            // any expiry leaves the list alone.
            const std::vector<const TInOutObj*> expiries = page->Expiries();
            if (!expiries.empty() && expiries.front()
                && (expiries.front()->ContractType == kEquity || expiries.front()->ContractType == kIndex)
                && !page->Title().isEmpty())
                Session().TickerList().ReplaceSymbol(page->Title(), base);
            form_.ShowPage(page);
        }
    }
}

void FileCommands::EditChangeOption()
{
    IOptionPage* oldPage = form_.FindActivePage();
    if (!oldPage)
        return;
    std::unique_ptr<TdlgInputs> dialog;
    {
        // Preparing reads the price work file; the wait cursor is gone again
        // before the dialog takes the user's input.
        BusyScope busy;
        dialog = NewSetupDialog();
        dialog->PrepareFromPage(oldPage->Expiries(), oldPage->PriceWorkFile());
    }
    QPointer<QWidget> oldWindow = oldPage->Window();
    const bool accepted = RunSetupDialog(*dialog);
    // The old page may have gone while the dialog was open.
    if (accepted && oldWindow) {
        // The events run here may take the old page away too; what the new
        // page needs of it is read first.
        const QString seriesFile = oldPage->SeriesFile();
        oldPage = nullptr;
        QCoreApplication::processEvents();
        form_.update();
        TMainForm::PageRequest request;
        request.setupDialog = dialog.get();
        if (IOptionPage* page = form_.CreatePage(request)) {
            page->SetSeriesFile(seriesFile);
            // The position goes with the series to its new page.
            if (IOptionPage* old = form_.Pages().OfWindow(oldWindow))
                page->TakePositionOf(*old);
            const QString priceFile = page->PriceTextFile();
            if (!priceFile.isEmpty() && QFileInfo::exists(priceFile))
                Session().TickerList().ReplaceSymbol(page->Title(), PriceFileBase(priceFile));
            // Showing runs events, which may close the new page as well.
            const QPointer<QWidget> newWindow = page->Window();
            form_.ShowPage(page);
            if (oldWindow) {
                oldWindow->close();
                oldWindow->deleteLater();
            }
            form_.Pages().SetCurrent(newWindow);
        }
    }
}

void FileCommands::FileOpen()
{
    QFileDialog dialog(&form_, QStringLiteral("Load a saved option series grid"),
                       Session().Folders().SeriesDir, kSeriesFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("ops"));
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    const QString chosen = ChosenFile(dialog);
    if (!chosen.isEmpty())
        form_.OpenSeries(chosen);
}

void FileCommands::FileSave()
{
    SavePageAs(form_.FindActivePage());
}

bool FileCommands::SavePageAs(IOptionPage* page)
{
    if (!page)
        return false;
    QFileDialog dialog(&form_, QStringLiteral("Save Option Series"), Session().Folders().SeriesDir,
                       kSeriesFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("ops"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(page->SeriesFile());
    // The page may close while the dialog is open; nothing is saved then.
    const QPointer<QWidget> window = page->Window();
    const QString path = ChosenFile(dialog);
    if (path.isEmpty() || !window)
        return false;
    if (const QString question = ReplaceQuestion(path, page->SeriesFile()); !question.isEmpty())
        if (!Messages().AskYesNoDefaultNo(question.toStdString()) || !window)
            return false;
    const QString ownFile = page->SeriesFile();
    page->SetSeriesFile(path);
    bool saved = false;
    try {
        saved = page->SavePage();
    } catch (const std::exception& error) {
        Messages().Info(error.what());
    }
    // A failed save keeps the page's file and the dialogs' folder as they were.
    if (!saved) {
        if (window)
            page->SetSeriesFile(ownFile);
        return false;
    }
    // A read-only file's series may have gone into a copy chosen then.
    const QString savedTo = page->SeriesFile();
    Session().FollowSeriesFolder(savedTo);
    Session().NoteRecent(savedTo);
    return true;
}

void FileCommands::FilePrint()
{
    IOptionPage* page = form_.FindActivePage();
    if (!page)
        return;
    // At the printer's own resolution: the grid's fixed-pitch font is sized
    // to the page, and a screen resolution would round it coarsely.
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(page->Title());
    // Without a printer the page goes to a PDF file named after its series,
    // in the user's documents; the dialog shows the name to change.
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        printer.setOutputFileName(documents + QLatin1Char('/') + page->Title() + QStringLiteral(".pdf"));
    }
    QPrintDialog dialog(&printer, &form_);
    const QPointer<QWidget> window = page->Window();
    if (dialog.exec() != QDialog::Accepted || !window)
        return;
    try {
        page->PrintPage(printer);
    } catch (const std::exception& error) {
        Messages().Info(error.what());
    }
}

void FileCommands::FileExportGrid()
{
    IOptionPage* page = form_.FindActivePage();
    if (!page)
        return;
    // SYMBOL.csv is the name of the daily history the chart reads: the grid
    // goes to a name of its own in the documents folder, and never over the
    // series' price file.
    const QString priceFile = page->PriceTextFile();
    const QString base = Session().Roots().documents + QLatin1Char('/') + page->Title()
                         + QStringLiteral("-grid");
    QString proposed = base + QStringLiteral(".csv");
    for (int n = 2; SameSeriesFile(proposed, priceFile); ++n)
        proposed = base + QStringLiteral("-%1.csv").arg(n);
    QFileDialog dialog(&form_, QStringLiteral("Export grid"), Session().Roots().documents,
                       QStringLiteral("Comma-separated values (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(proposed);
    const QPointer<QWidget> window = page->Window();
    const QString path = ChosenFile(dialog);
    if (path.isEmpty() || !window)
        return;
    if (SameSeriesFile(path, priceFile)) {
        Messages().Info(
            QStringLiteral(
                "%1 is the price file of %2; the grid is not written over it. Choose another name.")
                .arg(QDir::toNativeSeparators(path), page->Title())
                .toStdString());
        return;
    }
    try {
        WriteGridCsvFile(path.toStdString(), page->Expiries());
    } catch (const std::exception& error) {
        Messages().Info(error.what());
    }
}

void FileCommands::FileExit()
{
    form_.close();
}

void FileCommands::FileOpenChain()
{
    QFileDialog dialog(&form_, QStringLiteral("Open an option quote table"), Session().Folders().DataDir,
                       QStringLiteral("Option quote tables (*.txt *.dat *.csv);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString chosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected, &dialog,
                     [&chosen](const QString& file) { chosen = file; });
    if (dialog.exec() != QDialog::Accepted || chosen.isEmpty())
        return;
    form_.OpenChain(chosen);
}

void FileCommands::FileOpenRecent(const QString& path)
{
    if (!Session().ForgetIfGone(path))
        form_.OpenSeries(path);
}

void FileCommands::FileClearRecent()
{
    Session().ClearRecent();
}

void FileCommands::RefreshRecentMenu()
{
    // The action that asked for the change may be the one being replaced;
    // it goes once its signal is over.
    for (QAction* action : recentMenu_->actions()) {
        recentMenu_->removeAction(action);
        action->deleteLater();
    }
    const RecentSeries& recent = Session().RecentFiles();
    const QStringList texts = recent.MenuTexts();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString file = recent.Files()[i];
        QAction* action = recentMenu_->addAction(texts[i]);
        action->setToolTip(QDir::toNativeSeparators(file));
        QObject::connect(action, &QAction::triggered, &form_, [this, file] { FileOpenRecent(file); });
    }
    recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(QStringLiteral("Clear list"));
    clear->setObjectName(QStringLiteral("FileClearRecentItem"));
    QObject::connect(clear, &QAction::triggered, &form_, [this] { FileClearRecent(); });
    recentMenu_->menuAction()->setEnabled(!recent.IsEmpty());
}

}  // namespace kestrava
