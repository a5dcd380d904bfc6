// The chain table tells its views of every cell it changes: a cell whose
// text, tooltip, colour or sort key moves outside every range the model
// announced would stay stale on screen until something else repaints it.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <vector>

#include "analysis/ChainSolve.h"
#include "chainwindow/ChainTableModel.h"

using namespace kestrava;

namespace {

constexpr int kRoles[] = {Qt::DisplayRole,
                          Qt::ToolTipRole,
                          Qt::FontRole,
                          Qt::BackgroundRole,
                          ChainTableModel::kSortRole,
                          ChainTableModel::kExportRole,
                          ChainTableModel::kMoneynessRole,
                          ChainTableModel::kMarkedRole};

using Snapshot = std::vector<QVariant>;

Snapshot Take(const QAbstractItemModel& model)
{
    Snapshot cells;
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            for (int role : kRoles)
                cells.push_back(model.data(model.index(row, column), role));
    return cells;
}

// The cells that differ between two snapshots and lie outside every
// dataChanged range the spy caught: "row,column" of each.
QStringList Unannounced(const QAbstractItemModel& model, const Snapshot& before, const Snapshot& after,
                        const QSignalSpy& spy)
{
    QStringList missed;
    const int roles = static_cast<int>(std::size(kRoles));
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            const std::size_t at = static_cast<std::size_t>((row * model.columnCount() + column) * roles);
            bool changed = false;
            for (int r = 0; r < roles; ++r)
                changed = changed
                          || before[at + static_cast<std::size_t>(r)]
                                 != after[at + static_cast<std::size_t>(r)];
            bool announced = false;
            for (const QList<QVariant>& signal : spy) {
                const auto from = signal.at(0).toModelIndex();
                const auto to = signal.at(1).toModelIndex();
                announced = announced
                            || (from.row() <= row && row <= to.row() && from.column() <= column
                                && column <= to.column());
            }
            if (changed && !announced)
                missed << QStringLiteral("%1,%2").arg(row).arg(column);
        }
    return missed;
}

}  // namespace

class ChainTableModelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyChangedCellIsAnnounced();
    void volatilitiesShowTheSolvedValueInTheLocale();

private:
    std::shared_ptr<const QuoteChain> chain_;
    int root_ = -1;
    std::vector<ExpiryVols> solved_;
};

void ChainTableModelTest::initTestCase()
{
    chain_ = std::make_shared<const QuoteChain>(
        ReadQuoteChain(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2025-09-01.csv"));
    root_ = chain_->DefaultRoot();
    ChainInputs inputs;
    inputs.forward = ForwardSource::Parity;
    solved_ = SolveChain(chain_->roots.at(static_cast<std::size_t>(root_)), chain_->underlyingLast,
                         chain_->quoteDate, inputs, ChainSolveScope::BidAskMid, 1);
    QVERIFY(solved_.size() >= 3);
}

void ChainTableModelTest::everyChangedCellIsAnnounced()
{
    const std::vector<ExpiryVols>& solved = solved_;
    ChainTableModel model(LocaleInfo{});
    const QAbstractItemModelTester whole(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRoot(chain_, root_, std::vector<double>(solved.size(), chain_->underlyingLast));
    QVERIFY(model.rowCount() > 0);

    // Each step changes something; each must announce all it changed.
    struct Step {
        const char* what;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"first expiry solved", [&] { model.SetExpiryVols(0, solved[0]); }},
        {"second expiry solved", [&] { model.SetExpiryVols(1, solved[1]); }},
        {"last expiry solved",
         [&] { model.SetExpiryVols(static_cast<int>(solved.size()) - 1, solved.back()); }},
        {"rows marked by volume", [&] { model.SetMarks(0, 1'000'000'000); }},
        {"rows marked by open interest", [&] { model.SetMarks(1'000'000'000, 0); }},
        {"volatilities cleared", [&] { model.ClearVols(); }},
    };
    for (const Step& step : steps) {
        const Snapshot before = Take(model);
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        step.run();
        const Snapshot after = Take(model);
        QVERIFY2(before != after, step.what);
        const QStringList missed = Unannounced(model, before, after, spy);
        QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(step.what),
                                                                           missed.mid(0, 5).join(u' '))));
    }
}

// A solved volatility reads as the solver's percentage to two decimals,
// with the user's decimal separator; an unsolved one is empty.
void ChainTableModelTest::volatilitiesShowTheSolvedValueInTheLocale()
{
    LocaleInfo comma;
    comma.decimalSeparator = ',';
    ChainTableModel model(comma);
    model.SetRoot(chain_, root_, std::vector<double>(solved_.size(), chain_->underlyingLast));
    model.SetExpiryVols(0, solved_[0]);
    const auto& options = solved_[0].options;
    int shown = 0;
    for (std::size_t strike = 0; strike < options.size(); ++strike)
        for (int side = 0; side < 2; ++side) {
            const OptionVols& vols = options[strike][static_cast<std::size_t>(side)];
            const int row = static_cast<int>(2 * strike) + side;  // the call's row, then the put's
            for (const auto& [column, solution] : {std::pair{ChainTableModel::kBidIV, vols.bid},
                                                   {ChainTableModel::kAskIV, vols.ask},
                                                   {ChainTableModel::kMidIV, vols.mid}}) {
                const QString text = model.data(model.index(row, column)).toString();
                if (!solution.Solved()) {
                    QVERIFY2(text.isEmpty(), qPrintable(text));
                    continue;
                }
                const QString expected = QString::number(solution.vol * 100, 'f', 2).replace(u'.', u',');
                QCOMPARE(text, expected);
                ++shown;
            }
        }
    QVERIFY(shown > 20);
}

QTEST_MAIN(ChainTableModelTest)
#include "chaintablemodel_test.moc"
