#include "app/MainForm.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolButton>

#include "analysis/GridExport.h"
#include "app/About.h"
#include "app/AppIcons.h"
#include "app/BatchNotifier.h"
#include "app/GuiSeams.h"
#include "app/Inputs.h"
#include "app/IntRateDlg.h"
#include "app/ServersDlg.h"
#include "appcore/HelpPages.h"
#include "appcore/OpenDocument.h"
#include "appcore/SetupRules.h"
#include "appcore/StartupFiles.h"
#include "appcore/WindowPlacement.h"
#include "common/busy.h"
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

const QString kCaption = QLatin1String(kApplicationTitle);
const QString kSeriesFilter = QStringLiteral("Option Series File (*.ops *.OPS)");
const QString kNoSymbols = QStringLiteral("You need to enter one or more symbols to download.");

}  // namespace

TMainForm::TMainForm(Environment environment, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowCloseButtonHint),
      ownNotifier_(environment.notifier ? nullptr : std::make_unique<MessageBoxNotifier>(this)),
      batch_(std::make_unique<BatchNotifier>(environment.notifier ? *environment.notifier : *ownNotifier_)),
      notifier_(batch_.get()),
      session_(std::move(environment.roots), environment.locale, *notifier_)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kCaption);
    setWindowIcon(AppIcon(QStringLiteral("kestrava")));
    BuildMenus();
    BuildStrip();
    session_.SetRecentListener([this] { RefreshRecentMenu(); });

    // F1 anywhere outside a dialog: the pages are windows of their own and
    // name their help page by the property "helpKeyword".
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &TMainForm::FormHelp);
    // Shut-down also when the session ends without closing the window.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { FormClose(); });
    // Series files dropped on the strip, on a page or on a page's boxes.
    setAcceptDrops(true);
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    closing_ = true;
    // The page windows are children of this window and go with it; by then
    // this object is half gone, so their destroyed() must not reach it.
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window)
            disconnect(window, nullptr, this, nullptr);
    pages_.Clear();
}

bool TMainForm::FormCreate()
{
    const bool placementSaved = session_.ReadSettings();
    RefreshRecentMenu();
    ApplyPlacement(placementSaved);
    if (!session_.PrepareFiles(!placementSaved))
        return false;
    show();
    progress_.lblTicker()->hide();
    // A first run shows a priced grid at once: the sample series below the
    // strip, unless the command line named the series to show.
    if (!placementSaved && startFiles_.isEmpty())
        OpenSampleSeries();
    OpenSeriesFiles(std::exchange(startFiles_, {}));
    return true;
}

void TMainForm::OpenSampleSeries()
{
    const QString sample = session_.Folders().SeriesDir + QLatin1Char('/') + kSampleSeriesName;
    if (!QFileInfo::exists(sample))
        return;
    request_.openFileName = sample;
    request_.openFromFile = true;
    if (IOptionPage* page = CreatePage())
        ShowPage(page);
}

void TMainForm::ApplyPlacement(bool placementSaved)
{
    const AppSettings& settings = session_.Settings();
    QScreen* screen = QGuiApplication::primaryScreen();
    int savedWidth = placementSaved ? settings.Width : 0;
    // A strip saved on a screen that is no longer there would open out of
    // sight; it is placed as on a first run instead.
    if (savedWidth != 0
        && !QGuiApplication::screenAt(QPoint(settings.Left + savedWidth / 2, settings.Top + 4)))
        savedWidth = 0;
    // A saved strip stays on the screen it was saved on.
    if (savedWidth != 0)
        if (QScreen* saved = QGuiApplication::screenAt(
                QPoint(settings.Left + savedWidth / 2, settings.Top + 4)))
            screen = saved;
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int screenWidth = screen ? screen->geometry().width() : workArea.width();
    const StripPlacement placement = PlaceStrip(settings.Left, settings.Top, savedWidth, workArea,
                                                screenWidth, height());
    setMinimumWidth(placement.minWidth);
    resize(placement.width, height());
    move(placement.left, placement.top);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Every way out (File > Exit, the window's close button, a quit of the
    // application) comes here: a page with a changed position asks first,
    // and Cancel keeps the program running.
    if (!session_.Finished() && !ClosePages()) {
        event->ignore();
        return;
    }
    FormClose();
    closing_ = true;
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window)
            window->hide();
    event->accept();
}

bool TMainForm::ClosePages()
{
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window && !window->close())
            return false;
    return true;
}

void TMainForm::FormClose()
{
    session_.Finish(pos().x(), pos().y(), width());
}

void TMainForm::Report(const QString& text)
{
    notifier_->Info(text.toStdString());
}

// ---- commands

std::unique_ptr<TdlgInputs> TMainForm::NewSetupDialog()
{
    // Created without owner, like every top-level dialog of the program.
    auto dialog = std::make_unique<TdlgInputs>(TdlgInputs::Environment{
        session_.Locale(), session_.Folders().TempDir, session_.Settings().AsciiDataDir, notifier_});
    connect(dialog.get(), &TdlgInputs::HelpRequested, this, &TMainForm::ShowHelpPage);
    if (setupDialogHook_)
        setupDialogHook_(*dialog);
    return dialog;
}

bool TMainForm::RunSetupDialog(TdlgInputs& dialog)
{
    request_.setupDialog = &dialog;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The folder of a picked price file counts also when the dialog was
    // cancelled.
    session_.Settings().AsciiDataDir = dialog.AsciiDataDir();
    return accepted;
}

void TMainForm::FileNew()
{
    std::unique_ptr<TdlgInputs> dialog = NewSetupDialog();
    dialog->PrepareNew();
    const bool accepted = RunSetupDialog(*dialog);
    if (accepted) {
        update();
        request_.openFromFile = false;
        if (IOptionPage* page = CreatePage()) {
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
                session_.TickerList().ReplaceSymbol(page->Title(), base);
            ShowPage(page);
        }
    }
    request_.setupDialog = nullptr;
}

void TMainForm::EditChangeOption()
{
    IOptionPage* oldPage = FindActivePage();
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
        update();
        request_.openFromFile = false;
        if (IOptionPage* page = CreatePage()) {
            page->SetSeriesFile(seriesFile);
            // The position goes with the series to its new page.
            if (IOptionPage* old = pages_.OfWindow(oldWindow))
                page->TakePositionOf(*old);
            const QString priceFile = page->PriceTextFile();
            if (!priceFile.isEmpty() && QFileInfo::exists(priceFile))
                session_.TickerList().ReplaceSymbol(page->Title(), PriceFileBase(priceFile));
            // Showing runs events, which may close the new page as well.
            const QPointer<QWidget> newWindow = page->Window();
            ShowPage(page);
            if (oldWindow) {
                oldWindow->close();
                oldWindow->deleteLater();
            }
            pages_.SetCurrent(newWindow);
        }
    }
    request_.setupDialog = nullptr;
}

void TMainForm::FileOpen()
{
    QFileDialog dialog(this, QStringLiteral("Load a saved option series grid"), session_.Folders().SeriesDir,
                       kSeriesFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("ops"));
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    const QString chosen = ChosenFile(dialog);
    if (!chosen.isEmpty())
        OpenSeries(chosen);
}

void TMainForm::FileSave()
{
    SavePageAs(FindActivePage());
}

bool TMainForm::SaveWindowAs(QWidget* window)
{
    IOptionPage* page = pages_.OfWindow(window);
    return page && SavePageAs(page);
}

bool TMainForm::SavePageAs(IOptionPage* page)
{
    if (!page)
        return false;
    QFileDialog dialog(this, QStringLiteral("Save Option Series"), session_.Folders().SeriesDir,
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
        if (!notifier_->AskYesNoDefaultNo(question.toStdString()) || !window)
            return false;
    const QString ownFile = page->SeriesFile();
    page->SetSeriesFile(path);
    bool saved = false;
    try {
        saved = page->SavePage();
    } catch (const std::exception& error) {
        Report(QString::fromStdString(error.what()));
    }
    // A failed save keeps the page's file and the dialogs' folder as they were.
    if (!saved) {
        if (window)
            page->SetSeriesFile(ownFile);
        return false;
    }
    // A read-only file's series may have gone into a copy chosen then.
    const QString savedTo = page->SeriesFile();
    session_.FollowSeriesFolder(savedTo);
    session_.NoteRecent(savedTo);
    return true;
}

void TMainForm::FilePrint()
{
    IOptionPage* page = FindActivePage();
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
    QPrintDialog dialog(&printer, this);
    const QPointer<QWidget> window = page->Window();
    if (dialog.exec() != QDialog::Accepted || !window)
        return;
    try {
        page->PrintPage(printer);
    } catch (const std::exception& error) {
        Report(QString::fromStdString(error.what()));
    }
}

void TMainForm::FileExportGrid()
{
    IOptionPage* page = FindActivePage();
    if (!page)
        return;
    // SYMBOL.csv is the name of the daily history the chart reads: the grid
    // goes to a name of its own in the documents folder, and never over the
    // series' price file.
    const QString priceFile = page->PriceTextFile();
    const QString base = session_.Roots().documents + QLatin1Char('/') + page->Title()
                         + QStringLiteral("-grid");
    QString proposed = base + QStringLiteral(".csv");
    for (int n = 2; SameSeriesFile(proposed, priceFile); ++n)
        proposed = base + QStringLiteral("-%1.csv").arg(n);
    QFileDialog dialog(this, QStringLiteral("Export grid"), session_.Roots().documents,
                       QStringLiteral("Comma-separated values (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(proposed);
    const QPointer<QWidget> window = page->Window();
    const QString path = ChosenFile(dialog);
    if (path.isEmpty() || !window)
        return;
    if (SameSeriesFile(path, priceFile)) {
        Report(QStringLiteral(
                   "%1 is the price file of %2; the grid is not written over it. Choose another name.")
                   .arg(QDir::toNativeSeparators(path), page->Title()));
        return;
    }
    try {
        WriteGridCsvFile(path.toStdString(), page->Expiries());
    } catch (const std::exception& error) {
        Report(QString::fromStdString(error.what()));
    }
}

void TMainForm::FileExit()
{
    close();
}

void TMainForm::sbViewDataClick()
{
    IOptionPage* page = FindActivePage();
    if (!page)
        return;
    const QString quoteFile = session_.Folders().DataDir + QLatin1Char('/') + page->Title().toUpper()
                              + QStringLiteral(".txt");
    if (!QFileInfo::exists(quoteFile))
        return;
    OpenDocument(
        quoteFile, this, [this](const QString& problem) { Report(problem); },
        QStringLiteral("No program could be started to show ") + QDir::toNativeSeparators(quoteFile));
}

void TMainForm::DoDownload()
{
    if (session_.TickerList().IsEmpty()) {
        Report(kNoSymbols);
        progress_.spdbtnDownload()->setChecked(false);
        return;
    }
    if (downloadCommand_) {
        progress_.spdbtnDownload()->setChecked(true);
        downloadCommand_(*this);
    } else {
        progress_.spdbtnDownload()->setChecked(false);
    }
}

void TMainForm::EditDownloadListItemClick()
{
    if (downloadListEditor_)
        downloadListEditor_(*this);
}

void TMainForm::Editdefaultinterestrates1Click()
{
    TdlgIntRates dialog(session_.Settings(), session_.Locale(), this);
    connect(&dialog, &TdlgIntRates::HelpRequested, this, &TMainForm::ShowHelpPage);
    if (dialog.exec() == QDialog::Accepted)
        session_.WriteSettings();
}

void TMainForm::EditServersClick()
{
    const QString file = AppSession::SettingsFile();
    TdlgServers dialog(session_.Settings(), session_.SystemLocale(), QDir::toNativeSeparators(file), this);
    connect(&dialog, &TdlgServers::HelpRequested, this, &TMainForm::ShowHelpPage);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Pages opened from now on and the next download follow the new format.
    session_.ApplyDateFormat();
    session_.WriteSettings();
}

void TMainForm::FormHelp()
{
    QWidget* active = QApplication::activeWindow();
    ShowHelpPage(active && active != this ? active->property("helpKeyword").toString() : QString());
}

void TMainForm::sbHelpClick()
{
    ShowHelpPage(QString());
}

void TMainForm::HelpAbout()
{
    TAboutBoxVer box;
    box.exec();
}

void TMainForm::ShowHelpPage(const QString& keyword)
{
    ShowHelp(keyword, this, [this](const QString& problem) { Report(problem); });
}

}  // namespace kestrava
