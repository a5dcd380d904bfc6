// The main window on the offscreen platform: start-up and shut-down with
// throw-away settings and folders, page tracking, shortcuts and commands.

#include <climits>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Inputs.h"
#include "app/MainForm.h"
#include "app/OptionPageAdapter.h"
#include "common/notifier.h"
#include "pricing/IORecObj1.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

// Answers a file dialog as a user who goes to folder and types name into its
// box: the typed name replaces whatever the dialog had selected.
std::function<void(QWidget*)> TypeIntoFileDialog(const QString& folder, const QString& name)
{
    return [folder, name](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->setDirectory(folder);
            dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog*>(dialog)->accept();
        }
    };
}

using RecordingNotifier = kestrava::testsupport::QtRecordingNotifier;

// A placement as a previous run left it in the settings.
void SavePlacement(int left, int top, int width)
{
    QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
    stored.setValue(QStringLiteral("WinDims/Left"), left);
    stored.setValue(QStringLiteral("WinDims/Top"), top);
    stored.setValue(QStringLiteral("WinDims/Width"), width);
}


// A stand-in for the option page: a window with an edit box.
class FakePage : public IOptionPage {
public:
    explicit FakePage(const QString& title) : window_(new QWidget), title_(title)
    {
        window_->setWindowTitle(title);
        edit = new QLineEdit(window_);
        (new QVBoxLayout(window_))->addWidget(edit);
    }
    QWidget* Window() const override { return window_; }
    QString Title() const override { return title_; }
    QString SeriesFile() const override { return seriesFile; }
    void SetSeriesFile(const QString& path) override { seriesFile = path; }
    QString PriceTextFile() const override { return priceFile; }
    QString PriceWorkFile() const override { return QString(); }
    std::vector<const TInOutObj*> Expiries() const override
    {
        std::vector<const TInOutObj*> list;
        for (const auto& expiry : expiries)
            list.push_back(expiry.get());
        return list;
    }
    bool SavePage() override
    {
        savedTo.append(seriesFile);
        return saveResult;
    }
    void PrintPage(QPrinter&) override {}
    void RefreshAfterDownload() override {}

    QLineEdit* edit = nullptr;
    QString priceFile;
    std::vector<std::unique_ptr<TInOutObj>> expiries;
    QString seriesFile;
    QStringList savedTo;
    bool saveResult = true;

private:
    QWidget* window_;
    QString title_;
};

// Makes a window the active one as a click of the user does. The offscreen
// platform does not hand activation on to windows that have a parent window,
// so the application is told directly as well.
void Activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstRun();
    void savedPlacement();
    void placementOffEveryScreenIsNotUsed();
    void badRateStillStarts();
    void dataFolderThatCannotBeMade();
    void damagedListIsNotOverwritten();

    void pageTracking();
    void commandsWithoutPageDoNothing();
    void shortcutsReachTheMenuFromAPage();
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
    void savingOverAnotherSeriesAsksFirst();
    void exportWritesEveryExpiryOfThePage();
    void helpOpensThePageOfTheActiveWindow();
    void helpThatCannotOpenSaysSo();
    void emptyListRefusesDownload();

private:
    std::unique_ptr<TMainForm> NewForm();
    QString SettingsFile() const;
    // Closes every modal window that comes up, running `act` on it first.
    void WhileModal(const std::function<void(QWidget*)>& act);

    std::unique_ptr<QTemporaryDir> root_;
    FolderRoots roots_;
    RecordingNotifier notifier_;
    QTimer modalGuard_;
    std::function<void(QWidget*)> modalAction_;
    int modalsSeen_ = 0;
    QPointer<QWidget> lastModal_;
};

void MainFormTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    modalGuard_.setInterval(50);
    connect(&modalGuard_, &QTimer::timeout, this, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            lastModal_ = nullptr;
            return;
        }
        // A dialog the test answers itself gets one tick to do so.
        if (!modalAction_ && modal != lastModal_) {
            lastModal_ = modal;
            return;
        }
        ++modalsSeen_;
        if (modalAction_)
            modalAction_(modal);
        if (modal->isVisible())
            modal->close();
    });
    modalGuard_.start();
}

void MainFormTest::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root_->filePath(QStringLiteral("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root_->filePath(QStringLiteral("config")));
    roots_ = {root_->filePath(QStringLiteral("share")), root_->filePath(QStringLiteral("Documents")), root_->path()};
    notifier_ = RecordingNotifier();
    modalAction_ = nullptr;
    modalsSeen_ = 0;
}

void MainFormTest::cleanup()
{
    root_.reset();
}

std::unique_ptr<TMainForm> MainFormTest::NewForm()
{
    return std::make_unique<TMainForm>(TMainForm::Environment{roots_, LocaleInfo{}, &notifier_});
}

QString MainFormTest::SettingsFile() const
{
    return QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27")).fileName();
}

void MainFormTest::WhileModal(const std::function<void(QWidget*)>& act)
{
    modalAction_ = act;
}

void MainFormTest::firstRun()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    QVERIFY(form->isVisible());
    QVERIFY(notifier_.infos.isEmpty() && notifier_.errors.isEmpty());

    const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(form->width(), 780);
    QCOMPARE(form->minimumWidth(), 780);
    QCOMPARE(form->pos(), QPoint(workArea.left() + (workArea.width() - 780) / 2, workArea.top()));
    QCOMPARE(form->minimumHeight(), form->maximumHeight());
    QVERIFY(form->lblTicker()->isHidden());
    QVERIFY(form->pbDownload()->isHidden());

    const QString data = roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Data");
    QVERIFY(QFileInfo(roots_.localAppData + QStringLiteral("/Tovanek/Kestrava27/Data")).isDir());
    QVERIFY(QFileInfo(data).isDir());
    QCOMPARE(form->Settings().AsciiDataDir, QDir::toNativeSeparators(data));
    QCOMPARE(form->Settings().Rate30, 0.005f);
    QCOMPARE(form->Settings().Rate60, 0.005f);
    QCOMPARE(form->Settings().Rate90, 0.005f);
    QVERIFY(form->RequestTemplate().endsWith("txtTicker="));
    QVERIFY(form->QuoteDownloadFlag());
    QVERIFY(!form->HistoryDownloadFlag());
    QVERIFY(QFileInfo::exists(data + QStringLiteral("/SMPL.csv")));

    // The default list is on disk at once, before any shut-down.
    const QByteArray tickers = FileBytes(roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Tickers.txt"));
    QCOMPARE(tickers, QByteArray("GLD=GLD\nOEX=^OEX\nOIL=OIL\nQQQ=QQQ\nSPX=^GSPC\nSPY=SPY\nYHOO=YHOO\n"));

    form->Settings().Rate60 = 0.0275f;
    form->close();
    QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
    QCOMPARE(stored.value(QStringLiteral("WinDims/Width")).toString(), QStringLiteral("780"));
    QCOMPARE(stored.value(QStringLiteral("Rates/30DayRate")).toString(), QStringLiteral("0.00499999988824129"));
    QCOMPARE(stored.value(QStringLiteral("Rates/60DayRate")).toString(), QStringLiteral("0.0274999998509884"));
    QCOMPARE(stored.value(QStringLiteral("Dirs/SourceFileType")).toString(), QStringLiteral("5"));
    QCOMPARE(stored.value(QStringLiteral("Dirs/AsciiDataDir")).toString(), QDir::toNativeSeparators(data));
}

void MainFormTest::savedPlacement()
{
    SavePlacement(30, 40, 700);
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    // Below the least width the strip keeps 780.
    QCOMPARE(form->pos(), QPoint(30, 40));
    QCOMPARE(form->width(), 780);

    // No samples on a run after the first.
    QVERIFY(!QFileInfo::exists(roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Data/SMPL.csv")));

    form->resize(790, form->height() + 50);
    QCOMPARE(form->height(), form->maximumHeight());
    form->close();
    QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
    QCOMPARE(stored.value(QStringLiteral("WinDims/Width")).toInt(), 790);
    QCOMPARE(stored.value(QStringLiteral("WinDims/Left")).toInt(), 30);

    // A second run takes the width back as saved.
    auto again = NewForm();
    QVERIFY(again->FormCreate());
    QCOMPARE(again->width(), 790);
}

void MainFormTest::placementOffEveryScreenIsNotUsed()
{
    SavePlacement(5000, 40, 900);
    // Saved on a screen that is gone: the strip comes back where a first run
    // puts it rather than out of sight.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(form->pos(), QPoint(workArea.left() + (workArea.width() - 780) / 2, workArea.top()));
    QCOMPARE(form->width(), 780);

    // Values no screen has (a damaged or hand-edited setting) neither
    // overflow nor leave the strip out of sight.
    for (const int extreme : {INT_MAX, INT_MIN}) {
        form->close();
        SavePlacement(extreme, extreme, extreme);
        form = NewForm();
        QVERIFY(form->FormCreate());
        QVERIFY(workArea.contains(form->frameGeometry().topLeft()));
        QVERIFY(form->width() <= workArea.width());
    }
}

void MainFormTest::badRateStillStarts()
{
    {
        QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
        stored.setValue(QStringLiteral("Rates/30DayRate"), QStringLiteral("half a percent"));
        stored.setValue(QStringLiteral("Rates/90DayRate"), QStringLiteral("0.02"));
    }
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    QVERIFY(form->isVisible());
    QCOMPARE(form->Settings().Rate30, 0.005f);
    QCOMPARE(form->Settings().Rate90, 0.02f);
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY(notifier_.infos.first().contains(QStringLiteral("30DayRate")));
    QVERIFY(notifier_.infos.first().contains(QStringLiteral("half a percent")));
    QVERIFY2(notifier_.infos.first().endsWith(QStringLiteral("using 0.005 instead.")), qPrintable(notifier_.infos.first()));
}

void MainFormTest::dataFolderThatCannotBeMade()
{
    QFile blocker(roots_.documents);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto form = NewForm();
    QVERIFY(!form->FormCreate());
    QVERIFY(!form->isVisible());
    QCOMPARE(notifier_.errors,
             QStringList{QStringLiteral("Cannot create ")
                         + QDir::toNativeSeparators(roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Data"))});
    // Nothing of the failed start is written back.
    form->close();
    QVERIFY(!QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27")).contains(QStringLiteral("WinDims/Width")));
}

void MainFormTest::damagedListIsNotOverwritten()
{
    const QString appDir = roots_.documents + QStringLiteral("/Tovanek/Kestrava27");
    QVERIFY(QDir().mkpath(appDir + QStringLiteral("/Data")));
    const QString tickers = appDir + QStringLiteral("/Tickers.txt");
    const QByteArray damaged("IBM=IBM\n\x01\x02garbage\x03\nMSFT=MSFT\n");
    {
        QFile file(tickers);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    {
        auto form = NewForm();
        QVERIFY(form->FormCreate());
        QCOMPARE(form->TickerList().Count(), 2);
        QCOMPARE(notifier_.infos.size(), 1);
        form->close();
    }
    QCOMPARE(FileBytes(tickers), damaged);

    // Once the user changes the list, the change is what counts.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    form->TickerList().Add(QStringLiteral("AAPL=AAPL"));
    form->close();
    QCOMPARE(FileBytes(tickers), QByteArray("AAPL=AAPL\nIBM=IBM\nMSFT=MSFT\n"));
}

void MainFormTest::pageTracking()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* first = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("AAA"))));
    auto* second = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("BBB"))));
    QVERIFY(first && second);
    QCOMPARE(first->Window()->parentWidget(), form.get());
    QVERIFY(first->Window()->isWindow());
    QVERIFY(form->FindActivePage() == nullptr);

    for (FakePage* page : {first, second})
        page->Window()->show();
    Activate(first->Window());
    QCOMPARE(form->CurrentPageHandle(), first->Window());
    QCOMPARE(form->FindActivePage(), first);

    Activate(second->Window());
    QCOMPARE(form->FindActivePage(), second);

    // Closing the current page makes the last remaining page current.
    delete second->Window();
    QCOMPARE(form->PageCount(), 1);
    QCOMPARE(form->FindActivePage(), first);

    delete first->Window();
    QCOMPARE(form->PageCount(), 0);
    QVERIFY(form->FindActivePage() == nullptr);
}

void MainFormTest::commandsWithoutPageDoNothing()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    form->FileSave();
    form->FilePrint();
    form->sbViewDataClick();
    form->EditChangeOption();
    QTest::qWait(150);
    QCOMPARE(modalsSeen_, 0);
    QVERIFY(notifier_.infos.isEmpty());
}

void MainFormTest::shortcutsReachTheMenuFromAPage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* page = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("AAA"))));
    page->Window()->show();
    Activate(page->Window());
    page->edit->setFocus();

    const struct {
        const char* action;
        Qt::Key key;
    } shortcuts[] = {{"FileOpenItem", Qt::Key_O}, {"FileNewItem", Qt::Key_N},      {"FileSaveItem", Qt::Key_S},
                     {"FileDownloadItem", Qt::Key_D}, {"FilePrintItem", Qt::Key_P}, {"ViewDataItem", Qt::Key_R}};
    for (const auto& shortcut : shortcuts) {
        auto* action = form->findChild<QAction*>(QLatin1String(shortcut.action));
        QVERIFY2(action, shortcut.action);
        QSignalSpy triggered(action, &QAction::triggered);
        Activate(page->Window());
        QTest::keyClick(page->edit, shortcut.key, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(triggered.size(), 1, 2000);
        QVERIFY2(QApplication::activeModalWidget() == nullptr, shortcut.action);
    }
    QVERIFY(page->edit->text().isEmpty());
}

namespace {

// A page built from the setup dialog as the option page builds it: title,
// contract type and price file from the dialog's values.
TMainForm::PageFactory PageFromSetup(int* built)
{
    return [built](TMainForm& owner) {
        const SeriesSetup setup = owner.SetupDialog()->Values();
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
    dialog.SetFileChooser([priceFile](QWidget*, const QString&, const QString&, const QString&) { return priceFile; });
    QTimer::singleShot(0, &dialog, [&dialog, priceFile, symbol, contract] {
        if (!priceFile.isEmpty())
            dialog.SetFileBtnClick();
        dialog.findChild<QLineEdit*>(QStringLiteral("edOSymbl"))->setText(symbol);
        dialog.findChild<QAbstractButton*>(contract)->click();
        dialog.findChild<QAbstractButton*>(QStringLiteral("cmdOK"))->click();
    });
}

}  // namespace

void MainFormTest::newSeriesPutsItsSymbolOnTheList_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("contract");
    QTest::addColumn<bool>("withPriceFile");
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<QStringList>("added");
    // Only the entry of the same symbol goes: SP leaves SPX=^GSPC alone.
    QTest::newRow("equity with price file") << QStringLiteral("SP") << QStringLiteral("rbEquity") << true
                                            << QStringList() << QStringList{QStringLiteral("SP=SPX")};
    QTest::newRow("equity replacing its entry") << QStringLiteral("SPY") << QStringLiteral("rbEquity") << true
                                                << QStringList{QStringLiteral("SPY=SPY")} << QStringList{QStringLiteral("SPY=SPX")};
    QTest::newRow("index without price file") << QStringLiteral("OEX") << QStringLiteral("rbIndex") << false
                                              << QStringList{QStringLiteral("OEX=^OEX")} << QStringList{QStringLiteral("OEX=")};
    QTest::newRow("future leaves the list") << QStringLiteral("QQQ") << QStringLiteral("rbFuture") << false
                                            << QStringList() << QStringList();
}

void MainFormTest::newSeriesPutsItsSymbolOnTheList()
{
    QFETCH(QString, symbol);
    QFETCH(QString, contract);
    QFETCH(bool, withPriceFile);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, added);

    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QString priceFile = form->Folders().DataDir + QStringLiteral("/Spx.csv");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_SAMPLES_DIR "/SMPL.csv"), priceFile));
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, withPriceFile ? priceFile : QString(), symbol, contract);
    });
    const QStringList before = form->TickerList().Entries();
    form->FileNew();

    QCOMPARE(built, 1);
    QVERIFY(form->SetupDialog() == nullptr);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->Title(), symbol);
    QCOMPARE(page->SeriesFile(), symbol + QStringLiteral(".ops"));
    QStringList expected = before;
    for (const QString& entry : gone)
        expected.removeOne(entry);
    QStringList now = form->TickerList().Entries();
    for (const QString& entry : added)
        QVERIFY2(now.removeOne(entry), qPrintable(entry));
    QCOMPARE(now, expected);
    if (withPriceFile)
        QCOMPARE(form->Settings().AsciiDataDir, form->Folders().DataDir);
}

void MainFormTest::cancelledSetupMakesNoPage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    form->SetSetupDialogHook([](TdlgInputs& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.findChild<QAbstractButton*>(QStringLiteral("cmdCancel"))->click(); });
    });
    const QStringList before = form->TickerList().Entries();
    form->FileNew();
    QCOMPARE(built, 0);
    QCOMPARE(form->PageCount(), 0);
    QCOMPARE(form->TickerList().Entries(), before);
}

void MainFormTest::changedSeriesReplacesThePage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    const QString priceFile = form->Folders().DataDir + QStringLiteral("/Spy.csv");
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
    form->EditChangeOption();
    QCOMPARE(built, 1);
    QTRY_VERIFY(oldWindow.isNull());
    QCOMPARE(form->PageCount(), 1);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->SeriesFile(), QStringLiteral("/somewhere/spy.ops"));
    QVERIFY(form->TickerList().Entries().contains(QStringLiteral("SPY=Spy")));
    QVERIFY(!form->TickerList().Entries().contains(QStringLiteral("SPY=SPY")));
}

void MainFormTest::pageGoneWhileTheSetupClosesKeepsItsFile()
{
    // The events that run after the setup dialog closes may take the edited
    // page away; its series file still goes to the new page.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    int built = 0;
    form->SetPageFactory(PageFromSetup(&built));
    auto* old = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    old->SetSeriesFile(QStringLiteral("/somewhere/a-rather-long-folder-name/spy-january.ops"));
    auto expiry = std::make_unique<TInOutObj>();
    expiry->OptSymbol = "SPY";
    expiry->NumStrikes = 1;
    expiry->Strike(1, 1) = expiry->Strike(1, 2) = 450;
    old->expiries.push_back(std::move(expiry));
    old->Window()->show();
    Activate(old->Window());
    QPointer<QWidget> oldWindow = old->Window();

    form->SetSetupDialogHook([&](TdlgInputs& dialog) {
        AnswerSetup(dialog, QString(), QStringLiteral("SPY"), QStringLiteral("rbEquity"));
        QTimer::singleShot(0, &dialog, [oldWindow] {
            QTimer::singleShot(0, [oldWindow] { delete oldWindow.data(); });
        });
    });
    form->EditChangeOption();
    QCOMPARE(built, 1);
    QVERIFY(oldWindow.isNull());
    QCOMPARE(form->PageCount(), 1);
    IOptionPage* page = form->FindActivePage();
    QVERIFY(page);
    QCOMPARE(page->SeriesFile(), QStringLiteral("/somewhere/a-rather-long-folder-name/spy-january.ops"));
}

void MainFormTest::newPageThatClosesAtOnceLeavesNoCurrentPage()
{
    // The events that run while a new page is shown may take it away again;
    // the command that made it must not touch it afterwards.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* old = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    auto expiry = std::make_unique<TInOutObj>();
    expiry->OptSymbol = "SPY";
    expiry->NumStrikes = 1;
    expiry->Strike(1, 1) = expiry->Strike(1, 2) = 450;
    old->expiries.push_back(std::move(expiry));
    old->Window()->show();
    Activate(old->Window());
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
    form->EditChangeOption();
    QCOMPARE(built, 1);
    QTRY_COMPARE(form->PageCount(), 0);
    QVERIFY(oldWindow.isNull());
    QVERIFY(form->FindActivePage() == nullptr);

    form->FileNew();
    QCOMPARE(built, 2);
    QTRY_COMPARE(form->PageCount(), 0);
    QVERIFY(form->FindActivePage() == nullptr);
}

void MainFormTest::openSetsTheSeriesFolder()
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
        openFromFile = owner.OpenFromFile();
        openName = owner.OpenFileName();
        return std::make_unique<FakePage>(QStringLiteral("MINE"));
    });
    WhileModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Load a saved option series grid"));
            QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(form->SeriesDir()).canonicalPath());
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(series);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    form->FileOpen();
    WhileModal(nullptr);
    QVERIFY(openFromFile);
    QCOMPARE(openName, series);
    QCOMPARE(form->SeriesDir(), folder);
    QCOMPARE(form->PageCount(), 1);
}

void MainFormTest::sampleSeriesOpensOnFirstRun()
{
    // The very first start opens the sample's priced page below the strip.
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    QVERIFY(QFileInfo::exists(form->SeriesDir() + QStringLiteral("/sample.ops")));
    QVERIFY2(notifier_.infos.isEmpty() && notifier_.errors.isEmpty(),
             qPrintable((notifier_.infos + notifier_.errors).join(QLatin1Char('\n'))));
    QCOMPARE(form->PageCount(), 1);
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
    QTRY_COMPARE(form->PageCount(), 0);
    QVERIFY(form->FindActivePage() == nullptr);

    // A later start opens nothing.
    form->close();
    auto later = NewForm();
    later->SetPageFactory(OptionPageFactory());
    QVERIFY(later->FormCreate());
    QCOMPARE(later->PageCount(), 0);
}

void MainFormTest::saveWritesThroughThePage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* page = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    page->SetSeriesFile(QStringLiteral("SPY.ops"));
    page->Window()->show();
    Activate(page->Window());

    const QString folder = root_->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(folder));
    WhileModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Option Series"));
            QCOMPARE(dialog->selectedFiles().value(0).section(QLatin1Char('/'), -1), QStringLiteral("SPY.ops"));
            dialog->setDirectory(folder);
            // Typed into the name box, as a user does.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("spy-jan"));
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    form->FileSave();
    WhileModal(nullptr);
    QCOMPARE(page->savedTo, QStringList{folder + QStringLiteral("/spy-jan.ops")});
    QCOMPARE(form->SeriesDir(), folder);
}

void MainFormTest::pageGoneDuringTheSaveDialogIsNotSaved()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* page = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    page->SetSeriesFile(QStringLiteral("SPY.ops"));
    page->Window()->show();
    Activate(page->Window());
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
    form->FileSave();
    WhileModal(nullptr);
    QCOMPARE(form->PageCount(), 0);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/spy-jan.ops")));
    QCOMPARE(form->SeriesDir(), form->Folders().SeriesDir);
}

void MainFormTest::savingOverAnotherSeriesAsksFirst()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    QWidget* window = nullptr;
    QTRY_VERIFY((window = form->findChild<QWidget*>(QStringLiteral("frmOPage"))) != nullptr);
    Activate(window);
    const QString own = form->SeriesDir() + QStringLiteral("/sample.ops");
    const QString other = form->SeriesDir() + QStringLiteral("/other.ops");
    QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/series/worked_example.ops"), other));
    const QByteArray otherBytes = FileBytes(other);

    auto saveAs = [&](const QString& path) {
        WhileModal(TypeIntoFileDialog(QFileInfo(path).absolutePath(), QFileInfo(path).fileName()));
        Activate(window);
        form->FileSave();
        WhileModal(nullptr);
    };

    // No: the other series keeps every byte, and the page its own file.
    notifier_.answer = false;
    saveAs(other);
    QCOMPARE(notifier_.questions, QStringList{QStringLiteral("other.ops already exists. Do you want to replace it?")});
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
    const QString folder = form->SeriesDir();
    const QString elsewhere = root_->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    saveAs(elsewhere + QStringLiteral("/spy.ops"));
    QCOMPARE(failing->savedTo, QStringList{elsewhere + QStringLiteral("/spy.ops")});
    QCOMPARE(failing->SeriesFile(), QStringLiteral("SPY.ops"));
    QCOMPARE(form->SeriesDir(), folder);
}

void MainFormTest::exportWritesEveryExpiryOfThePage()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    QWidget* window = nullptr;
    QTRY_VERIFY((window = form->findChild<QWidget*>(QStringLiteral("frmOPage"))) != nullptr);
    Activate(window);
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
    QCOMPARE(QString::fromLatin1(lines[0]).section(QLatin1Char(','), 0, 3), QStringLiteral("expiry,strike,side,vol"));
    const TInOutObj* first = page->Expiries().front();
    const CivilDate expiry = DecodeDate(first->ExpiryDate);
    QVERIFY(lines[1].startsWith(QStringLiteral("%1-%2-%3,")
                                    .arg(expiry.year)
                                    .arg(expiry.month, 2, 10, QLatin1Char('0'))
                                    .arg(expiry.day, 2, 10, QLatin1Char('0'))
                                    .toLatin1()));
    QVERIFY(notifier_.infos.isEmpty());
}

namespace {

// Stands in for the browser: records the pages asked for.
class PageRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

}  // namespace

void MainFormTest::helpOpensThePageOfTheActiveWindow()
{
    PageRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* page = static_cast<FakePage*>(form->AddPage(std::make_unique<FakePage>(QStringLiteral("AAA"))));
    page->Window()->setProperty("helpKeyword", QStringLiteral("Option Series Grid"));
    page->Window()->show();
    Activate(page->Window());
    QTest::keyClick(page->edit, Qt::Key_F1);
    Activate(form.get());
    QTest::keyClick(form.get(), Qt::Key_F1);
    form->findChild<QToolButton*>(QStringLiteral("sbHelp"))->click();
    // A modal dialog's own F1 is not taken over by the strip's.
    form->SetSetupDialogHook([](TdlgInputs& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            Activate(&dialog);
            QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("edOSymbl")), Qt::Key_F1);
            dialog.findChild<QAbstractButton*>(QStringLiteral("cmdCancel"))->click();
        });
    });
    form->FileNew();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QVERIFY(notifier_.infos.isEmpty());
    QCOMPARE(browser.opened.size(), 4);
    QCOMPARE(browser.opened[3].fileName(), QStringLiteral("option-setup.html"));
    QCOMPARE(browser.opened[0].fileName(), QStringLiteral("option-grid.html"));
    QCOMPARE(browser.opened[1].fileName(), QStringLiteral("index.html"));
    QCOMPARE(browser.opened[2].fileName(), QStringLiteral("index.html"));
    QVERIFY(QFileInfo::exists(browser.opened[0].toLocalFile()));
}

void MainFormTest::helpThatCannotOpenSaysSo()
{
    // The help pages cannot be written out: F1 in the strip and in the
    // interest rates dialog both tell the user instead of doing nothing.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", root_->path().toLocal8Bit());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QVERIFY(cache.startsWith(root_->path()));
    QVERIFY(QDir().mkpath(cache));
    QFile blocker(cache + QStringLiteral("/Tovanek"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto form = NewForm();
    QVERIFY(form->FormCreate());
    form->sbHelpClick();
    QCOMPARE(notifier_.infos.size(), 1);
    WhileModal([](QWidget* modal) {
        if (modal->objectName() == QStringLiteral("dlgIntRates")) {
            // The F1 shortcut reaches only an active window.
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_F1);
        }
    });
    form->Editdefaultinterestrates1Click();
    WhileModal(nullptr);
    qputenv("HOME", home);
    QCOMPARE(notifier_.infos.size(), 2);
    QVERIFY2(notifier_.infos[1].startsWith(QStringLiteral("Cannot create ")), qPrintable(notifier_.infos[1]));
}

void MainFormTest::emptyListRefusesDownload()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    int runs = 0;
    form->SetDownloadCommand([&](TMainForm&) { ++runs; });
    form->DoDownload();
    QCOMPARE(runs, 1);

    form->TickerList().Clear();
    form->spdbtnDownload()->setChecked(true);
    form->DoDownload();
    QCOMPARE(runs, 1);
    QCOMPARE(notifier_.infos, QStringList{QStringLiteral("You need to enter one or more symbols to download.")});
    QVERIFY(!form->spdbtnDownload()->isChecked());
}

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
