// A seeded random walk over every control of the chain window on the SPY
// table of 25 November 2016: the root, the model and its steps, the
// dividend's kind, yield, amount and date, the forward's source, the band,
// bids only, both marking thresholds, the expiry tabs, the sort of each
// column, the views, and a selection made into a new series. After each
// action the window is checked against the analysis core run here on the
// same table with the inputs the controls show. KESTRAVA_WALK_SEED picks
// another walk; a failure names the seed and the steps before it.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <map>
#include <random>
#include <tuple>

#include "analysis/ChainExport.h"
#include "analysis/ChainSelection.h"
#include "analysis/ParityForward.h"
#include "analysis/VolSurface.h"
#include "chainwindow/ChainTableModel.h"
#include "chainwindow/ChainWindow.h"
#include "common/localeparse.h"
#include "support/qt_recording_notifier.h"
#include "support/walk_seed.h"

using namespace kestrava;

namespace {

using Column = ChainTableModel::Column;
constexpr unsigned kSeed = 20161125;
constexpr int kSteps = 40;
const QString kTable = QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2016-11-25.dat");
constexpr int kSurfaceColumns = 41;  // the columns the window's surface is drawn with

// One option of the root: its expiry, its strike and its side.
struct Option {
    int expiry;
    int strike;
    bool call;
    bool operator==(const Option&) const = default;
};

// The table's own order: expiries, strikes, the call before the put.
bool operator<(const Option& a, const Option& b)
{
    return std::tuple(a.expiry, a.strike, !a.call) < std::tuple(b.expiry, b.strike, !b.call);
}

// A sort key as the user reads the column: a cell without a value before every value.
using Key = std::tuple<bool, double, std::string>;

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, ','));
}

}  // namespace

class ChainWindowWalkTest : public QObject {
    Q_OBJECT

    testsupport::QtRecordingNotifier notifier_;
    ChainEnvironment environment_;
    ChainWindow* window_ = nullptr;
    // The core's solve of the inputs last seen, kept while they stay.
    std::vector<ExpiryVols> vols_;
    std::string volsOf_;

    // The inputs the controls show, read from them one by one.
    ChainInputs ShownInputs() const
    {
        ChainInputs inputs;
        inputs.model = ChainModels()[static_cast<std::size_t>(window_->cmbModel->currentIndex())].model;
        inputs.steps = window_->seSteps->value();
        inputs.dividend.cash = window_->cmbDividend->currentText().contains(QStringLiteral("Cash"));
        inputs.dividend.yield = window_->fseYield->value() / 100;
        inputs.dividend.amount = window_->fseCash->value();
        const QDate date = window_->dteDividend->date();
        inputs.dividend.date = EncodeDate(date.year(), date.month(), date.day());
        inputs.forward = window_->cmbForward->currentText() == QStringLiteral("Parity")
                             ? ForwardSource::Parity
                             : ForwardSource::Yield;
        return inputs;
    }

    const std::vector<ExpiryVols>& CoreVols(const ChainRoot& root, const ChainInputs& inputs)
    {
        const std::string key = root.name
                                + QStringLiteral(" %1 %2 %3 %4 %5 %6 %7")
                                      .arg(static_cast<int>(inputs.model))
                                      .arg(inputs.steps)
                                      .arg(inputs.dividend.cash)
                                      .arg(inputs.dividend.yield, 0, 'g', 17)
                                      .arg(inputs.dividend.amount, 0, 'g', 17)
                                      .arg(inputs.dividend.date)
                                      .arg(static_cast<int>(inputs.forward))
                                      .toStdString();
        if (key != volsOf_) {
            const QuoteChain& chain = window_->Chain();
            vols_ = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                               ChainSolveScope::BidAskMid);
            volsOf_ = key;
        }
        return vols_;
    }

    static Key SortKey(const ChainRoot& root, const std::vector<ExpiryVols>& vols, const Option& option,
                       int column)
    {
        const ChainExpiry& expiry = root.expiries[static_cast<std::size_t>(option.expiry)];
        const ChainStrike& strike = expiry.strikes[static_cast<std::size_t>(option.strike)];
        const ChainQuote& quote = option.call ? strike.call : strike.put;
        const OptionVols& solved = vols[static_cast<std::size_t>(option.expiry)]
                                       .options[static_cast<std::size_t>(option.strike)][option.call ? 0 : 1];
        const auto number = [](double value) { return Key{true, value, {}}; };
        const auto vol = [](const VolSolution& solution) {
            return solution.Solved() ? Key{true, solution.vol, {}} : Key{false, 0, {}};
        };
        switch (column) {
        case Column::kExpiry:
            return number(expiry.date);
        case Column::kStrike:
            return number(strike.strike);
        case Column::kSide:
            return number(option.call ? 0 : 1);
        case Column::kCode:
            return Key{true, 0, quote.code};
        case Column::kBid:
            return number(quote.bid);
        case Column::kAsk:
            return number(quote.ask);
        case Column::kMid:
            return number(MidPrice(quote));
        case Column::kLast:
            return number(quote.last);
        case Column::kNet:
            return number(quote.netChange);
        case Column::kVolume:
            return number(static_cast<double>(quote.volume));
        case Column::kOpenInterest:
            return number(static_cast<double>(quote.openInterest));
        case Column::kBidIV:
            return vol(solved.bid);
        case Column::kAskIV:
            return vol(solved.ask);
        case Column::kMidIV:
            return vol(solved.mid);
        case Column::kDelta:
            return solved.mid.Solved() ? number(solved.delta) : Key{false, 0, {}};
        default:
            return Key{false, 0, {}};
        }
    }

    // Everything the window shows, against the core.
    void CheckWindow(const QString& where)
    {
        const QuoteChain& chain = window_->Chain();
        const ChainRoot& root = *window_->Root();
        QVERIFY2(QString::fromStdString(root.name) == window_->cmbRoot->currentText(), qPrintable(where));
        const ChainInputs inputs = ShownInputs();
        const std::vector<ExpiryVols>& vols = CoreVols(root, inputs);
        const int tab = window_->tabExpiries->currentIndex() - 1;
        QVERIFY2(window_->tblChain->isColumnHidden(Column::kExpiry) == (tab >= 0), qPrintable(where));

        // The core's forward of each expiry: parity's where asked and quoted.
        std::vector<ExpiryForward> forwards;
        for (const ChainExpiry& expiry : root.expiries)
            forwards.push_back(ForwardOfExpiry(expiry, chain.underlyingLast, chain.quoteDate, inputs));

        // The rows the filters admit, in the table's own order, and those shown.
        std::map<QString, Option> byCode;
        std::vector<Option> admitted;
        const double band = window_->ckBand->isChecked() ? window_->fseBand->value() : 0;
        for (int e = 0; e < static_cast<int>(root.expiries.size()); ++e) {
            const double forward = forwards[static_cast<std::size_t>(e)].forward > 0
                                       ? forwards[static_cast<std::size_t>(e)].forward
                                       : chain.underlyingLast;
            const auto& strikes = root.expiries[static_cast<std::size_t>(e)].strikes;
            for (int s = 0; s < static_cast<int>(strikes.size()); ++s)
                for (const bool call : {true, false}) {
                    const ChainQuote& quote = call ? strikes[static_cast<std::size_t>(s)].call
                                                   : strikes[static_cast<std::size_t>(s)].put;
                    byCode[QString::fromStdString(quote.code + strikes[static_cast<std::size_t>(s)].suffix)] =
                        {e, s, call};
                    const double off = std::fabs(strikes[static_cast<std::size_t>(s)].strike / forward - 1)
                                       * 100;
                    // Strikes right at the band's edge are left out of the check.
                    if (band > 0 && std::fabs(off - band) < 1e-6)
                        continue;
                    if ((tab < 0 || tab == e) && (!window_->ckBidsOnly->isChecked() || quote.bid > 0)
                        && (band <= 0 || off < band))
                        admitted.push_back({e, s, call});
                }
        }
        const QAbstractItemModel* shown = window_->tblChain->model();
        std::vector<Option> rows;
        for (int r = 0; r < shown->rowCount(); ++r) {
            const QString code = shown->index(r, Column::kCode).data().toString();
            QVERIFY2(byCode.count(code) == 1, qPrintable(where + QStringLiteral(": row of ") + code));
            const Option option = byCode[code];
            rows.push_back(option);
            const ChainStrike& strike = root.expiries[static_cast<std::size_t>(option.expiry)]
                                            .strikes[static_cast<std::size_t>(option.strike)];
            const ChainQuote& quote = option.call ? strike.call : strike.put;
            // Marked where the volume or the open interest passes its threshold.
            const bool marked = quote.volume > window_->seMarkVolume->value()
                                || quote.openInterest > window_->seMarkOpenInterest->value();
            QVERIFY2(shown->index(r, Column::kVolume).data(Qt::BackgroundRole).isValid() == marked,
                     qPrintable(where + QStringLiteral(": mark of ") + code));
        }
        std::vector<Option> sortedRows = rows;
        std::sort(sortedRows.begin(), sortedRows.end());
        std::vector<Option> inside;
        std::set_difference(sortedRows.begin(), sortedRows.end(), admitted.begin(), admitted.end(),
                            std::back_inserter(inside));
        // Every admitted row shown; nothing else but rows at the band's edge.
        QVERIFY2(std::includes(sortedRows.begin(), sortedRows.end(), admitted.begin(), admitted.end()),
                 qPrintable(
                     where
                     + QStringLiteral(": %1 rows shown, %2 admitted").arg(rows.size()).arg(admitted.size())));
        for (const Option& extra : inside) {
            const double forward = forwards[static_cast<std::size_t>(extra.expiry)].forward > 0
                                       ? forwards[static_cast<std::size_t>(extra.expiry)].forward
                                       : chain.underlyingLast;
            const double strike = root.expiries[static_cast<std::size_t>(extra.expiry)]
                                      .strikes[static_cast<std::size_t>(extra.strike)]
                                      .strike;
            QVERIFY2(
                band > 0 && std::fabs(std::fabs(strike / forward - 1) * 100 - band) < 1e-6,
                qPrintable(where + QStringLiteral(": strike %1 shown, forward %2").arg(strike).arg(forward)));
        }

        // The sort: by the core's numbers, equal ones in the table's order
        // (so a strike's call and put stay together, the call first).
        const QHeaderView* header = window_->tblChain->horizontalHeader();
        const int column = header->sortIndicatorSection();
        if (column >= 0 && column < Column::kColumnCount && !window_->tblChain->isColumnHidden(column)) {
            const bool up = header->sortIndicatorOrder() == Qt::AscendingOrder;
            for (std::size_t r = 1; r < rows.size(); ++r) {
                const Key before = SortKey(root, vols, rows[r - 1], column);
                const Key now = SortKey(root, vols, rows[r], column);
                const bool inOrder = before == now ? rows[r - 1] < rows[r]
                                                   : (up ? before < now : now < before);
                QVERIFY2(
                    inOrder,
                    qPrintable(where + QStringLiteral(": sorted by column %1, row %2").arg(column).arg(r)));
            }
        }

        // The term structure: the days, the rate, the core's forward and
        // where it comes from, the at-the-money volatility of the core's
        // solve and the yield the forward implies, in percent.
        const std::vector<TermPoint> term = TermStructure(root, vols);
        if (window_->tabViews->currentIndex() == ChainWindow::kTermView) {
            QTableWidget* table = window_->tblTerm;
            QVERIFY2(table->rowCount() == static_cast<int>(root.expiries.size()), qPrintable(where));
            for (int e = 0; e < table->rowCount(); ++e) {
                const ExpiryForward& forward = forwards[static_cast<std::size_t>(e)];
                const TermPoint& point = term[static_cast<std::size_t>(e)];
                QStringList shown;
                for (int c = 1; c <= 6; ++c)
                    shown << table->item(e, c)->text();
                const QString text = shown.join(QLatin1Char('|'));
                const bool known = forward.forward > 0;
                const QString want =
                    QStringList{QString::number(point.days),
                                Fixed(point.rate * 100, 2),
                                known ? Fixed(forward.forward, 2) : QString(),
                                point.atmVol > 0 ? Fixed(point.atmVol * 100, 2) : QString(),
                                known ? QString::fromLatin1(ForwardSourceName(forward.source)) : QString(),
                                known ? Fixed(point.impliedYield * 100, 2) : QString()}
                        .join(QLatin1Char('|'));
                QVERIFY2(
                    text == want,
                    qPrintable(where
                               + QStringLiteral(": expiry %1 shows %2, the core %3").arg(e).arg(text, want)));
            }
        }
        // The surface over the band the box sets, as it is exported.
        if (window_->tabViews->currentIndex() == ChainWindow::kSurfaceView) {
            const double half = window_->fseBand->value() / 100;
            const VolSurfaceGrid grid = VolatilitySurface(root, vols, 1 - half, 1 + half, kSurfaceColumns);
            QVERIFY2(window_->ViewCsv() == QString::fromStdString(SurfaceCsv(grid)), qPrintable(where));
        }
    }

    // Selects `count` rows of the table at random and asks for a new series:
    // the series is the core's of the same options, or the message is its.
    void NewSeries(std::mt19937& random, const QString& where)
    {
        QTableView* table = window_->tblChain;
        const int rows = table->model()->rowCount();
        if (rows == 0)
            return;
        table->clearSelection();
        const QuoteChain& chain = window_->Chain();
        const ChainRoot& root = *window_->Root();
        std::vector<std::pair<std::size_t, std::size_t>> picked;
        const int count = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
            // The option by its date and strike as the row shows them.
            const QString date = table->model()->index(row, Column::kExpiry).data().toString();
            const double strike =
                table->model()->index(row, Column::kStrike).data().toString().replace(',', '.').toDouble();
            for (std::size_t e = 0; e < root.expiries.size(); ++e)
                if (QString::fromStdString(FormatLocaleDate(root.expiries[e].date, environment_.locale))
                    == date)
                    for (std::size_t s = 0; s < root.expiries[e].strikes.size(); ++s)
                        if (root.expiries[e].strikes[s].strike == strike)
                            picked.emplace_back(e, s);
        }
        std::sort(picked.begin(), picked.end());
        picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
        const ChainInputs inputs = ShownInputs();
        const SelectionResult core = MakeChainSelection(chain, root, picked, inputs);
        QSignalSpy requested(window_, &ChainWindow::newSeriesRequested);
        const qsizetype told = notifier_.infos.size();
        QTest::mouseClick(window_->btnNewSeries, Qt::LeftButton);
        if (!core.selection) {
            QVERIFY2(requested.isEmpty() && notifier_.infos.size() == told + 1
                         && notifier_.infos.back() == QString::fromStdString(core.problem),
                     qPrintable(where));
            return;
        }
        QVERIFY2(requested.size() == 1, qPrintable(where));
        const auto made = requested[0][0].value<ChainSelection>();
        QVERIFY2(made.strikes == core.selection->strikes && made.expiries == core.selection->expiries
                     && made.contract == core.selection->contract,
                 qPrintable(where));
        // The market of the selected expiries, solved here at the mids.
        const TableMarket market = MarketOfChain(chain, root, made.expiries, inputs);
        QVERIFY2(made.market && made.market->expiries.size() == market.expiries.size(), qPrintable(where));
        for (std::size_t e = 0; e < market.expiries.size(); ++e) {
            const ExpiryMarket& got = made.market->expiries[e];
            const ExpiryMarket& want = market.expiries[e];
            QVERIFY2(got.forward == want.forward && got.forwardSource == want.forwardSource
                         && std::fabs(got.atmVol - want.atmVol) < 1e-12,
                     qPrintable(where + QStringLiteral(": market of expiry %1").arg(e)));
        }
        // A first expiry priced by parity gives the series the yield its
        // forward implies in place of the typed dividend.
        ChainDividend dividend = inputs.dividend;
        if (!market.expiries.empty() && market.expiries[0].forwardSource == ForwardSource::Parity)
            dividend = ChainDividend{false, market.expiries[0].impliedYield, 0, 0};
        QVERIFY2(made.inputs.dividend.cash == dividend.cash && made.inputs.dividend.yield == dividend.yield
                     && made.inputs.dividend.amount == dividend.amount
                     && made.inputs.dividend.date == dividend.date && made.inputs.model == inputs.model
                     && made.inputs.steps == inputs.steps,
                 qPrintable(where));
    }

private slots:
    void everyControlAgreesWithTheCore()
    {
        const unsigned seed = testsupport::WalkSeed(kSeed);
        std::mt19937 random(seed);
        const auto pick = [&random](int count) { return testsupport::Pick(random, count); };

        environment_.locale.decimalSeparator = ',';
        window_ = ChainWindow::Open(kTable, QString(), environment_, notifier_);
        QVERIFY(window_);
        const std::unique_ptr<ChainWindow> owner(window_);
        window_->show();
        QVERIFY(window_->cmbRoot->count() > 1);
        std::deque<QString> log;
        for (int step = 0; step <= kSteps; ++step) {
            QString done = QStringLiteral("opened");
            // The walk opens on an edge: a band over typed forwards, then a
            // cash dividend above the price, paid before the table's day,
            // that leaves no expiry a forward, then the band widened; and
            // goes on in the term structure's view until it picks another.
            const int action = step == 0   ? -1
                               : step == 1 ? 13
                               : step == 2 ? 14
                               : step == 3 ? 15
                               : step == 4 ? 16
                                           : pick(13);
            switch (action) {
            case 13:
                window_->cmbForward->setCurrentIndex(1);
                window_->fseBand->setValue(5);
                window_->ckBand->setChecked(true);
                done = QStringLiteral("typed forward, band 5");
                break;
            case 15:
                window_->fseBand->setValue(12);
                done = QStringLiteral("band widened to 12");
                break;
            case 16:
                window_->tabViews->setCurrentIndex(ChainWindow::kTermView);
                done = QStringLiteral("term structure");
                break;
            case 14:
                window_->dteDividend->setDate(QDate(2016, 11, 18));
                window_->cmbDividend->setCurrentIndex(1);
                window_->fseCash->setValue(300);
                done = QStringLiteral("cash dividend 300");
                break;
            case 0:
                window_->cmbRoot->setFocus();
                QTest::keyClick(window_->cmbRoot, pick(2) ? Qt::Key_Down : Qt::Key_Up);
                done = QStringLiteral("root ") + window_->cmbRoot->currentText();
                break;
            case 1:
                // The tree with few steps: the walk's time goes to checking.
                window_->seSteps->setValue(25 + 10 * pick(3));
                window_->cmbModel->setCurrentIndex(pick(window_->cmbModel->count()));
                done = QStringLiteral("model %1, %2 steps")
                           .arg(window_->cmbModel->currentIndex())
                           .arg(window_->seSteps->value());
                break;
            case 2:
                window_->cmbDividend->setCurrentIndex(pick(2));
                if (window_->fseYield->isVisible())
                    window_->fseYield->setValue(0.5 * pick(9));
                else
                    window_->fseCash->setValue(pick(5) ? 0.25 * pick(12) : 300);  // some more than the price
                done = QStringLiteral("dividend %1 %2 %3")
                           .arg(window_->cmbDividend->currentIndex())
                           .arg(window_->fseYield->value())
                           .arg(window_->fseCash->value());
                break;
            case 3:
                // From a week before the table's day to four months on, the day itself too.
                window_->dteDividend->setDate(QDate(2016, 11, 25).addDays(7 * pick(20) - 7));
                done = QStringLiteral("dividend date ") + window_->dteDividend->date().toString(Qt::ISODate);
                break;
            case 4:
                window_->cmbForward->setCurrentIndex(pick(2));
                done = QStringLiteral("forward ") + window_->cmbForward->currentText();
                break;
            case 5:
                if (pick(2))
                    QTest::mouseClick(window_->ckBand, Qt::LeftButton, {},
                                      QPoint(4, window_->ckBand->height() / 2));
                else
                    window_->fseBand->setValue(1 + pick(30));
                done = QStringLiteral("band %1 %2")
                           .arg(window_->ckBand->isChecked())
                           .arg(window_->fseBand->value());
                break;
            case 6:
                QTest::mouseClick(window_->ckBidsOnly, Qt::LeftButton, {},
                                  QPoint(4, window_->ckBidsOnly->height() / 2));
                done = QStringLiteral("bids only %1").arg(window_->ckBidsOnly->isChecked());
                break;
            case 7: {
                static const int kThresholds[] = {0, 10, 100, 500, 1000, 5000, 20000};
                (pick(2) ? window_->seMarkVolume : window_->seMarkOpenInterest)
                    ->setValue(kThresholds[pick(7)]);
                done = QStringLiteral("marks %1 %2")
                           .arg(window_->seMarkVolume->value())
                           .arg(window_->seMarkOpenInterest->value());
                break;
            }
            case 8:
                window_->tabExpiries->setCurrentIndex(pick(window_->tabExpiries->count()));
                done = QStringLiteral("expiry tab %1").arg(window_->tabExpiries->currentIndex());
                break;
            case 9: {
                const int column = pick(Column::kColumnCount);
                window_->tblChain->sortByColumn(column, pick(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
                done = QStringLiteral("sort %1 %2")
                           .arg(column)
                           .arg(window_->tblChain->horizontalHeader()->sortIndicatorOrder());
                break;
            }
            case 10:
                window_->tabViews->setCurrentIndex(pick(3));
                done = QStringLiteral("view %1").arg(window_->tabViews->currentIndex());
                break;
            case 11:
                done = QStringLiteral("new series");
                break;
            case 12: {
                // The table read again, as "Open table..." reads the file chosen: the root stays.
                const QString root = window_->cmbRoot->currentText();
                QSignalSpy opened(window_, &ChainWindow::tableOpened);
                window_->OpenTable(kTable, root);
                QVERIFY(opened.wait(60000));
                QCOMPARE(window_->cmbRoot->currentText(), root);
                done = QStringLiteral("table read again");
                break;
            }
            default:
                break;
            }
            log.push_back(QStringLiteral("%1: %2").arg(step).arg(done));
            if (log.size() > 10)
                log.pop_front();
            QStringList lines{QStringLiteral("seed %1, step %2").arg(seed).arg(step)};
            lines.append(QStringList(log.begin(), log.end()));
            const QString where = lines.join(QLatin1Char('\n'));
            // Until every expiry of the inputs shown is in.
            QTRY_VERIFY2_WITH_TIMEOUT(!window_->Solving()
                                          && std::all_of(window_->Vols().begin(), window_->Vols().end(),
                                                         [](const auto& vols) { return vols.has_value(); }),
                                      qPrintable(where), 60000);
            if (done == QStringLiteral("new series"))
                NewSeries(random, where);
            CheckWindow(where);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_MAIN(ChainWindowWalkTest)
#include "chainwindow_walk_test.moc"
