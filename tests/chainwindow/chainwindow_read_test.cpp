// The chain window reading a large quote table off its thread, as a user
// meets it: the progress shows while the chain shown before stays usable;
// Stop, a damaged table or closing the window leave nothing half read; a
// table read to its end shows the rows the reader gives.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "analysis/QuoteChain.h"
#include "chainwindow/ChainReadBar.h"
#include "chainwindow/ChainTableModel.h"
#include "chainwindow/ChainWindow.h"
#include "support/large_chain_table.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

using Column = ChainTableModel::Column;

const QString kSpy = QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2016-11-25.dat");

// What the user sees of the chain shown: the title, the roots, the status
// line, the expiry tabs and every row's option.
QStringList Shown(const ChainWindow* window)
{
    QStringList shown{window->windowTitle(), window->lblStatus->text(),
                      QString::number(window->tabExpiries->count())};
    for (int i = 0; i < window->cmbRoot->count(); ++i)
        shown << window->cmbRoot->itemText(i);
    const QAbstractItemModel* table = window->tblChain->model();
    for (int row = 0; row < table->rowCount(); ++row)
        shown << table->index(row, Column::kCode).data().toString();
    return shown;
}

}  // namespace

class ChainWindowReadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { notifier_ = testsupport::QtRecordingNotifier(); }

    void interruptedOpenKeepsTheChainShown_data();
    void interruptedOpenKeepsTheChainShown();
    void largeTableReadInTheBackgroundShowsTheReadersRows();
    void closingOrStoppingTheFirstReadEndsTheWindow_data();
    void closingOrStoppingTheFirstReadEndsTheWindow();

private:
    ChainWindow* Open(const QString& file)
    {
        ChainEnvironment environment;
        ChainWindow* window = ChainWindow::Open(file, QString(), environment, notifier_);
        if (window)
            window->show();
        return window;
    }

    QTemporaryDir dir_;
    QString large_;    // above the size Open reads at once
    QString damaged_;  // the same with a broken last row
    testsupport::QtRecordingNotifier notifier_;
};

void ChainWindowReadTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    large_ = dir_.filePath(QStringLiteral("large.dat"));
    testsupport::WriteLargeChainTable(kSpy.toStdString(), large_.toStdString(), 9'000'000);
    damaged_ = dir_.filePath(QStringLiteral("damaged.dat"));
    QVERIFY(QFile::copy(large_, damaged_));
    QFile broken(damaged_);
    QVERIFY(broken.open(QIODevice::Append));
    broken.write("16 Nov 175.00 (SPY1625K175),44.55,0.0\n");
}

void ChainWindowReadTest::interruptedOpenKeepsTheChainShown_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("Stop pressed") << true;
    QTest::newRow("damaged table") << false;
}

void ChainWindowReadTest::interruptedOpenKeepsTheChainShown()
{
    QFETCH(bool, stop);
    ChainWindow* window = Open(kSpy);
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QSignalSpy solved(window, &ChainWindow::solved);
    QVERIFY(solved.wait(60000));
    const QStringList before = Shown(window);
    QSignalSpy opened(window, &ChainWindow::tableOpened);
    QSignalSpy progress(window->readBar, &ChainReadBar::progress);

    window->OpenTable(stop ? large_ : damaged_);
    QVERIFY(window->readBar->isVisible());
    if (stop) {
        QVERIFY(progress.wait());
        QTest::mouseClick(window->readBar->btnStop, Qt::LeftButton);
        QVERIFY(!window->readBar->Reading());
        // Whatever the stopped read had queued reaches nothing.
        QCoreApplication::processEvents();
        QVERIFY(notifier_.infos.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(notifier_.infos.size(), 1, 60000);
        QVERIFY2(notifier_.infos[0].contains(damaged_)
                     && notifier_.infos[0].contains(QStringLiteral("Line ")),
                 qPrintable(notifier_.infos[0]));
    }
    QVERIFY(!window->readBar->isVisible());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(QString::fromStdString(window->Chain().fileName), kSpy);
    QCOMPARE(Shown(window), before);
}

void ChainWindowReadTest::largeTableReadInTheBackgroundShowsTheReadersRows()
{
    ChainWindow* window = Open(large_);
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    // The window is there at once, empty, with the read under way.
    QVERIFY(window->readBar->Reading());
    QCOMPARE(window->tblChain->model()->rowCount(), 0);
    QSignalSpy opened(window, &ChainWindow::tableOpened);
    QVERIFY(opened.wait(60000));
    QVERIFY(!window->readBar->isVisible());

    const QuoteChain expected = ReadQuoteChain(large_.toStdString());
    QCOMPARE(window->Chain().roots.size(), expected.roots.size());
    const ChainRoot& root = expected.roots[static_cast<std::size_t>(expected.DefaultRoot())];
    QCOMPARE(QString::fromStdString(window->Root()->name), QString::fromStdString(root.name));
    QCOMPARE(window->tabExpiries->count(), static_cast<int>(root.expiries.size()) + 1);
    // Row by row as the reader has them: expiries, strikes, the call first.
    const QAbstractItemModel* table = window->tblChain->model();
    QCOMPARE(table->rowCount(), 2 * root.StrikeCount());
    int row = 0;
    for (const ChainExpiry& expiry : root.expiries) {
        for (const ChainStrike& strike : expiry.strikes) {
            for (const ChainQuote* quote : {&strike.call, &strike.put}) {
                const QString code = table->index(row, Column::kCode).data().toString();
                QVERIFY2(code == QString::fromStdString(quote->code + strike.suffix),
                         qPrintable(QStringLiteral("row %1: %2").arg(row).arg(code)));
                QCOMPARE(table->index(row, Column::kStrike).data().toString().toDouble(), strike.strike);
                QCOMPARE(table->index(row, Column::kVolume).data().toString().toLongLong(),
                         static_cast<qlonglong>(quote->volume));
                ++row;
            }
        }
    }
}

void ChainWindowReadTest::closingOrStoppingTheFirstReadEndsTheWindow_data()
{
    QTest::addColumn<bool>("close");
    QTest::newRow("window closed") << true;
    QTest::newRow("Stop pressed") << false;
}

void ChainWindowReadTest::closingOrStoppingTheFirstReadEndsTheWindow()
{
    QFETCH(bool, close);
    ChainWindow* window = Open(large_);
    QVERIFY(window);
    const QPointer<ChainWindow> alive(window);
    QSignalSpy progress(window->readBar, &ChainReadBar::progress);
    QVERIFY(progress.wait());
    if (close)
        window->close();
    else
        QTest::mouseClick(window->readBar->btnStop, Qt::LeftButton);
    // A window opened for that table alone has nothing left to show.
    QTRY_VERIFY(!alive);
    QVERIFY(notifier_.infos.isEmpty());
}

QTEST_MAIN(ChainWindowReadTest)
#include "chainwindow_read_test.moc"
