// The download command of the main window on the offscreen platform, with
// the loopback servers: the download dialog and its check boxes, what
// Cancel and OK leave behind, the progress display fed by the transfers,
// the stop by the button and by Escape, the symbol editor and the raw-data
// viewer.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <array>
#include <memory>

#include "app/DownloadCommands.h"
#include "app/MainForm.h"
#include "download/DownLoadDlg.h"
#include "download/loopback_servers.h"
#include "download/SymbolEditor.h"
#include "downloadcore/HTTPer.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

using RecordingNotifier = kestrava::testsupport::QtRecordingNotifier;

const std::string kTable = "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,\r\n";
const std::string kCsv =
    "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.55,143.90,144.39,87607000,144.39\n";

// A page that counts the refreshes the download run asks for.
class CountingPage : public IOptionPage {
public:
    explicit CountingPage(const QString& title) : window_(new QWidget), title_(title) {}
    QWidget* Window() const override { return window_; }
    QString Title() const override { return title_; }
    QString SeriesFile() const override { return {}; }
    void SetSeriesFile(const QString&) override {}
    QString PriceTextFile() const override { return {}; }
    QString PriceWorkFile() const override { return {}; }
    std::vector<const TInOutObj*> Expiries() const override { return {}; }
    bool SavePage() override { return true; }
    void PrintPage(QPrinter&) override {}
    void RefreshAfterDownload() override { ++refreshes; }

    int refreshes = 0;

private:
    QWidget* window_;
    QString title_;
};

// Takes the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

struct ProgressSample {
    int maximum;
    int value;
    QString ticker;
    bool barShown;
    bool buttonDown;
};

}  // namespace

class DownloadWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> root_;
    RecordingNotifier notifier_;
    std::unique_ptr<QuoteServer> quotes_;
    std::unique_ptr<HistoryServer> history_;

    std::unique_ptr<TMainForm> NewForm(DownloadCommandOptions options = {})
    {
        auto form = std::make_unique<TMainForm>(
            TMainForm::Environment{{root_->filePath(QStringLiteral("share")),
                                    root_->filePath(QStringLiteral("Documents")), root_->path()},
                                   LocaleInfo{},
                                   &notifier_});
        // A deployment's own, short template: the loopback server takes form
        // bodies of at most 8 KB.
        const QString appDir = root_->filePath(QStringLiteral("Documents/Tovanek/Kestrava27"));
        QDir().mkpath(appDir);
        QFile own(appDir + QStringLiteral("/POSTSTR5B"));
        if (!own.open(QIODevice::WriteOnly) || own.write("__VIEWSTATE=x%2B&txtTicker=\r\n") < 0)
            return nullptr;
        own.close();
        if (!form->FormCreate())
            return nullptr;
        form->Session().Settings().QuoteServer = QString::fromStdString(quotes_->Base());
        form->Session().Settings().HistoryServer = QString::fromStdString(history_->Base());
        options.timeoutMs = options.timeoutMs == 20000 ? 3000 : options.timeoutMs;
        form->SetDownloadCommand(DownloadCommand(std::move(options)));
        return form;
    }

    // The dialog with the quotes of GLD alone chosen, and no history.
    static void QuotesOfGldAlone(TDloadDlg& dialog)
    {
        QTimer::singleShot(0, &dialog, [&dialog] {
            for (int i = 0; i < dialog.ckListBoxCBOE->count(); ++i)
                dialog.ckListBoxCBOE->item(i)->setCheckState(
                    dialog.ckListBoxCBOE->item(i)->text() == QLatin1String("GLD") ? Qt::Checked
                                                                                  : Qt::Unchecked);
            dialog.ckDoMSN->setChecked(false);
            dialog.btnOK->click();
        });
    }

    QString DataFile(TMainForm& form, const QString& name) const
    {
        return form.Session().Folders().DataDir + u'/' + name;
    }

    static CountingPage* AddActivePage(TMainForm& form)
    {
        auto page = std::make_unique<CountingPage>(QStringLiteral("spx"));
        CountingPage* raw = page.get();
        form.AddPage(std::move(page));
        raw->Window()->show();
        raw->Window()->activateWindow();
        QApplication::setActiveWindow(raw->Window());
        return raw;
    }

    // What the user does in the symbol editor, checking what it shows.
    void EditRows(TSymEditDlg& dialog)
    {
        QTableWidget* grid = dialog.vlEdit;
        QCOMPARE(grid->rowCount(), 2);
        // The editor starts with the cell's text in upper case.
        grid->setCurrentCell(0, 0);
        QTest::keyClick(grid, Qt::Key_F2);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("GLD"));
        // A symbol the list has already is refused.
        editor->setText(QStringLiteral("spy"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(notifier_.infos.size(), 1);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("gld"));
        QVERIFY(notifier_.infos[0].contains(QStringLiteral("spy")));
        // Down Arrow past the last row adds one row, not a pile.
        grid->setCurrentCell(1, 0);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->rowCount(), 3);
        grid->item(2, 1)->setText(QStringLiteral("NOKEY"));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->rowCount(), 4);
        grid->item(3, 0)->setText(QStringLiteral("QQQ"));
        // Ctrl+Delete deletes the current row.
        grid->setCurrentCell(1, 1);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(grid->rowCount(), 3);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        root_ = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           root_->filePath(QStringLiteral("config")));
        notifier_ = RecordingNotifier();
        quotes_ = std::make_unique<QuoteServer>();
        history_ = std::make_unique<HistoryServer>();
    }

    void cleanup()
    {
        quotes_.reset();
        history_.reset();
        root_.reset();
    }

    void dialogListsFollowTheEntriesAndTheBoxes()
    {
        TDloadDlg dialog({QStringLiteral("GLD=GLD"), QStringLiteral("SPY="), QStringLiteral("^VIX"),
                          QStringLiteral("SPX=^GSPC")},
                         true, false);
        const auto texts = [](QListWidget* list) {
            QStringList all;
            for (int i = 0; i < list->count(); ++i)
                all.append(list->item(i)->text());
            return all;
        };
        QCOMPARE(texts(dialog.ckListBoxCBOE), (QStringList{"GLD", "SPY", "SPX"}));
        QCOMPARE(texts(dialog.ckListBoxMSN), (QStringList{"GLD", "^VIX", "^GSPC"}));
        // As the flags start: every option symbol checked, no underlying.
        QVERIFY(dialog.ckDoCBOE->isChecked() && !dialog.ckDoMSN->isChecked());
        QCOMPARE(TDloadDlg::CheckedItems(dialog.ckListBoxCBOE), texts(dialog.ckListBoxCBOE));
        QVERIFY(TDloadDlg::CheckedItems(dialog.ckListBoxMSN).isEmpty());

        // A box checks and unchecks its own list only; single items follow
        // the user afterwards.
        dialog.ckListBoxCBOE->item(1)->setCheckState(Qt::Unchecked);
        dialog.ckDoMSN->click();
        QCOMPARE(TDloadDlg::CheckedItems(dialog.ckListBoxMSN), texts(dialog.ckListBoxMSN));
        dialog.ckDoMSN->click();
        QVERIFY(TDloadDlg::CheckedItems(dialog.ckListBoxMSN).isEmpty());
        QCOMPARE(TDloadDlg::CheckedItems(dialog.ckListBoxCBOE), (QStringList{"GLD", "SPX"}));
        dialog.ckDoCBOE->click();
        QVERIFY(TDloadDlg::CheckedItems(dialog.ckListBoxCBOE).isEmpty());
    }

    void cancelTakesTheChoicesButFetchesNothing()
    {
        DownloadCommandOptions options;
        options.dialogHook = [](TDloadDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.ckListBoxCBOE->item(0)->setCheckState(Qt::Unchecked);
                dialog.ckDoMSN->click();
                dialog.btnCancel->click();
            });
        };
        auto form = NewForm(options);
        QVERIFY(form);
        form->Data().DoDownload();
        QCOMPARE(form->Session().QuoteSelection(), (QStringList{"OEX", "OIL", "QQQ", "SPX", "SPY", "YHOO"}));
        QCOMPARE(form->Session().HistorySelection(),
                 (QStringList{"GLD", "^OEX", "OIL", "QQQ", "^GSPC", "SPY", "YHOO"}));
        QVERIFY(form->Session().QuoteDownloadFlag() && !form->Session().HistoryDownloadFlag());
        QVERIFY(quotes_->Requests().empty() && history_->Requests().empty());
        QVERIFY(!form->Progress().spdbtnDownload()->isChecked());
    }

    void okFetchesBothShowsProgressAndRefreshesThePage()
    {
        quotes_->SetTable("spx", kTable);
        history_->SetCsv("^gspc", kCsv);
        std::vector<ProgressSample> samples;
        TMainForm* shown = nullptr;
        DownloadCommandOptions options;
        options.dialogHook = [](TDloadDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                for (int i = 0; i < dialog.ckListBoxCBOE->count(); ++i)
                    if (dialog.ckListBoxCBOE->item(i)->text() != QLatin1String("SPX"))
                        dialog.ckListBoxCBOE->item(i)->setCheckState(Qt::Unchecked);
                dialog.ckDoMSN->click();
                for (int i = 0; i < dialog.ckListBoxMSN->count(); ++i)
                    if (dialog.ckListBoxMSN->item(i)->text() != QLatin1String("^GSPC"))
                        dialog.ckListBoxMSN->item(i)->setCheckState(Qt::Unchecked);
                dialog.btnOK->click();
            });
        };
        std::vector<std::array<qint64, 3>> reading;  // bytes so far, the bar's value and maximum
        options.clientHook = [&](HTTPer& http) {
            auto work = http.OnWork;
            http.OnWork = [&, work](WorkMode mode, std::int64_t count) {
                work(mode, count);
                if (mode == WorkMode::Read)
                    reading.push_back({count, shown->Progress().pbDownload()->value(),
                                       shown->Progress().pbDownload()->maximum()});
            };
            auto end = http.OnWorkEnd;
            http.OnWorkEnd = [&, end](WorkMode mode) {
                end(mode);
                if (mode == WorkMode::Read)
                    samples.push_back(
                        {shown->Progress().pbDownload()->maximum(), shown->Progress().pbDownload()->value(),
                         shown->Progress().lblTicker()->text(), shown->Progress().pbDownload()->isVisible(),
                         shown->Progress().spdbtnDownload()->isChecked()});
            };
        };
        auto form = NewForm(options);
        QVERIFY(form);
        shown = form.get();
        CountingPage* page = AddActivePage(*form);
        form->Data().DoDownload();

        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(u'|')));
        QCOMPARE(form->Session().QuoteSelection(), QStringList{"SPX"});
        QCOMPARE(form->Session().HistorySelection(), QStringList{"^GSPC"});
        QVERIFY(form->Session().QuoteDownloadFlag() && form->Session().HistoryDownloadFlag());
        QFile quoteFile(DataFile(*form, QStringLiteral("SPX.txt")));
        QVERIFY(quoteFile.open(QIODevice::ReadOnly));
        QCOMPARE(quoteFile.readAll().toStdString(), kTable);
        // The first run made the data folder the price-file folder.
        QVERIFY(QFileInfo::exists(DataFile(*form, QStringLiteral("^GSPC.csv"))));
        QCOMPARE(page->refreshes, 1);

        // While a reply of announced size is read the bar shows its bytes.
        QVERIFY(
            std::any_of(reading.begin(), reading.end(), [](const auto& r) { return r[0] > 0 && r[2] > 0; }));
        for (const auto& [count, value, maximum] : reading)
            if (maximum > 0)
                QCOMPARE(value, std::min(count, maximum));
        // Each reply's end fills the bar; the label names what is fetched.
        QVERIFY(samples.size() >= 3);
        const ProgressSample& csv = samples.back();
        QCOMPARE(csv.maximum, static_cast<int>(kCsv.size()));
        QCOMPARE(csv.value, csv.maximum);
        QCOMPARE(csv.ticker, QStringLiteral("Getting Daily H-L-C -> ^GSPC"));
        QVERIFY(csv.barShown && csv.buttonDown);
        QCOMPARE(samples.front().ticker, QStringLiteral("Getting Options -> SPX"));
        // Afterwards the strip is as before.
        QVERIFY(form->Progress().pbDownload()->isHidden() && form->Progress().lblTicker()->isHidden());
        QVERIFY(!form->Progress().spdbtnDownload()->isChecked());
    }

    void aSeparatePriceFolderTakesTheHistory()
    {
        history_->SetCsv("^gspc", kCsv);
        DownloadCommandOptions options;
        options.dialogHook = [](TDloadDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.ckDoCBOE->setChecked(false);
                dialog.ckDoMSN->setChecked(true);
                for (int i = 0; i < dialog.ckListBoxMSN->count(); ++i)
                    dialog.ckListBoxMSN->item(i)->setCheckState(
                        dialog.ckListBoxMSN->item(i)->text() == QLatin1String("^GSPC") ? Qt::Checked
                                                                                       : Qt::Unchecked);
                dialog.btnOK->click();
            });
        };
        auto form = NewForm(options);
        QVERIFY(form);
        const QString prices = root_->filePath(QStringLiteral("prices"));
        QVERIFY(QDir().mkpath(prices));
        form->Session().Settings().AsciiDataDir = prices;
        form->Data().DoDownload();
        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(u'|')));
        QVERIFY(QFileInfo::exists(prices + QStringLiteral("/^GSPC.csv")));
        QVERIFY(!QFileInfo::exists(DataFile(*form, QStringLiteral("^GSPC.csv"))));
    }

    void theDeadlineSettingBoundsEachRequestInSeconds()
    {
        quotes_->SetTable("gld", kTable);
        quotes_->SetMisbehaviour("gld", Misbehaviour::Stall);
        DownloadCommandOptions options;
        options.timeoutMs = 60000;  // silence alone would not end it in the test's time
        options.dialogHook = QuotesOfGldAlone;
        auto form = NewForm(options);
        QVERIFY(form);
        form->Session().Settings().RequestDeadline = 1;
        form->Data().DoDownload();
        const QString said = notifier_.messages.join(u'|');
        QVERIFY2(said.contains(QStringLiteral("after 1 s, the deadline of a request")), qPrintable(said));
        QVERIFY(!QFileInfo::exists(DataFile(*form, QStringLiteral("GLD.txt"))));
    }

    void theWindowsTimeOutEndsASilentRequest()
    {
        // The server stalls for longer than the time-out and less than the
        // deadline: the time-out the window was given ends the request.
        quotes_->SetTable("gld", kTable);
        quotes_->SetMisbehaviour("gld", Misbehaviour::Stall);
        DownloadCommandOptions options;
        options.timeoutMs = 500;
        options.dialogHook = QuotesOfGldAlone;
        auto form = NewForm(options);
        QVERIFY(form);
        form->Data().DoDownload();
        const QString said = notifier_.messages.join(u'|');
        QVERIFY2(said.contains(QStringLiteral("Read timed out.")), qPrintable(said));
        QVERIFY(!QFileInfo::exists(DataFile(*form, QStringLiteral("GLD.txt"))));
    }

    void aRunThatCannotStartSaysWhyAndLeavesTheButtonUp()
    {
        quotes_->SetTable("gld", kTable);
        DownloadCommandOptions options;
        options.dialogHook = QuotesOfGldAlone;
        auto form = NewForm(options);
        QVERIFY(form);
        // A file where the folder for the replies belongs.
        const QString temp = form->Session().Folders().TempDir;
        QVERIFY(QDir(temp).removeRecursively());
        QFile blocker(temp);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        form->Data().DoDownload();
        const QString said = notifier_.messages.join(u'|');
        QVERIFY2(said.contains(QStringLiteral("Cannot make a folder for the replies in ")), qPrintable(said));
        QVERIFY(quotes_->Requests().empty());
        QVERIFY(!form->Progress().spdbtnDownload()->isChecked());
    }

    void theButtonOrEscapeStopsTheRun_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("download button") << false;
        QTest::newRow("Escape") << true;
    }
    void theButtonOrEscapeStopsTheRun()
    {
        QFETCH(bool, escape);
        for (const char* symbol : {"gld", "oex"})
            quotes_->SetTable(symbol, kTable);
        quotes_->SetMisbehaviour("oex", Misbehaviour::Stall);
        DownloadCommandOptions options;
        options.timeoutMs = 10000;
        QString history;  // the one history symbol chosen
        options.dialogHook = [&history](TDloadDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog, &history] {
                for (int i = 2; i < dialog.ckListBoxCBOE->count(); ++i)
                    dialog.ckListBoxCBOE->item(i)->setCheckState(Qt::Unchecked);
                dialog.ckDoMSN->setChecked(true);
                for (int i = 0; i < dialog.ckListBoxMSN->count(); ++i)
                    dialog.ckListBoxMSN->item(i)->setCheckState(i == 0 ? Qt::Checked : Qt::Unchecked);
                history = dialog.ckListBoxMSN->item(0)->text();
                dialog.btnOK->click();
            });
        };
        auto form = NewForm(options);
        QVERIFY(form);
        CountingPage* page = AddActivePage(*form);
        // Once OEX waits for its data, the user stops.
        QTimer stopper;
        stopper.setInterval(10);
        connect(&stopper, &QTimer::timeout, form.get(), [&] {
            if (quotes_->Requests().size() < 4)
                return;
            stopper.stop();
            if (escape)
                QTest::keyClick(page->Window(), Qt::Key_Escape);
            else
                form->Progress().spdbtnDownload()->click();
        });
        stopper.start();
        QElapsedTimer clock;
        clock.start();
        form->Data().DoDownload();

        QVERIFY(clock.elapsed() < 5000);
        // What came and what did not, the broken-off OEX and the history
        // the stop left out among them.
        QCOMPARE(notifier_.messages,
                 QStringList{QStringLiteral("The download was stopped. Fetched: GLD quotes. "
                                            "Not fetched: OEX quotes, %1 history.")
                                 .arg(history)});
        QVERIFY(QFileInfo::exists(DataFile(*form, QStringLiteral("GLD.txt"))));
        QVERIFY(!QFileInfo::exists(DataFile(*form, QStringLiteral("OEX.txt"))));
        QCOMPARE(quotes_->Bodies().size(), 2u);
        QVERIFY(!form->Progress().spdbtnDownload()->isChecked());
        QCOMPARE(page->refreshes, 1);
    }

    void symbolEditorRefusesDuplicatesAndUpperCasesTheEditedCell()
    {
        auto form = NewForm();
        QVERIFY(form);
        form->Session().TickerList().Assign({QStringLiteral("gld=GLD"), QStringLiteral("SPY=SPY")});
        bool ranChecks = false;
        form->SetDownloadListEditor(SymbolEditorCommand([&](TSymEditDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&] {
                EditRows(dialog);
                ranChecks = !QTest::currentTestFailed();
                (ranChecks ? dialog.btnOK : dialog.btnCancel)->click();
            });
        }));
        form->Data().EditDownloadListItemClick();
        QVERIFY(ranChecks);
        // The row without an option symbol is gone; one without a history
        // symbol stays.
        QCOMPARE(form->Session().TickerList().Entries(), (QStringList{"gld=GLD", "QQQ="}));

        // Cancel leaves the list as it was.
        form->SetDownloadListEditor(SymbolEditorCommand([](TSymEditDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.vlEdit->removeRow(0);
                dialog.btnCancel->click();
            });
        }));
        form->Data().EditDownloadListItemClick();
        QCOMPARE(form->Session().TickerList().Entries(), (QStringList{"gld=GLD", "QQQ="}));
    }

    void viewRawDataOpensThePagesQuoteFile()
    {
        auto form = NewForm();
        QVERIFY(form);
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
        AddActivePage(*form);
        form->findChild<QAction*>(QStringLiteral("ViewDataItem"))->trigger();
        QVERIFY(catcher.opened.isEmpty());  // no quote file: nothing, and no message
        QFile file(DataFile(*form, QStringLiteral("SPX.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        form->findChild<QAction*>(QStringLiteral("ViewDataItem"))->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(file.fileName())});
        QVERIFY(notifier_.messages.isEmpty());

        // Without a program for the file the user is told, with its path.
        form->findChild<QAction*>(QStringLiteral("ViewDataItem"))->trigger();
        QTRY_COMPARE(notifier_.messages, QStringList{QStringLiteral("No program could be started to show ")
                                                     + QDir::toNativeSeparators(file.fileName())});
    }
};

QTEST_MAIN(DownloadWindowsTest)
#include "download_windows_test.moc"
