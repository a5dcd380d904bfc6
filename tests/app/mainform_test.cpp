// The main window on the offscreen platform: start-up and shut-down with
// throw-away settings and folders, page tracking, shortcuts, help and the
// download command.

#include "mainform_fixture.h"

#include <QScopeGuard>

using namespace kestrava;
using namespace kestrava::mainformtest;

class MainFormTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init() { FreshFolders(); }
    void cleanup() { root_.reset(); }

    void firstRun();
    void savedPlacement();
    void placementOffEveryScreenIsNotUsed();
    void badRateStillStarts();
    void dataFolderThatCannotBeMade();
    void damagedListIsNotOverwritten();
    void pageTracking();
    void commandsWithoutPageDoNothing();
    void shortcutsReachTheMenuFromAPage();
    void everyCommandReachesItsOwnWork();
    void helpOpensThePageOfTheActiveWindow();
    void helpThatCannotOpenSaysSo();
    void emptyListRefusesDownload();
};

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
    QVERIFY(form->Progress().lblTicker()->isHidden());
    QVERIFY(form->Progress().pbDownload()->isHidden());

    const QString data = roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Data");
    QVERIFY(QFileInfo(roots_.localAppData + QStringLiteral("/Tovanek/Kestrava27/Data")).isDir());
    QVERIFY(QFileInfo(data).isDir());
    QCOMPARE(form->Session().Settings().AsciiDataDir, QDir::toNativeSeparators(data));
    QCOMPARE(form->Session().Settings().Rate30, 0.005f);
    QCOMPARE(form->Session().Settings().Rate60, 0.005f);
    QCOMPARE(form->Session().Settings().Rate90, 0.005f);
    QVERIFY(form->Session().RequestTemplate().endsWith("txtTicker="));
    QVERIFY(form->Session().QuoteDownloadFlag());
    QVERIFY(!form->Session().HistoryDownloadFlag());
    QVERIFY(QFileInfo::exists(data + QStringLiteral("/SMPL.csv")));

    // The default list is on disk at once, before any shut-down.
    const QByteArray tickers = FileBytes(roots_.documents
                                         + QStringLiteral("/Tovanek/Kestrava27/Tickers.txt"));
    QCOMPARE(tickers, QByteArray("GLD=GLD\nOEX=^OEX\nOIL=OIL\nQQQ=QQQ\nSPX=^GSPC\nSPY=SPY\nYHOO=YHOO\n"));

    form->Session().Settings().Rate60 = 0.0275f;
    form->close();
    QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
    QCOMPARE(stored.value(QStringLiteral("WinDims/Width")).toString(), QStringLiteral("780"));
    QCOMPARE(stored.value(QStringLiteral("Rates/30DayRate")).toString(),
             QStringLiteral("0.00499999988824129"));
    QCOMPARE(stored.value(QStringLiteral("Rates/60DayRate")).toString(),
             QStringLiteral("0.0274999998509884"));
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
    QCOMPARE(form->Session().Settings().Rate30, 0.005f);
    QCOMPARE(form->Session().Settings().Rate90, 0.02f);
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY(notifier_.infos.first().contains(QStringLiteral("30DayRate")));
    QVERIFY(notifier_.infos.first().contains(QStringLiteral("half a percent")));
    QVERIFY2(notifier_.infos.first().endsWith(QStringLiteral("using 0.005 instead.")),
             qPrintable(notifier_.infos.first()));
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
             QStringList{
                 QStringLiteral("Cannot create ")
                 + QDir::toNativeSeparators(roots_.documents + QStringLiteral("/Tovanek/Kestrava27/Data"))});
    // Nothing of the failed start is written back.
    form->close();
    QVERIFY(!QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"))
                 .contains(QStringLiteral("WinDims/Width")));
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
        QCOMPARE(form->Session().TickerList().Count(), 2);
        QCOMPARE(notifier_.infos.size(), 1);
        form->close();
    }
    QCOMPARE(FileBytes(tickers), damaged);

    // Once the user changes the list, the change is what counts.
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    form->Session().TickerList().Add(QStringLiteral("AAPL=AAPL"));
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
    QCOMPARE(form->Pages().Current(), first->Window());
    QCOMPARE(form->FindActivePage(), first);

    Activate(second->Window());
    QCOMPARE(form->FindActivePage(), second);

    // Closing the current page makes the last remaining page current.
    delete second->Window();
    QCOMPARE(form->Pages().Count(), 1);
    QCOMPARE(form->FindActivePage(), first);

    delete first->Window();
    QCOMPARE(form->Pages().Count(), 0);
    QVERIFY(form->FindActivePage() == nullptr);
}

void MainFormTest::commandsWithoutPageDoNothing()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    form->Files().FileSave();
    form->Files().FilePrint();
    form->Data().sbViewDataClick();
    form->Files().EditChangeOption();
    // A modal opened by a command holds it until the guard closes it; one
    // posted for later opens here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
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
    } shortcuts[] = {{"FileOpenItem", Qt::Key_O},  {"FileNewItem", Qt::Key_N},
                     {"FileSaveItem", Qt::Key_S},  {"FileDownloadItem", Qt::Key_D},
                     {"FilePrintItem", Qt::Key_P}, {"ViewDataItem", Qt::Key_R}};
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

// Stands in for the browser: records the pages asked for.
class PageRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

}  // namespace

// Each menu item and strip button starts its own command, and a button the
// same command as its menu item: what the command shows (a file dialog by
// its title, another dialog by its class) or hands on (the download hooks,
// the help page or the quote file the browser is asked for).
void MainFormTest::everyCommandReachesItsOwnWork()
{
    PageRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
    const auto unsetHandler = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    QVERIFY(!form->Session().TickerList().IsEmpty());
    QStringList seen;
    form->SetDownloadCommand([&seen](TMainForm&) { seen << QStringLiteral("download"); });
    form->SetDownloadListEditor([&seen](TMainForm&) { seen << QStringLiteral("list editor"); });
    WhileModal([&seen](QWidget* modal) {
        seen << (qobject_cast<QFileDialog*>(modal) ? modal->windowTitle()
                                                   : QLatin1String(modal->metaObject()->className()));
    });
    FakePage* page = AddSpyPage(*form);
    QFile quotes(form->Session().Folders().DataDir + QStringLiteral("/SPY.txt"));
    QVERIFY(quotes.open(QIODevice::WriteOnly));
    quotes.close();

    const struct {
        const char* trigger;  // a menu item, or a strip button
        const char* shows;
    } commands[] = {
        {"FileOpenItem", "Load a saved option series grid"},
        {"sbFileOpen", "Load a saved option series grid"},
        {"FileOpenChainItem", "Open an option quote table"},
        {"FileNewItem", "kestrava::TdlgInputs"},
        {"sbNew", "kestrava::TdlgInputs"},
        {"FileSaveItem", "Save Option Series"},
        {"sbFileSave", "Save Option Series"},
        {"FileDownloadItem", "download"},
        {"spdbtnDownload", "download"},
        {"FileImportHistoryItem", "Import price history"},
        {"FilePrintItem", "QPrintDialog"},
        {"sbPrint", "QPrintDialog"},
        {"FileExportGridItem", "Export grid"},
        {"EditOptionItem", "kestrava::TdlgInputs"},
        {"sbEdit", "kestrava::TdlgInputs"},
        {"Editdefaultinterestrates1", "kestrava::TdlgIntRates"},
        {"EditDownloadListItem", "list editor"},
        {"sbEditList", "list editor"},
        {"EditServersItem", "kestrava::TdlgServers"},
        {"ViewDataItem", "SPY.txt"},
        {"sbViewData", "SPY.txt"},
        {"HelpContentsItem", "index.html"},
        {"sbHelp", "index.html"},
        {"HelpAboutItem", "kestrava::TAboutBoxVer"},
    };
    for (const auto& command : commands) {
        seen.clear();
        browser.opened.clear();
        Activate(page->Window());
        if (auto* action = form->findChild<QAction*>(QLatin1String(command.trigger)))
            action->trigger();
        else if (auto* button = form->findChild<QToolButton*>(QLatin1String(command.trigger)))
            button->click();
        else
            QFAIL(command.trigger);
        QTRY_VERIFY2_WITH_TIMEOUT(!seen.isEmpty() || !browser.opened.isEmpty(), command.trigger, 2000);
        for (const QUrl& url : browser.opened)
            seen << url.fileName();
        QVERIFY2(
            seen == QStringList{QLatin1String(command.shows)},
            qPrintable(QLatin1String(command.trigger) + QStringLiteral(": ") + seen.join(QLatin1Char('|'))));
    }
    QVERIFY(notifier_.infos.isEmpty());

    form->findChild<QAction*>(QStringLiteral("FileExitItem"))->trigger();
    QTRY_VERIFY(!form->isVisible());
}

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
    form->Files().FileNew();
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
    form->Help().sbHelpClick();
    QCOMPARE(notifier_.infos.size(), 1);
    WhileModal([](QWidget* modal) {
        if (modal->objectName() == QStringLiteral("dlgIntRates")) {
            // The F1 shortcut reaches only an active window.
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_F1);
        }
    });
    form->Data().Editdefaultinterestrates1Click();
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
    form->Data().DoDownload();
    QCOMPARE(runs, 1);

    form->Session().TickerList().Clear();
    form->Progress().spdbtnDownload()->setChecked(true);
    form->Data().DoDownload();
    QCOMPARE(runs, 1);
    QCOMPARE(notifier_.infos,
             QStringList{QStringLiteral("You need to enter one or more symbols to download.")});
    QVERIFY(!form->Progress().spdbtnDownload()->isChecked());
}

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
