// Each expiry's bids and asks belong to it alone. A page of SPX with three
// expiries and the exchange's real quote table of 24 January 2011 is driven
// through its widgets by a random walk of what a user does: tab clicks (the
// Position, Smile and Chart tabs among them), clicks into the grid, typed
// bids and asks finished by Enter, Tab or Escape or left open, Calculate,
// contract choices and the refresh after a download, Buy 1 and Sell 1, and
// the focus moving elsewhere. After every step each expiry holds what was
// loaded or typed into that expiry and the grid shows its expiry's quotes.

#include <QAction>
#include <QFile>
#include <QTableView>

#include <array>
#include <cstdlib>
#include <deque>
#include <optional>
#include <random>

#include "analysis/Position.h"
#include "marketdata/OptPriceReader.h"
#include "optionpage/PositionTab.h"
#include "pagetest_support.h"
#include "pricing/Models.h"
#include "support/walk_seed.h"

using namespace kestrava;
using namespace kestrava::pagetest;

namespace {

constexpr int kStrikes = 10;
constexpr float kFirstStrike = 1200;
constexpr float kStrikeStep = 25;
const std::array<QDate, 3> kExpiries = {QDate(2011, 2, 19), QDate(2011, 3, 19), QDate(2011, 4, 16)};
constexpr unsigned kSeed = 20110124;
constexpr int kSteps = 200;

struct Quote {
    float bid = 0;
    float ask = 0;
};
// [expiry][strike s - 1][side k - 1]
using QuoteTable = std::array<std::array<std::array<Quote, 2>, kStrikes>, 3>;

float StrikeAt(int s)
{
    return kFirstStrike + kStrikeStep * static_cast<float>(s - 1);
}

// The quote table's rows of contract for the three expiries, read with the
// exchange file reader alone.
QuoteTable FileQuotes(const QString& file, const std::string& contract)
{
    QuoteTable table{};
    std::vector<float> strikes;
    for (int s = 1; s <= kStrikes; ++s)
        strikes.push_back(StrikeAt(s));
    for (int e = 0; e < 3; ++e) {
        SilentNotifier quiet;
        TCboePriceReader reader(quiet, LocaleInfo());
        const QDate date = kExpiries[static_cast<std::size_t>(e)];
        PrepareQuoteLoad(reader, date.month(), EncodeDate(date.year(), date.month(), date.day()), contract,
                         strikes);
        reader.FileName = file.toStdString();
        reader.LoadQuotes();
        for (int s = 1; s <= kStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                table[e][s - 1][k - 1] = Quote{reader.Bid(s, k), reader.Ask(s, k)};
    }
    return table;
}

// A typed bid or ask whose editor may still be open.
struct PendingEdit {
    int expiry = 0;
    int s = 0;
    int k = 0;
    int column = 0;
    std::optional<float> value;  // none: the text is no number
};

}  // namespace

class QuoteOwnershipTest : public PageTestBase {
    Q_OBJECT

    QString quoteFile;
    std::map<std::string, QuoteTable> fileQuotes;

    PagePtr BuildSpxPage()
    {
        SeriesSetup setup;
        setup.numExpiries = 3;
        setup.expiryDates = kExpiries;
        setup.numStrikes = QString::number(kStrikes);
        setup.firstStrike = QStringLiteral("1200");
        setup.strikeIncrement = QStringLiteral("25");
        setup.optionSymbol = setup.symbolText = QStringLiteral("SPX");
        setup.contractType = kIndex;
        setup.model = kBlackScholes;
        setup.dividendYield = QStringLiteral("1.8");
        setup.contractRoot = QStringLiteral("SPX-E");
        // A price file gives the page its Chart tab.
        setup.workFilePath = temp.filePath(QStringLiteral("spx.TEM"));
        setup.sourceFilePath = temp.filePath(QStringLiteral("spx.csv"));
        WritePriceWorkFile(setup.workFilePath, EncodeDate(2011, 1, 24), 200);
        PageEnvironment environment = Environment();
        environment.defaultRates = {0.0015f, 0.0015f, 0.0015f};
        return Build(setup, environment);
    }

    static void ClickCell(TImpStrGrid* grid, int row, int col)
    {
        const QModelIndex index = grid->model()->index(row - 1, col);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(temp.isValid());
        quoteFile = temp.filePath(QStringLiteral("SPX.txt"));
        QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"), quoteFile));
        for (const char* contract : {"SPX-E", "SPXPM-E", "SPXW-E"})
            fileQuotes[contract] = FileQuotes(quoteFile, contract);
        // The call of 1300 as the exchange quoted it in February and March.
        const QuoteTable& spx = fileQuotes["SPX-E"];
        QCOMPARE(spx[0][4][0].bid, 12.5f);
        QCOMPARE(spx[0][4][0].ask, 13.5f);
        QCOMPARE(spx[1][4][0].bid, 20.6f);
        QCOMPARE(spx[1][4][0].ask, 23.0f);
    }

    void februaryKeepsItsQuotesAfterThePositionTab()
    {
        // As it was found: a click into March's grid, the Position tab, a
        // click into its legs table, then February.
        PagePtr page = BuildSpxPage();
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        QTabBar* tabs = page->Controls().TabControl1;
        TImpStrGrid* grid = page->Controls().TheGrid;
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        ClickCell(grid, 5, 7);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
        auto* positionTab = page->findChild<PositionTab*>();
        QTest::mouseClick(positionTab->tblLegs->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(tabs->currentIndex(), 0);

        // C 1300 of February: its own quotes, and the volatility of its bid.
        const TInOutObj* february = page->SeriesAt(0);
        QCOMPARE(february->Bid(5, 1), 12.5f);
        QCOMPARE(february->Ask(5, 1), 13.5f);
        QCOMPARE(grid->CellText(3, 5), QStringLiteral("12.50 "));
        QCOMPARE(grid->CellText(5, 5), QStringLiteral("13.50 "));
        TInOutObj solved = *february;
        SolveBidIV(solved);
        QVERIFY(solved.BidIV(5, 1) > 0.11f && solved.BidIV(5, 1) < 0.14f);  // March's bid gives 0.185
        QCOMPARE(grid->CellText(4, 5), QString::number(solved.BidIV(5, 1) * 100.0, 'f', 1) + u' ');
        QCOMPARE(page->SeriesAt(1)->Bid(5, 1), 20.6f);

        // Buy 1 records February's ask.
        ClickCell(grid, 5, 7);
        QTest::keyClick(grid, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(positionTab->GetPosition().legs.size(), std::size_t{1});
        QCOMPARE(positionTab->GetPosition().legs[0].price, 13.5);
    }

    void quotesStayWithTheirExpiryOverAWalkOfUserActions()
    {
        const unsigned seed = testsupport::WalkSeed(kSeed);
        std::mt19937 random(seed);
        const auto pick = [&random](int count) { return testsupport::Pick(random, count); };

        PagePtr page = BuildSpxPage();
        QVERIFY(page);
        page->resize(1100, page->height());
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        QTabBar* tabs = page->Controls().TabControl1;
        TImpStrGrid* grid = page->Controls().TheGrid;
        QComboBox* contracts = page->InputBar().cmboOptSymbols;
        auto* positionTab = page->findChild<PositionTab*>();
        QVERIFY(positionTab);
        QCOMPARE(tabs->count(), 6);  // three expiries, Position, Smile, Chart
        QCOMPARE(contracts->currentText(), QStringLiteral("SPX-E"));

        QuoteTable expected = fileQuotes["SPX-E"];
        Position expectedPosition;
        std::optional<PendingEdit> pending;
        int shownExpiry = 0;  // the expiry whose grid was shown last
        std::deque<QString> log;

        const auto rowOf = [](int s, int k) { return k == 1 ? s : s + kStrikes; };
        const auto commitPending = [&] {
            if (pending && pending->value) {
                Quote& quote = expected[pending->expiry][pending->s - 1][pending->k - 1];
                (pending->column == TfrmOPage::kBidColumn ? quote.bid : quote.ask) = *pending->value;
            }
            pending.reset();
        };
        const auto clickCell = [&](int row, int col) {
            const QModelIndex index = grid->model()->index(row - 1, col);
            grid->scrollTo(index);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        };
        // Another cell than the current one, so that the click never lands
        // in an open editor.
        const auto otherRow = [&](int row) {
            const int current = grid->currentIndex().isValid() ? grid->currentIndex().row() + 1 : -1;
            return row == current ? row % (2 * kStrikes) + 1 : row;
        };
        const auto gridShown = [&] { return grid->isVisible(); };

        // Steps that do not fit the page as it stands are drawn again.
        for (int step = 1; step <= kSteps;) {
            QString action;
            switch (pick(9)) {
            case 0:
            case 1: {  // a tab clicked
                const int tab = pick(tabs->count());
                action = QStringLiteral("click tab %1").arg(tabs->tabText(tab));
                QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
                commitPending();
                if (tab < 3)
                    shownExpiry = tab;
                break;
            }
            case 2: {  // a click into the grid
                if (!gridShown())
                    continue;
                const int row = otherRow(1 + pick(2 * kStrikes));
                const int col = 1 + pick(13);
                action = QStringLiteral("click cell %1,%2").arg(col).arg(row);
                clickCell(row, col);
                commitPending();
                break;
            }
            case 3:
            case 4: {  // a bid or ask typed
                if (!gridShown())
                    continue;
                const int s = 1 + pick(kStrikes), k = 1 + pick(2);
                const int row = rowOf(s, k);
                const int col = pick(2) ? TfrmOPage::kBidColumn : TfrmOPage::kAskColumn;
                if (grid->currentIndex() == grid->model()->index(row - 1, col))
                    continue;
                const int cents = pick(8000);
                const bool junk = pick(12) == 0;
                const QString text =
                    junk ? QStringLiteral("1x%1").arg(cents)
                         : QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
                const int finish = pick(4);  // Enter, Tab, Escape, left open
                action = QStringLiteral("type %1 into %2,%3 then %4")
                             .arg(text)
                             .arg(col)
                             .arg(row)
                             .arg(QStringList{"Enter", "Tab", "Escape", "nothing"}[finish]);
                // A click on a cell of the marked row opens its editor after the
                // double-click time; the user then types over its text.
                const QModelIndex index = grid->model()->index(row - 1, col);
                const bool marked = grid->selectionModel()->isSelected(index);
                clickCell(row, col);
                commitPending();
                QWidget* editor = nullptr;
                if (marked) {
                    QTRY_VERIFY2((editor = grid->indexWidget(index)) != nullptr, qPrintable(action));
                    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(editor, text);
                } else {
                    QTest::keyClicks(grid, text.left(1));
                    editor = grid->indexWidget(index);
                    QVERIFY2(editor && QApplication::focusWidget() == editor, qPrintable(action));
                    QTest::keyClicks(editor, text.mid(1));
                }
                PendingEdit edit{shownExpiry, s, k, col, std::nullopt};
                if (!junk)
                    edit.value = text.toFloat();
                pending = edit;
                if (finish == 0)
                    QTest::keyClick(editor, Qt::Key_Return);
                else if (finish == 1)
                    QTest::keyClick(editor, Qt::Key_Tab);
                else if (finish == 2)
                    QTest::keyClick(editor, Qt::Key_Escape);
                if (finish == 2)
                    pending.reset();
                else if (finish < 2)
                    commitPending();
                break;
            }
            case 5:  // Calculate, by a click or by its shortcut (the focus stays)
                if (pick(2)) {
                    action = QStringLiteral("click Calculate");
                    QTest::mouseClick(page->InputBar().cmdReCalc, Qt::LeftButton);
                } else {
                    action = QStringLiteral("Calculate by its shortcut");
                    page->InputBar().cmdReCalc->click();
                }
                commitPending();
                break;
            case 6: {  // quotes loaded: a contract chosen, or a download's refresh
                commitPending();
                if (pick(3) == 0) {
                    action = QStringLiteral("refresh after a download");
                    page->RefreshAfterDownload();
                } else {
                    const int index = pick(contracts->count());
                    action = QStringLiteral("choose contract %1").arg(contracts->itemText(index));
                    contracts->setCurrentIndex(index);
                    emit contracts->activated(index);
                }
                expected = fileQuotes[contracts->currentText().toStdString()];
                break;
            }
            case 7: {  // Buy 1 or Sell 1 on a row of the grid
                if (!gridShown())
                    continue;
                const int s = 1 + pick(kStrikes), k = 1 + pick(2);
                const int row = rowOf(s, k);
                if (grid->currentIndex().row() + 1 == row)
                    continue;
                const int quantity = pick(2) ? 1 : -1;
                action = QStringLiteral("%1 1 on row %2").arg(quantity > 0 ? "Buy" : "Sell").arg(row);
                clickCell(row, 7);
                commitPending();
                QTest::keyClick(grid, Qt::Key_B,
                                quantity > 0 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
                TInOutObj quoted = *page->SeriesAt(shownExpiry);
                for (int ss = 1; ss <= kStrikes; ++ss)
                    for (int kk = 1; kk <= 2; ++kk) {
                        quoted.Bid(ss, kk) = expected[shownExpiry][ss - 1][kk - 1].bid;
                        quoted.Ask(ss, kk) = expected[shownExpiry][ss - 1][kk - 1].ask;
                    }
                AddLeg(expectedPosition, LegFromGrid(quoted, s, k, quantity));
                break;
            }
            default:  // the focus moves elsewhere
                if (positionTab->isVisible()) {
                    action = QStringLiteral("click in the legs table");
                    QTest::mouseClick(positionTab->tblLegs->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
                } else if (pick(2)) {
                    action = QStringLiteral("click the underlying box");
                    QTest::mouseClick(page->InputBar().fseUlying, Qt::LeftButton);
                } else {
                    action = QStringLiteral("click Use Flat V");
                    QTest::mouseClick(page->InputBar().rbtnLevel, Qt::LeftButton, {},
                                      QPoint(5, page->InputBar().rbtnLevel->height() / 2));
                }
                commitPending();
                break;
            }
            QCoreApplication::processEvents();
            ++step;
            log.push_back(QStringLiteral("%1: %2 (tab %3)")
                              .arg(step - 1)
                              .arg(action, tabs->tabText(tabs->currentIndex())));
            if (log.size() > 12)
                log.pop_front();
            const auto where = [&](const QString& what) {
                QStringList lines{QStringLiteral("seed %1, step %2: %3").arg(seed).arg(step - 1).arg(what)};
                for (const QString& line : log)
                    lines.append(line);
                return lines.join(QLatin1Char('\n'));
            };

            // Every expiry holds its own quotes.
            for (int e = 0; e < 3; ++e) {
                const TInOutObj* p = page->SeriesAt(e);
                for (int s = 1; s <= kStrikes; ++s)
                    for (int k = 1; k <= 2; ++k) {
                        const Quote& want = expected[e][s - 1][k - 1];
                        if (p->Bid(s, k) != want.bid || p->Ask(s, k) != want.ask)
                            QFAIL(qPrintable(
                                where(QStringLiteral("%1 strike %2 side %3 holds %4 / %5, not %6 / %7")
                                          .arg(tabs->tabText(e))
                                          .arg(double(StrikeAt(s)))
                                          .arg(k)
                                          .arg(double(p->Bid(s, k)))
                                          .arg(double(p->Ask(s, k)))
                                          .arg(double(want.bid))
                                          .arg(double(want.ask)))));
                    }
            }
            // The grid shows the quotes of the expiry it shows.
            if (gridShown() && !grid->indexWidget(grid->currentIndex())) {
                const int e = tabs->currentIndex();
                for (int s = 1; s <= kStrikes; ++s)
                    for (int k = 1; k <= 2; ++k)
                        for (const int col : {TfrmOPage::kBidColumn, TfrmOPage::kAskColumn}) {
                            const QString text = grid->CellText(col, rowOf(s, k)).trimmed();
                            const Quote& want = expected[e][s - 1][k - 1];
                            const float wanted = col == TfrmOPage::kBidColumn ? want.bid : want.ask;
                            if (text.isEmpty() ? wanted != 0 : std::fabs(text.toFloat() - wanted) > 0.005f)
                                QFAIL(qPrintable(
                                    where(QStringLiteral("the grid of %1 shows \"%2\" in %3,%4, not %5")
                                              .arg(tabs->tabText(e), text)
                                              .arg(col)
                                              .arg(rowOf(s, k))
                                              .arg(double(wanted)))));
                        }
            }
            // Buy 1 and Sell 1 record the quote of the expiry they were made on.
            const Position& position = positionTab->GetPosition();
            bool same = position.legs.size() == expectedPosition.legs.size();
            for (std::size_t i = 0; same && i < position.legs.size(); ++i) {
                const PositionLeg &got = position.legs[i], &want = expectedPosition.legs[i];
                same = got.expiry == want.expiry && got.strike == want.strike && got.side == want.side
                       && got.quantity == want.quantity && got.price == want.price;
            }
            if (!same)
                QFAIL(qPrintable(
                    where(QStringLiteral("the position's legs are not the ones bought and sold"))));
            // Calculate solved every expiry's volatilities from its own quotes.
            if (action.contains(QStringLiteral("Calculate")))
                for (int e = 0; e < 3; ++e) {
                    TInOutObj solved = *page->SeriesAt(e);
                    SolveBidIV(solved);
                    SolveAskIV(solved);
                    for (int s = 1; s <= kStrikes; ++s)
                        for (int k = 1; k <= 2; ++k)
                            if (solved.BidIV(s, k) != page->SeriesAt(e)->BidIV(s, k)
                                || solved.AskIV(s, k) != page->SeriesAt(e)->AskIV(s, k))
                                QFAIL(qPrintable(
                                    where(QStringLiteral("%1 strike %2 side %3: volatility not of its quotes")
                                              .arg(tabs->tabText(e))
                                              .arg(double(StrikeAt(s)))
                                              .arg(k))));
                }
        }
    }
};

QTEST_MAIN(QuoteOwnershipTest)
#include "quoteownership_test.moc"
