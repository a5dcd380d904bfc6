// The chain window on the SPY table of 25 November 2016, as a user works it:
// the table fills as the expiries are solved, the filters and the sorting,
// closing while the tree is still at work, copying and export under a
// comma locale, and the selection that becomes a series.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <set>

#include "chainwindow/ChainTableModel.h"
#include "chainwindow/ChainWindow.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

using Column = ChainTableModel::Column;

const QString kSpy = QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2016-11-25.dat");
constexpr int kDecember16 = 7;  // the tab of the monthly expiry of 16 December 2016

QString Cell(const QTableView* table, int row, int column, int role = Qt::DisplayRole)
{
    return table->model()->index(row, column).data(role).toString();
}

bool WaitSolved(ChainWindow* window)
{
    QSignalSpy solved(window, &ChainWindow::solved);
    return solved.count() > 0 || solved.wait(60000);
}

}  // namespace

class ChainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { notifier_ = testsupport::QtRecordingNotifier(); }

    void tableFillsWithEveryOptionOfOneRoot();
    void filtersKeepTheBandAndTheBids();
    void columnsSortByTheirNumbers();
    void closingWhileTheTreeSolvesStopsIt();
    void copyAndExportGiveTheViewShown();
    void selectionBecomesANewSeries();
    void delayedQuotesCsvShowsItsRootsLayoutAndOwnFigures();
    void strikeSortKeepsTheCallFirst();
    void defaultSizeShowsEveryColumnAndCountsStrikes();
    void selectionCarriesTheMarketAndItsParityYield();

private:
    ChainWindow* Open(char decimalSeparator = '.', int threads = 0, const QString& file = kSpy)
    {
        ChainEnvironment environment;
        environment.locale.decimalSeparator = decimalSeparator;
        environment.threads = threads;
        ChainWindow* window = ChainWindow::Open(file, QString(), environment, notifier_);
        if (window)
            window->show();
        return window;
    }

    testsupport::QtRecordingNotifier notifier_;
};

void ChainWindowTest::tableFillsWithEveryOptionOfOneRoot()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    // The window is back in the user's hands while the solve goes on, and
    // the table takes each expiry as it is done.
    QVERIFY(window->Solving());
    QSignalSpy filled(window->TableModel(), &QAbstractItemModel::dataChanged);
    QVERIFY(WaitSolved(window));
    const ChainRoot* root = window->Root();
    QCOMPARE(QString::fromStdString(root->name), QStringLiteral("SPY"));
    QVERIFY(filled.count() >= static_cast<int>(root->expiries.size()));
    QCOMPARE(window->tabExpiries->count(), static_cast<int>(root->expiries.size()) + 1);

    // Every option of the root once, its composite row: no exchange copy, no mini option.
    QTableView* table = window->tblChain;
    QCOMPARE(table->model()->rowCount(), 2 * root->StrikeCount());
    std::set<QString> codes;
    int solved = 0;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        const QString code = Cell(table, row, Column::kCode);
        QVERIFY2(code.startsWith(QStringLiteral("SPY1")) && !code.contains(QLatin1Char('-')),
                 qPrintable(code));
        codes.insert(code);
        // A volatility is shown, or the tool tip says why there is none.
        const QString mid = Cell(table, row, Column::kMidIV);
        const QString why = Cell(table, row, Column::kMidIV, Qt::ToolTipRole);
        QVERIFY2(mid.isEmpty() != why.isEmpty(),
                 qPrintable(code + QLatin1Char(' ') + mid + QLatin1Char(' ') + why));
        if (Cell(table, row, Column::kExpiry) == QStringLiteral("2016-11-25"))
            QCOMPARE(why, QStringLiteral("The option expires on the day of the table."));
        else if (Cell(table, row, Column::kBid).isEmpty())
            QCOMPARE(why, QStringLiteral("No bid."));
        solved += mid.isEmpty() ? 0 : 1;
    }
    QCOMPARE(static_cast<int>(codes.size()), table->model()->rowCount());
    QVERIFY(solved > 3000);

    // The status line names the days to the expiry shown and its rate, the
    // first expiry's and the last's alike; All names none.
    const QRegularExpression daysAndRate(QStringLiteral("\\| (\\d+) days, rate "));
    QVERIFY(!daysAndRate.match(window->lblStatus->text()).hasMatch());
    const TDateTime tableDate = EncodeDate(2016, 11, 25);
    for (const int tab : {1, window->tabExpiries->count() - 1}) {
        window->tabExpiries->setCurrentIndex(tab);
        const QRegularExpressionMatch said = daysAndRate.match(window->lblStatus->text());
        QVERIFY2(said.hasMatch(), qPrintable(window->lblStatus->text()));
        QCOMPARE(said.captured(1).toInt(),
                 static_cast<int>(root->expiries[static_cast<std::size_t>(tab - 1)].date - tableDate));
    }
    window->tabExpiries->setCurrentIndex(0);

    // Another root is shown alone.
    window->SelectRoot(QStringLiteral("SPY7"));
    QCOMPARE(table->model()->rowCount(), 2 * window->Root()->StrikeCount());
    for (int row = 0; row < table->model()->rowCount(); ++row)
        QVERIFY(Cell(table, row, Column::kCode).startsWith(QStringLiteral("SPY7")));
    QVERIFY(WaitSolved(window));
}

void ChainWindowTest::filtersKeepTheBandAndTheBids()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    window->tabExpiries->setCurrentIndex(kDecember16);
    QVERIFY(table->isColumnHidden(Column::kExpiry));
    const ChainExpiry& expiry = window->Root()->expiries[kDecember16 - 1];
    QCOMPARE(table->model()->rowCount(), 2 * static_cast<int>(expiry.strikes.size()));

    int bids = 0;
    for (const ChainStrike& strike : expiry.strikes)
        bids += (strike.call.bid > 0 ? 1 : 0) + (strike.put.bid > 0 ? 1 : 0);
    window->ckBidsOnly->setChecked(true);
    QCOMPARE(table->model()->rowCount(), bids);

    // Within 3 % of the forward price at the default rate of 0.5 %, 21 days,
    // without a dividend.
    window->cmbForward->setCurrentIndex(1);
    QVERIFY(WaitSolved(window));
    window->fseBand->setValue(3);
    window->ckBand->setChecked(true);
    const double forward = 221.52 * std::exp(0.005 * 21 / 365.0);
    int inside = 0;
    for (const ChainStrike& strike : expiry.strikes)
        if (std::fabs(strike.strike / forward - 1) <= 0.03)
            inside += (strike.call.bid > 0 ? 1 : 0) + (strike.put.bid > 0 ? 1 : 0);
    QCOMPARE(table->model()->rowCount(), inside);
    for (int row = 0; row < table->model()->rowCount(); ++row)
        QVERIFY(std::fabs(Cell(table, row, Column::kStrike).toDouble() / forward - 1) <= 0.03);
    window->ckBand->setChecked(false);
    window->ckBidsOnly->setChecked(false);
    QCOMPARE(table->model()->rowCount(), 2 * static_cast<int>(expiry.strikes.size()));
}

void ChainWindowTest::columnsSortByTheirNumbers()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    // By number, not by text: 9 comes after 10000 going down.
    for (const auto& [column, order] : {std::pair{Column::kVolume, Qt::DescendingOrder},
                                        std::pair{Column::kOpenInterest, Qt::AscendingOrder},
                                        std::pair{Column::kMidIV, Qt::AscendingOrder}}) {
        table->sortByColumn(column, order);
        double previous = order == Qt::AscendingOrder ? -1 : 1e300;
        bool seenValue = false;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            const QString text = Cell(table, row, column);
            // Cells without a volatility come first going up.
            if (text.isEmpty()) {
                QVERIFY2(!seenValue, qPrintable(QString::number(row)));
                continue;
            }
            seenValue = true;
            const double value = text.toDouble();
            QVERIFY2(order == Qt::AscendingOrder ? value >= previous : value <= previous,
                     qPrintable(QStringLiteral("row %1: %2 after %3").arg(row).arg(value).arg(previous)));
            previous = value;
        }
    }
}

void ChainWindowTest::closingWhileTheTreeSolvesStopsIt()
{
    // One thread and a tree of 400 steps: seconds of work.
    ChainWindow* window = Open('.', 1);
    QVERIFY(window);
    QPointer<ChainWindow> alive(window);
    QVERIFY(WaitSolved(window));
    window->seSteps->setValue(400);
    window->cmbModel->setCurrentIndex(1);
    QVERIFY(window->Solving());
    // Closing as soon as its first expiries come in.
    QSignalSpy filled(window->TableModel(), &QAbstractItemModel::dataChanged);
    QTRY_VERIFY_WITH_TIMEOUT(filled.count() >= 3, 20000);
    QVERIFY(window->Solving());
    window->close();
    QTRY_VERIFY(!alive);
    // What the stopped solve might have queued reaches nothing: its thread
    // was joined with the window, so all of it is posted by now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void ChainWindowTest::copyAndExportGiveTheViewShown()
{
    ChainWindow* window = Open(',');
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    window->tabExpiries->setCurrentIndex(kDecember16);
    for (int row : {4, 9, 10})
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(QStringLiteral("Strike\tSide\tCode\tBid")));
    QCOMPARE(lines[1].split(QLatin1Char('\t')).value(Column::kBid - 1), Cell(table, 4, Column::kBid));
    QVERIFY(Cell(table, 4, Column::kBid).contains(QLatin1Char(',')));  // the locale's way
    table->clearSelection();
    window->CopyView();
    QCOMPARE(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), table->model()->rowCount() + 1);

    // The file takes points for decimals whatever the locale.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("chain.csv"));
    QVERIFY(window->ExportViewTo(file));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    lines = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), table->model()->rowCount() + 1);
    QVERIFY(lines[0].startsWith(QStringLiteral("Strike,Side,Code,Bid,Ask,Mid,Last,Net,Volume,Open int,")));
    QCOMPARE(lines[5].split(QLatin1Char(',')).value(Column::kBid - 1),
             Cell(table, 4, Column::kBid).replace(QLatin1Char(','), QLatin1Char('.')));

    window->tabViews->setCurrentIndex(ChainWindow::kTermView);
    QVERIFY(window->ViewCsv().startsWith(
        QStringLiteral("expiry,days,forward,atm_iv,forward_source,implied_yield\n2016-11-25,0,,,,\n")));
    QCOMPARE(window->ViewCsv().count(QLatin1Char('\n')), 1 + window->tabExpiries->count() - 1);
    window->tabViews->setCurrentIndex(ChainWindow::kSurfaceView);
    QVERIFY(window->ViewCsv().startsWith(QStringLiteral("expiry,days,0.8,0.81,")));
    window->CopyView();
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasImage());

    // A folder in the way: the message names the file, nothing is written.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    QVERIFY(!window->ExportViewTo(dir.filePath(QStringLiteral("taken.csv"))));
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY(notifier_.infos[0].contains(QStringLiteral("taken.csv")));
}

void ChainWindowTest::selectionBecomesANewSeries()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    QSignalSpy requested(window, &ChainWindow::newSeriesRequested);
    const auto select = [table](const std::vector<std::pair<QString, QString>>& options) {
        table->clearSelection();
        for (int row = 0; row < table->model()->rowCount(); ++row)
            for (const auto& [expiry, strike] : options)
                if (Cell(table, row, Column::kExpiry) == expiry
                    && Cell(table, row, Column::kStrike) == strike)
                    table->selectionModel()->select(table->model()->index(row, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    // Strikes apart, of two expiries, with the whaley model and a yield
    // that gives the forward.
    window->cmbModel->setCurrentIndex(2);
    window->cmbForward->setCurrentIndex(1);
    window->fseYield->setValue(1.9);
    select({{QStringLiteral("2016-12-16"), QStringLiteral("213")},
            {QStringLiteral("2016-12-16"), QStringLiteral("218.5")},
            {QStringLiteral("2017-01-20"), QStringLiteral("213")}});
    window->NewSeriesFromSelection();
    QCOMPARE(requested.count(), 1);
    const auto selection = requested[0][0].value<ChainSelection>();
    QCOMPARE(selection.strikes, (std::vector<double>{213, 218.5}));
    QCOMPARE(selection.expiries, (std::vector<TDateTime>{EncodeDate(2016, 12, 16), EncodeDate(2017, 1, 20)}));
    QCOMPARE(selection.contract, std::string("SPY"));
    QCOMPARE(selection.underlying, 221.52);
    QVERIFY(selection.inputs.model == ChainModel::Whaley);
    QCOMPARE(selection.inputs.dividend.yield, 0.019);

    // Four expiries are one too many; nothing selected, nothing made.
    select({{QStringLiteral("2016-12-16"), QStringLiteral("213")},
            {QStringLiteral("2017-01-20"), QStringLiteral("213")},
            {QStringLiteral("2017-02-17"), QStringLiteral("213")},
            {QStringLiteral("2017-03-17"), QStringLiteral("213")}});
    window->NewSeriesFromSelection();
    table->clearSelection();
    window->NewSeriesFromSelection();
    QCOMPARE(requested.count(), 1);
    QCOMPARE(notifier_.infos.size(), 2);
    QVERIFY(notifier_.infos[0].contains(QStringLiteral("3 expiries")));
}

void ChainWindowTest::delayedQuotesCsvShowsItsRootsLayoutAndOwnFigures()
{
    // The old table says its layout too, and has no figures of its own.
    ChainWindow* old = Open();
    QVERIFY(old);
    const std::unique_ptr<ChainWindow> oldOwner(old);
    QVERIFY(old->lblStatus->text().contains(QStringLiteral("layout: quote table")));
    QVERIFY(Cell(old->tblChain, 0, Column::kFileIV).isEmpty());

    ChainWindow* spx = Open('.', 0, QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2022-06-11.csv"));
    QVERIFY(spx);
    const std::unique_ptr<ChainWindow> spxOwner(spx);
    QCOMPARE(spx->cmbRoot->count(), 2);
    QCOMPARE(spx->cmbRoot->currentText(), QStringLiteral("SPX"));
    const QString status = spx->lblStatus->text();
    QVERIFY2(status.contains(
                 QStringLiteral("layout: delayed-quotes CSV; 1 expiry before the quote date was left out")),
             qPrintable(status));
    QTest::keyClick(spx->cmbRoot, Qt::Key_Down);
    QCOMPARE(QString::fromStdString(spx->Root()->name), QStringLiteral("SPXW"));
    // The expiry left out has no tab: the first is the Monday after the quote date.
    QCOMPARE(spx->tabExpiries->tabText(1), QStringLiteral("2022-06-13"));

    ChainWindow* spy = Open(',', 0, QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2025-09-01.csv"));
    QVERIFY(spy);
    const std::unique_ptr<ChainWindow> spyOwner(spy);
    QVERIFY(WaitSolved(spy));
    QTableView* table = spy->tblChain;
    QCOMPARE(table->model()->headerData(Column::kFileIV, Qt::Horizontal).toString(),
             QStringLiteral("File IV %"));
    // The file's figures beside ours, in the locale's way, blank where the file gives 0.
    int shown = 0;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        const ChainQuote* quote = nullptr;
        const QModelIndex cell = table->model()->index(row, 0);
        const ChainStrike& strike =
            spy->Root()
                ->expiries[static_cast<std::size_t>(cell.data(ChainTableModel::kExpiryIndexRole).toInt())]
                .strikes[static_cast<std::size_t>(cell.data(ChainTableModel::kStrikeIndexRole).toInt())];
        quote = Cell(table, row, Column::kSide) == QStringLiteral("Call") ? &strike.call : &strike.put;
        const QString iv = Cell(table, row, Column::kFileIV);
        if (quote->fileIv == 0) {
            QVERIFY(iv.isEmpty());
            continue;
        }
        ++shown;
        QCOMPARE(iv,
                 QString::number(quote->fileIv * 100.0, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(',')));
        QCOMPARE(Cell(table, row, Column::kFileDelta).isEmpty(), quote->fileDelta == 0);
    }
    QVERIFY(shown > 1000);
}

void ChainWindowTest::strikeSortKeepsTheCallFirst()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    window->tabExpiries->setCurrentIndex(kDecember16);
    // Whatever order a sort by volume left, the strike sort puts the call of
    // each strike before its put, going up and going down.
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        table->sortByColumn(Column::kVolume, Qt::DescendingOrder);
        table->sortByColumn(Column::kStrike, order);
        const int rows = table->model()->rowCount();
        QVERIFY(rows > 100);
        for (int row = 0; row + 1 < rows; row += 2) {
            QCOMPARE(Cell(table, row, Column::kStrike), Cell(table, row + 1, Column::kStrike));
            QCOMPARE(Cell(table, row, Column::kSide), QStringLiteral("Call"));
            QCOMPARE(Cell(table, row + 1, Column::kSide), QStringLiteral("Put"));
            if (row > 0) {
                const double before = Cell(table, row - 1, Column::kStrike).toDouble();
                const double now = Cell(table, row, Column::kStrike).toDouble();
                QVERIFY(order == Qt::AscendingOrder ? now > before : now < before);
            }
        }
    }
}

void ChainWindowTest::defaultSizeShowsEveryColumnAndCountsStrikes()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QTableView* table = window->tblChain;
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // Each column ends inside the table's viewport, the last two too.
    for (int column = 0; column < ChainTableModel::kColumnCount; ++column)
        QVERIFY2(table->columnViewportPosition(column) + table->columnWidth(column)
                     <= table->viewport()->width(),
                 qPrintable(table->model()->headerData(column, Qt::Horizontal).toString()));
    if (const QByteArray folder = qgetenv("KESTRAVA_PICTURES"); !folder.isEmpty())
        window->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/chain-window.png"));
    // The rows of every expiry's strikes, and the strike prices among them.
    std::set<double> strikes;
    for (const ChainExpiry& expiry : window->Root()->expiries)
        for (const ChainStrike& strike : expiry.strikes)
            strikes.insert(strike.strike);
    const QString status = window->lblStatus->text();
    QVERIFY2(status.contains(QStringLiteral("%1 strike rows, %2 strikes")
                                 .arg(window->Root()->StrikeCount())
                                 .arg(strikes.size())),
             qPrintable(status));
    QVERIFY(strikes.size() < 300u);
    // The term table's rows are as tall as the chain's.
    QCOMPARE(window->tblTerm->verticalHeader()->defaultSectionSize(),
             table->verticalHeader()->defaultSectionSize());

    // Every other row of the chain is shaded: the corner of a cell, where
    // no text is, alternates from row to row.
    const QImage shown = table->viewport()->grab().toImage();
    auto corner = [&](int row) {
        return shown.pixel(table->columnViewportPosition(0) + 2, table->rowViewportPosition(row) + 2);
    };
    QVERIFY(corner(0) != corner(1));
    QCOMPARE(corner(0), corner(2));
    // The term table reads as rows too: a click on a cell selects its row.
    window->tabViews->setCurrentIndex(ChainWindow::kTermView);
    QTableWidget* term = window->tblTerm;
    QTRY_VERIFY(term->rowCount() > 1);
    QTest::mouseClick(term->viewport(), Qt::LeftButton, {}, term->visualItemRect(term->item(1, 2)).center());
    QCOMPARE(term->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(term->selectionModel()->selectedRows().front().row(), 1);
}

void ChainWindowTest::selectionCarriesTheMarketAndItsParityYield()
{
    ChainWindow* window = Open();
    QVERIFY(window);
    const std::unique_ptr<ChainWindow> owner(window);
    QVERIFY(WaitSolved(window));
    QCOMPARE(window->cmbForward->currentIndex(), 0);
    QTableView* table = window->tblChain;
    QSignalSpy requested(window, &ChainWindow::newSeriesRequested);
    for (int row = 0; row < table->model()->rowCount(); ++row)
        if (Cell(table, row, Column::kExpiry) == QStringLiteral("2016-12-16")
            && (Cell(table, row, Column::kStrike) == QStringLiteral("210")
                || Cell(table, row, Column::kStrike) == QStringLiteral("215"))
            && Cell(table, row, Column::kSide) == QStringLiteral("Put"))
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window->NewSeriesFromSelection();
    QCOMPARE(requested.count(), 1);
    const auto selection = requested[0][0].value<ChainSelection>();
    // The term structure's December point, as the window shows it.
    const std::vector<TermPoint> term = window->TermPoints();
    const auto december = std::find_if(term.begin(), term.end(), [](const TermPoint& point) {
        return point.expiry == EncodeDate(2016, 12, 16);
    });
    QVERIFY(december != term.end());
    QVERIFY(december->forwardSource == ForwardSource::Parity);
    QVERIFY(selection.market);
    QCOMPARE(selection.market->expiries.size(), std::size_t{1});
    const ExpiryMarket& market = selection.market->expiries.front();
    QCOMPARE(market.atmVol, december->atmVol);
    QCOMPARE(market.forward, december->forward);
    // Every strike of the expiry with a volatility, not the two selected.
    QVERIFY(market.smile.Points().size() > 100u);
    QCOMPARE(selection.AtTheMoneyVol(), std::round(december->atmVol * 1000) / 1000);
    QCOMPARE(selection.quoteDate, EncodeDate(2016, 11, 25));
    QVERIFY(!selection.inputs.dividend.cash);
    QCOMPARE(selection.inputs.dividend.yield, december->impliedYield);
    // Parity sets the yield apart from the typed one: SPY pays in December.
    QVERIFY(december->impliedYield > 0.01 && december->impliedYield < 0.08);
}

QTEST_MAIN(ChainWindowTest)
#include "chainwindow_test.moc"
