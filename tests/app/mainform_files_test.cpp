// The main window's series commands on the offscreen platform: a new series
// from the setup dialog, a changed one, opening, saving (over another file
// too) and exporting, with pages that go away while a dialog is open; and
// File > Import price history... through its file dialog.

#include <QInputDialog>
#include <QPrintDialog>

#include "mainform_fixture.h"

using namespace kestrava;
using namespace kestrava::mainformtest;

class MainFormFilesTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init() { FreshFolders(); }
    void cleanup() { root_.reset(); }

    void newSeriesPutsItsSymbolOnTheList_data();
    void newSeriesPutsItsSymbolOnTheList();
    void cancelledSetupMakesNoPage();
    void changedSeriesReplacesThePage();
    void pageGoneWhileTheSetupClosesKeepsItsFile();
    void newPageThatClosesAtOnceLeavesNoCurrentPage();
    void openSetsTheSeriesFolder();
    void sampleSeriesOpensOnFirstRun();
    void saveWritesThroughThePage();
    void pageGoneDuringTheSaveDialogIsNotSaved();
    void printDialogPrintsOnlyWhatItIsToldTo_data();
    void printDialogPrintsOnlyWhatItIsToldTo();
    void savingOverAnotherSeriesAsksFirst();
    void aReadOnlySeriesIsKeptAndACopyOffered();
    void exportWritesEveryExpiryOfThePage();
    void exportNeverProposesOrReplacesThePriceFile();
    void importedHistoryBecomesThePriceFile();
    void newSeriesTakesThePriceFileTypeOfTheSettings();
};

namespace {

// A page built from the setup dialog as the option page builds it: title,
// contract type and price file from the dialog's values.
TMainForm::PageFactory PageFromSetup(int* built)
{
    return [built](TMainForm& owner) {
        const SeriesSetup setup = owner.Request().setupDialog->Values();
        auto page = std::make_unique<FakePage>(setup.symbolText);
        page->priceFile = setup.sourceFilePath;
        auto expiry = std::make_unique<TInOutObj>();
        expiry->ContractType = setup.contractType;
        page->expiries.push_back(std::move(expiry));
        ++*built;
        return page;
    };
}

// Answers the setup dialog: picks `priceFile` (when given), types the option
// symbol, clicks the contract button and presses OK.
void AnswerSetup(TdlgInputs& dialog, const QString& priceFile, const QString& symbol, const QString& contract)
{
    dialog.SetFileChooser(
        [priceFile](QWidget*, const QString&, const QString&, const QString&) { return priceFile; });
    QTimer::singleShot(0, &dialog, [&dialog, priceFile, symbol, contract] {
        if (!priceFile.isEmpty())
            dialog.SetFileBtnClick();
        dialog.findChild<QLineEdit*>(QStringLiteral("edOSymbl"))->setText(symbol);
        dialog.findChild<QAbstractButton*>(contract)->click();
        dialog.findChild<QAbstractButton*>(QStringLiteral("cmdOK"))->click();
    });
}

}  // namespace

void MainFormFilesTest::newSeriesPutsItsSymbolOnTheList_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("contract");
    QTest::addColumn<bool>("withPriceFile");
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<QStringList>("added");
    // Only the entry of the same symbol goes: SP leaves SPX=^GSPC alone.
    QTest::newRow("equity with price file") << QStringLiteral("SP") << QStringLiteral("rbEquity") << true
                                            << QStringList() << QStringList{QStringLiteral("SP=SPX")};
    QTest::newRow("equity replacing its entry")
        << QStringLiteral("SPY") << QStringLiteral("rbEquity") << true
        << QStringList{QStringLiteral("SPY=SPY")} << QStringList{QStringLiteral("SPY=SPX")};
    QTest::newRow("index without price file")
        << QStringLiteral("OEX") << QStringLiteral("rbIndex") << false
        << QStringList{QStringLiteral("OEX=^OEX")} << QStringList{QStringLiteral("OEX=")};
    QTest::newRow("future leaves the list")
        << QStringLiteral("QQQ") << QStringLiteral("rbFuture") << false << QStringList() << QStringList();
}

void MainFormFilesTest::newSeriesPutsItsSymbolOnTheList()
{
    QFETCH(QString, symbol);
    QFETCH(QString, contract);
    QFETCH(bool, withPriceFile);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, added);

    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QString priceFile = form->Session().Folders().DataDir + QStringLiteral("/Spx.csv");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_SAMPLES_DIR "/SMPL.csv"), priceFile));
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, withPriceFile ? priceFile : QString(), symbol, contract);
    });
    const QStringList before = form->Session().TickerList().Entries();
    form->Files().FileNew();

    QCOMPARE(built, 1);
    QVERIFY(form->Request().setupDialog == nullptr);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->Title(), symbol);
    QCOMPARE(page->SeriesFile(), symbol + QStringLiteral(".ops"));
    QStringList expected = before;
    for (const QString& entry : gone)
        expected.removeOne(entry);
    QStringList now = form->Session().TickerList().Entries();
    for (const QString& entry : added)
        QVERIFY2(now.removeOne(entry), qPrintable(entry));
    QCOMPARE(now, expected);
    if (withPriceFile)
        QCOMPARE(form->Session().Settings().AsciiDataDir, form->Session().Folders().DataDir);
}

void MainFormFilesTest::cancelledSetupMakesNoPage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    form->SetSetupDialogHook([](TdlgInputs& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.findChild<QAbstractButton*>(QStringLiteral("cmdCancel"))->click();
        });
    });
    const QStringList before = form->Session().TickerList().Entries();
    form->Files().FileNew();
    QCOMPARE(built, 0);
    QCOMPARE(form->Pages().Count(), 0);
    QCOMPARE(form->Session().TickerList().Entries(), before);
}

void MainFormFilesTest::changedSeriesReplacesThePage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QString priceFile = form->Session().Folders().DataDir + QStringLiteral("/Spy.csv");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_SAMPLES_DIR "/SMPL.csv"), priceFile));
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));

    auto* old = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    old->SetSeriesFile(QStringLiteral("/somewhere/spy.ops"));
    auto expiry = std::make_unique<TInOutObj>();
    expiry->ContractType = kFuture;
    expiry->NumStrikes = 2;
    expiry->Strike(1, 1) = 100;
    expiry->Strike(2, 1) = 105;
    expiry->OptSymbol = "SPY";
    old->expiries.push_back(std::move(expiry));
    old->Window()->show();
    Activate(old->Window());
    QPointer<QWidget> oldWindow = old->Window();

    // Editing keeps the base name's case, and a future is no exception.
    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, priceFile, QStringLiteral("SPY"), QStringLiteral("rbFuture"));
    });
    form->Files().EditChangeOption();
    QCOMPARE(built, 1);
    QTRY_VERIFY(oldWindow.isNull());
    QCOMPARE(form->Pages().Count(), 1);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->SeriesFile(), QStringLiteral("/somewhere/spy.ops"));
    QVERIFY(form->Session().TickerList().Entries().contains(QStringLiteral("SPY=Spy")));
    QVERIFY(!form->Session().TickerList().Entries().contains(QStringLiteral("SPY=SPY")));
}

void MainFormFilesTest::pageGoneWhileTheSetupClosesKeepsItsFile()
{
    // The events that run after the setup dialog closes may take the edited
    // page away; its series file still goes to the new page.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    FakePage* old = AddSpyPage(*form);
    old->SetSeriesFile(QStringLiteral("/somewhere/a-rather-long-folder-name/spy-january.ops"));
    QPointer<QWidget> oldWindow = old->Window();

    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, QString(), QStringLiteral("SPY"), QStringLiteral("rbEquity"));
        QTimer::singleShot(0, &dialog,
                           [oldWindow] { QTimer::singleShot(0, [oldWindow] { delete oldWindow.data(); }); });
    });
    form->Files().EditChangeOption();
    QCOMPARE(built, 1);
    QVERIFY(oldWindow.isNull());
    QCOMPARE(form->Pages().Count(), 1);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->SeriesFile(), QStringLiteral("/somewhere/a-rather-long-folder-name/spy-january.ops"));
}

void MainFormFilesTest::newPageThatClosesAtOnceLeavesNoCurrentPage()
{
    // The events that run while a new page is shown may take it away again;
    // the command that made it must not touch it afterwards.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* old = AddSpyPage(*form);
    QPointer<QWidget> oldWindow = old->Window();

    int built = 0;
    form->SetPageFactory([&built](TMainForm& owner) {
        std::unique_ptr<IOptionPage> page = PageFromSetup(&built)(owner);
        QWidget* window = page->Window();
        QTimer::singleShot(0, window, [window] { delete window; });
        return page;
    });
    form->SetSetupDialogHook([](TdlgInputs& dialog) {
        AnswerSetup(dialog, QString(), QStringLiteral("SPY"), QStringLiteral("rbEquity"));
    });
    form->Files().EditChangeOption();
    QCOMPARE(built, 1);
    QTRY_COMPARE(form->Pages().Count(), 0);
    QVERIFY(oldWindow.isNull());
    QVERIFY(form->FindActivePage() == nullptr);

    form->Files().FileNew();
    QCOMPARE(built, 2);
    QTRY_COMPARE(form->Pages().Count(), 0);
    QVERIFY(form->FindActivePage() == nullptr);
}

void MainFormFilesTest::openSetsTheSeriesFolder()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QString folder = root_->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(folder));
    const QString series = folder + QStringLiteral("/mine.ops");
    QFile(series).open(QIODevice::WriteOnly);

    bool openFromFile = false;
    QString openName;
    form->SetPageFactory([&](TMainForm& owner) {
        openFromFile = owner.Request().openFromFile;
        openName = owner.Request().openFileName;
        return std::make_unique<FakePage>(QStringLiteral("MINE"));
    });
    WhileModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Load a saved option series grid"));
            QCOMPARE(QDir(dialog->directory()).canonicalPath(),
                     QDir(form->Session().Folders().SeriesDir).canonicalPath());
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(series);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    form->Files().FileOpen();
    WhileModal(nullptr);
    QVERIFY(openFromFile);
    QCOMPARE(openName, series);
    QCOMPARE(form->Session().Folders().SeriesDir, folder);
    QCOMPARE(form->Pages().Count(), 1);
}

void MainFormFilesTest::sampleSeriesOpensOnFirstRun()
{
    // The very first start opens the sample's priced page below the strip.
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    QVERIFY(QFileInfo::exists(form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops")));
    QVERIFY2(notifier_.infos.isEmpty() && notifier_.errors.isEmpty(),
             qPrintable((notifier_.infos + notifier_.errors).join(QLatin1Char('\n'))));
    QCOMPARE(form->Pages().Count(), 1);
    QWidget* window = nullptr;
    QTRY_VERIFY((window = form->findChild<QWidget*>(QStringLiteral("frmOPage"))) != nullptr);
    Activate(window);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->Title(), QStringLiteral("SMPL"));
    QVERIFY(!page->Expiries().empty());
    QVERIFY(window->geometry().top() >= form->geometry().bottom());
    const auto* grid = window->findChild<QAbstractItemView*>();
    QVERIFY(grid);
    QVERIFY(!grid->model()->index(0, 7).data().toString().isEmpty());  // a priced value
    // Closing the page leaves no current page behind.
    window->close();
    QTRY_COMPARE(form->Pages().Count(), 0);
    QVERIFY(form->FindActivePage() == nullptr);

    // A later start opens nothing.
    form->close();
    auto later = NewForm();
    later->SetPageFactory(OptionPageFactory());
    QVERIFY(later->FormCreate());
    QCOMPARE(later->Pages().Count(), 0);
}

void MainFormFilesTest::saveWritesThroughThePage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* page = AddSpyPage(*form);
    page->SetSeriesFile(QStringLiteral("SPY.ops"));

    const QString folder = root_->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(folder));
    WhileModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Option Series"));
            QCOMPARE(dialog->selectedFiles().value(0).section(QLatin1Char('/'), -1),
                     QStringLiteral("SPY.ops"));
            dialog->setDirectory(folder);
            // Typed into the name box, as a user does.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("spy-jan"));
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    form->Files().FileSave();
    WhileModal(nullptr);
    QCOMPARE(page->savedTo, QStringList{folder + QStringLiteral("/spy-jan.ops")});
    QCOMPARE(form->Session().Folders().SeriesDir, folder);
}

void MainFormFilesTest::pageGoneDuringTheSaveDialogIsNotSaved()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* page = AddSpyPage(*form);
    page->SetSeriesFile(QStringLiteral("SPY.ops"));
    QPointer<QWidget> window = page->Window();

    const QString folder = root_->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(folder));
    WhileModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            delete window.data();
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("spy-jan"));
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    form->Files().FileSave();
    WhileModal(nullptr);
    QCOMPARE(form->Pages().Count(), 0);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/spy-jan.ops")));
    QCOMPARE(form->Session().Folders().SeriesDir, form->Session().Folders().SeriesDir);
}

void MainFormFilesTest::printDialogPrintsOnlyWhatItIsToldTo_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("OK") << QStringLiteral("OK");
    QTest::newRow("Cancel") << QStringLiteral("Cancel");
    QTest::newRow("page closed meanwhile") << QStringLiteral("gone");
}

void MainFormFilesTest::printDialogPrintsOnlyWhatItIsToldTo()
{
    QFETCH(QString, answer);
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* page = AddSpyPage(*form);
    QPointer<QWidget> window = page->Window();
    const QString pdf = root_->filePath(QStringLiteral("printed.pdf"));
    bool asked = false;
    WhileModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintDialog*>(modal);
        if (!dialog)
            return;
        asked = true;
        if (answer == QLatin1String("Cancel")) {
            dialog->reject();
            return;
        }
        if (answer == QLatin1String("gone"))
            delete window.data();
        if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
            file->setText(pdf);
        dialog->accept();
    });
    form->Files().FilePrint();
    WhileModal(nullptr);
    QVERIFY(asked);
    QVERIFY(notifier_.infos.isEmpty());
    if (answer == QLatin1String("gone")) {
        QCOMPARE(form->Pages().Count(), 0);
        return;
    }
    QCOMPARE(page->printed, answer == QLatin1String("OK") ? 1 : 0);
}

void MainFormFilesTest::savingOverAnotherSeriesAsksFirst()
{
    auto form = NewForm();
    QWidget* window = StartWithSamplePage(*form);
    QVERIFY(window);
    const QString own = form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops");
    const QString other = form->Session().Folders().SeriesDir + QStringLiteral("/other.ops");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/series/worked_example.ops"), other));
    const QByteArray otherBytes = FileBytes(other);

    auto saveAs = [&](const QString& path) {
        WhileModal(TypeIntoFileDialog(QFileInfo(path).absolutePath(), QFileInfo(path).fileName()));
        Activate(window);
        form->Files().FileSave();
        WhileModal(nullptr);
    };

    // No: the other series keeps every byte, and the page its own file.
    notifier_.answer = false;
    saveAs(other);
    QCOMPARE(notifier_.questions,
             QStringList{QStringLiteral("other.ops already exists. Do you want to replace it?")});
    QCOMPARE(FileBytes(other), otherBytes);
    QCOMPARE(form->FindActivePage()->SeriesFile(), own);

    // The page's own file is saved over without a question.
    saveAs(own);
    QCOMPARE(notifier_.questions.size(), 1);

    // Yes: the other file now holds the page's series.
    notifier_.answer = true;
    saveAs(other);
    QCOMPARE(notifier_.questions.size(), 2);
    QCOMPARE(FileBytes(other), FileBytes(own));
    QCOMPARE(form->FindActivePage()->SeriesFile(), other);

    // A save that fails leaves the page's file and the dialogs' folder alone.
    auto* failing = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    failing->SetSeriesFile(QStringLiteral("SPY.ops"));
    failing->saveResult = false;
    failing->Window()->show();
    window = failing->Window();
    const QString folder = form->Session().Folders().SeriesDir;
    const QString elsewhere = root_->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    saveAs(elsewhere + QStringLiteral("/spy.ops"));
    QCOMPARE(failing->savedTo, QStringList{elsewhere + QStringLiteral("/spy.ops")});
    QCOMPARE(failing->SeriesFile(), QStringLiteral("SPY.ops"));
    QCOMPARE(form->Session().Folders().SeriesDir, folder);
}

void MainFormFilesTest::aReadOnlySeriesIsKeptAndACopyOffered()
{
    auto form = NewForm();
    QWidget* window = StartWithSamplePage(*form);
    QVERIFY(window);
    const QString own = form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops");
    const QString locked = form->Session().Folders().SeriesDir + QStringLiteral("/locked.ops");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/series/worked_example.ops"), locked));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const QByteArray lockedBytes = FileBytes(locked);
    const QString copyFolder = root_->filePath(QStringLiteral("copies"));
    QVERIFY(QDir().mkpath(copyFolder));

    // The first dialog names the read-only file, the one offered then a copy.
    auto saveTo = [&](const QStringList& names) {
        int dialogs = 0;
        WhileModal([&](QWidget* modal) {
            if (qobject_cast<QFileDialog*>(modal) && dialogs < names.size()) {
                const QString name = names[dialogs++];
                TypeIntoFileDialog(QFileInfo(name).absolutePath(), QFileInfo(name).fileName())(modal);
            }
        });
        Activate(window);
        form->Files().FileSave();
        WhileModal(nullptr);
        return dialogs;
    };

    // No to the copy: nothing is written, the page keeps its file.
    notifier_.answer = false;
    notifier_.questions.clear();
    QCOMPARE(saveTo({locked}), 1);
    QVERIFY(notifier_.questions.contains(
        QStringLiteral("locked.ops already exists. Do you want to replace it?")));
    QCOMPARE(FileBytes(locked), lockedBytes);
    QCOMPARE(form->FindActivePage()->SeriesFile(), own);

    // Yes: the file stays read-only and as it was; the copy holds the series
    // and is the page's file from now on.
    notifier_.answer = true;
    notifier_.questions.clear();
    const QString copy = copyFolder + QStringLiteral("/copy.ops");
    QCOMPARE(saveTo({locked, copy}), 2);
    QCOMPARE(notifier_.questions,
             (QStringList{QStringLiteral("locked.ops already exists. Do you want to replace it?"),
                          QStringLiteral("locked.ops is read-only. Save a copy elsewhere?")}));
    QCOMPARE(FileBytes(locked), lockedBytes);
    QVERIFY(!(QFileInfo(locked).permissions() & QFileDevice::WriteOwner));
    QCOMPARE(FileBytes(copy), FileBytes(own));
    QCOMPARE(form->FindActivePage()->SeriesFile(), copy);
    QCOMPARE(form->Session().Folders().SeriesDir, copyFolder);
}

void MainFormFilesTest::exportWritesEveryExpiryOfThePage()
{
    auto form = NewForm();
    QWidget* window = StartWithSamplePage(*form);
    QVERIFY(window);
    const QString csv = root_->filePath(QStringLiteral("sample.csv"));
    WhileModal(TypeIntoFileDialog(root_->path(), QStringLiteral("sample")));
    form->findChild<QAction*>(QStringLiteral("FileExportGridItem"))->trigger();
    WhileModal(nullptr);
    const QList<QByteArray> lines = FileBytes(csv).split('\n');
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    // One header line, then every expiry's calls and puts, expiries in order.
    int rows = 0;
    for (const TInOutObj* expiry : page->Expiries())
        rows += 2 * expiry->NumStrikes;
    QCOMPARE(lines.size(), 1 + rows + 1);  // the last line ends with its line break
    QCOMPARE(QString::fromLatin1(lines[0]).section(QLatin1Char(','), 0, 3),
             QStringLiteral("expiry,strike,side,vol_fraction"));
    const TInOutObj* first = page->Expiries().front();
    const CivilDate expiry = DecodeDate(first->ExpiryDate);
    QVERIFY(lines[1].startsWith(QStringLiteral("%1-%2-%3,")
                                    .arg(expiry.year)
                                    .arg(expiry.month, 2, 10, QLatin1Char('0'))
                                    .arg(expiry.day, 2, 10, QLatin1Char('0'))
                                    .toLatin1()));
    QVERIFY(notifier_.infos.isEmpty());
}

void MainFormFilesTest::exportNeverProposesOrReplacesThePriceFile()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* page = AddSpyPage(*form);
    // The daily history the chart reads, SYMBOL.csv in the price-file folder.
    const QString history = form->Session().Folders().DataDir + QStringLiteral("/SPY.csv");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_SAMPLES_DIR "/SMPL.csv"), history));
    const QByteArray historyBytes = FileBytes(history);
    page->priceFile = history;
    QAction* exportGrid = form->findChild<QAction*>(QStringLiteral("FileExportGridItem"));

    const auto proposal = [&] {
        QString proposed;
        WhileModal([&proposed](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                proposed = dialog->selectedFiles().value(0);
                dialog->reject();
            }
        });
        Activate(page->Window());
        exportGrid->trigger();
        WhileModal(nullptr);
        return proposed;
    };
    QCOMPARE(proposal(), roots_.documents + QStringLiteral("/SPY-grid.csv"));

    // The user types the history's own name and answers Yes to replacing it:
    // the history stays, and the user is told why.
    WhileModal([&](QWidget* modal) {
        if (!qobject_cast<QFileDialog*>(modal))
            return;
        // The dialog's own question runs inside its accept().
        QTimer::singleShot(100, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Yes)->click();
        });
        TypeIntoFileDialog(form->Session().Folders().DataDir, QStringLiteral("SPY.csv"))(modal);
    });
    Activate(page->Window());
    exportGrid->trigger();
    WhileModal(nullptr);
    QCOMPARE(FileBytes(history), historyBytes);
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY2(notifier_.infos[0].contains(QStringLiteral("is the price file of SPY")),
             qPrintable(notifier_.infos[0]));

    // A price file that has the proposal's name is not proposed either.
    const QString named = roots_.documents + QStringLiteral("/SPY-grid.csv");
    QVERIFY(QFile::copy(history, named));
    page->priceFile = named;
    QCOMPARE(proposal(), roots_.documents + QStringLiteral("/SPY-grid-2.csv"));
}

void MainFormFilesTest::importedHistoryBecomesThePriceFile()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    QAction* import = form->findChild<QAction*>(QStringLiteral("FileImportHistoryItem"));
    QVERIFY(import);
    // Today's layout: oldest day first, Adj Close before a decimal volume.
    const QByteArray todays = "Date,Open,High,Low,Close,Adj Close,Volume\n"
                              "2024-02-29,169,169.5,167,168.4,167.31,132540.0\n"
                              "2024-03-01,168.2,170.4,167.8,170.15,169.04,61000000.0\n"
                              "2024-03-05,171.5,173.25,170.1,172,170.93,4006500.0\n";
    const auto write = [this](const QString& name, const QByteArray& bytes) {
        QFile file(root_->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(QStringLiteral("spy-daily.csv"), todays);
    write(QStringLiteral("bad.csv"), todays + "2024-03-06,1,2,3,2,2,5\n");

    // The user picks the file and names the symbol; the symbol proposed is
    // the file's own name.
    QString proposed;
    const auto importAs = [&](const QString& file, const QString& symbol) {
        WhileModal([&, file, symbol](QWidget* modal) {
            if (qobject_cast<QFileDialog*>(modal)) {
                TypeIntoFileDialog(root_->path(), file)(modal);
            } else if (auto* ask = qobject_cast<QInputDialog*>(modal)) {
                proposed = ask->textValue();
                ask->setTextValue(symbol);
                ask->accept();
            }
        });
        import->trigger();
        WhileModal(nullptr);
    };
    importAs(QStringLiteral("spy-daily.csv"), QStringLiteral("SPY"));
    QCOMPARE(proposed, QStringLiteral("SPY-DAILY"));
    const QString priceFile = form->Session().Settings().AsciiDataDir + QStringLiteral("/SPY.csv");
    const QByteArray written = "Date,Open,High,Low,Close,Volume\r\n"
                               "2024-03-05,171.5,173.25,170.1,172,4006500\r\n"
                               "2024-03-01,168.2,170.4,167.8,170.15,61000000\r\n"
                               "2024-02-29,169,169.5,167,168.4,132540\r\n";
    QCOMPARE(FileBytes(priceFile), written);
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY2(notifier_.infos[0].startsWith(QStringLiteral("Imported 3 days of spy-daily.csv into "))
                 && notifier_.infos[0].contains(QStringLiteral("Adj Close left aside")),
             qPrintable(notifier_.infos[0]));
    QVERIFY(notifier_.questions.isEmpty());

    // Over the price file now there: a No leaves it as it is; a Yes reads
    // the damaged file, which is refused with its line, and the price file
    // stays.
    notifier_.answer = false;
    importAs(QStringLiteral("bad.csv"), QStringLiteral("SPY"));
    QCOMPARE(notifier_.questions.size(), 1);
    QVERIFY2(notifier_.questions[0].contains(QStringLiteral("already exists")),
             qPrintable(notifier_.questions[0]));
    QCOMPARE(notifier_.infos.size(), 1);
    notifier_.answer = true;
    importAs(QStringLiteral("bad.csv"), QStringLiteral("SPY"));
    QCOMPARE(notifier_.infos.size(), 2);
    QVERIFY2(notifier_.infos[1].contains(
                 QStringLiteral("which was left as it was: line 5 of bad.csv: the high 2 is "
                                "below the low 3.")),
             qPrintable(notifier_.infos[1]));
    QCOMPARE(FileBytes(priceFile), written);
    QCOMPARE(
        QDir(form->Session().Settings().AsciiDataDir).entryList({QStringLiteral("SPY.csv*")}, QDir::Files),
        QStringList{QStringLiteral("SPY.csv")});

    // A symbol that would leave the folder is refused before anything is read.
    importAs(QStringLiteral("spy-daily.csv"), QStringLiteral("../SPY"));
    QCOMPARE(notifier_.infos.size(), 3);
    QVERIFY2(notifier_.infos[2].contains(QStringLiteral("cannot be used as a file name")),
             qPrintable(notifier_.infos[2]));
}

// The price file's type the settings hold goes into a new series with a
// price file, so that reopening the series hands the same type back.
void MainFormFilesTest::newSeriesTakesThePriceFileTypeOfTheSettings()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    const QString priceFile = form->Session().Folders().DataDir + QStringLiteral("/Spx.csv");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_SAMPLES_DIR "/SMPL.csv"), priceFile));
    form->Session().Settings().SourceFileType = 3;
    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, priceFile, QStringLiteral("SP"), QStringLiteral("rbEquity"));
    });
    form->Files().FileNew();
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->Title(), QStringLiteral("SP"));
    QVERIFY(!page->PriceTextFile().isEmpty());
    for (const TInOutObj* expiry : page->Expiries())
        QCOMPARE(static_cast<int>(expiry->SourceFileType), 3);
}

QTEST_MAIN(MainFormFilesTest)
#include "mainform_files_test.moc"
