// The Position tab's what-if analysis through its widgets, as a user drives
// it: the sliders moved by keyboard, by clicks and by a drag value the
// position exactly as the analysis core does for the scenario the controls
// show; the profit or loss table copies what it shows; a covered call with
// commissions is valued, shown and exported as worked by hand.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <cmath>
#include <random>

#include "analysis/MarkedPosition.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionTotals.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "optionpage/PnlTableView.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionTab.h"
#include "optionpage/RiskView.h"
#include "optionpage/ScenarioPanel.h"
#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"
#include "support/overlapping_controls.h"
#include "support/qt_test_main.h"

using namespace kestrava;

namespace {

const LocaleInfo kComma = LocaleInfo::FromPattern("dd.MM.yyyy", ',');

// 91 and 182 days, strikes 90 to 110 by 5, quoted 5 % either side of the
// model's value at a skew, so that every leg has its own volatility.
std::vector<TInOutObj> SkewedExpiries()
{
    std::vector<TInOutObj> expiries;
    for (int days : {91, 182}) {
        TInOutObj p = fixtures::MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, days,
                                           {90, 95, 100, 105, 110});
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                p.Vol(s, k) = 0.25f - 0.5f * (p.Strike(s, k) / 100 - 1);
        RunModel(p);
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k) {
                p.Bid(s, k) = std::round(p.Theo(s, k) * 95) / 100;
                p.Ask(s, k) = std::round(p.Theo(s, k) * 105) / 100;
            }
        RecalcExpiry(p, VolSource::Flat);
        expiries.push_back(p);
    }
    return expiries;
}

std::vector<const TInOutObj*> Pointers(const std::vector<TInOutObj>& expiries)
{
    std::vector<const TInOutObj*> pointers;
    for (const TInOutObj& p : expiries)
        pointers.push_back(&p);
    return pointers;
}

QString Money(double value, int decimals = 2)
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, kComma.decimalSeparator));
}

// A signed number at the head of a label's text ("+10 %", "-0,5 pts").
double LeadingNumber(const QLabel* label)
{
    const QString text = label->text().section(QLatin1Char(' '), 0, 0);
    double value = NAN;
    return TryParseDecimal(text.toStdString(), ',', value) ? value : NAN;
}

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

}  // namespace

class WhatIfTest : public QObject {
    Q_OBJECT

    // The scenario as the controls show it to the user: the date and the
    // shifts read from their labels, the rules from the choices.
    static Scenario ShownScenario(const PositionTab& tab, bool dateChosen)
    {
        Scenario scenario;
        TDateTime date = 0;
        if (dateChosen && TryParseLocaleDate(tab.Scenario->lblDate->text().toStdString(), kComma, date))
            scenario.date = date;
        scenario.volShift = LeadingNumber(tab.Scenario->lblVolShift);
        scenario.volPoints = LeadingNumber(tab.Scenario->lblVolPoints);
        scenario.rateShift = LeadingNumber(tab.Scenario->lblRateShift);
        scenario.skew = static_cast<SkewRule>(tab.Scenario->cboSkew->currentIndex());
        scenario.distribution = static_cast<DistributionVol>(tab.Scenario->cboDistribution->currentIndex());
        return scenario;
    }

    // Everything the tab shows under the scenario, against the core.
    static void CheckAgainstCore(const PositionTab& tab, const MarkedPosition& marked,
                                 const Scenario& scenario, const QString& step)
    {
        const RiskGraph& shown = tab.Graph->Graph();
        QVERIFY2(shown.dates == RiskDates(marked, scenario), qPrintable(step));
        const int graphChoice = tab.Scenario->cboGraph->currentIndex();
        const RiskGraph core = graphChoice == 0 ? ComputeRiskGraph(marked, scenario, shown.prices)
                                                : ComputeGreekGraph(marked, scenario, shown.prices,
                                                                    static_cast<Greek>(graphChoice - 1));
        for (std::size_t d = 0; d < 3; ++d)
            QVERIFY2(shown.pnl[d] == core.pnl[d], qPrintable(step + QStringLiteral(" curve %1").arg(d)));
        QCOMPARE(shown.greek.has_value(), graphChoice != 0);

        const PositionFigures figures = ComputeFigures(marked, scenario);
        QCOMPARE(tab.Figures->lblScenarioPnl->text(), Money(figures.scenario.pnl));
        QCOMPARE(tab.Figures->lblPnl->text(), Money(figures.now.pnl));
        QCOMPARE(tab.Figures->lblRho->text(), Money(figures.now.rho));
        const ProbabilityFigures chances = ComputeProbabilities(marked, scenario);
        QCOMPARE(tab.Figures->lblPopExpiry->text(), Money(chances.popExpiry * 100, 1) + QStringLiteral(" %"));
        QCOMPARE(tab.Figures->lblPopDate->text(), Money(chances.popDate * 100, 1) + QStringLiteral(" %"));
        QCOMPARE(tab.Figures->lblExpectedPnl->text(), Money(chances.expectedPnlExpiry));
        // The table the view chooses: by date, or by volatility.
        QCOMPARE(tab.tblPnl->ShowsVolTable(), !marked.Empty() && tab.cboPnlView->currentIndex() == 1);
        if (tab.tblPnl->ShowsVolTable()) {
            QVERIFY2(tab.tblPnl->VolTable().pnl
                         == ComputePnlVolTable(marked, scenario, shown.dates[kRiskMidway]).pnl,
                     qPrintable(step));
        } else {
            QVERIFY2(tab.tblPnl->Table().pnl
                         == ComputePnlTable(marked, scenario, shown.dates[kRiskMidway]).pnl,
                     qPrintable(step));
        }
    }

private slots:
    // A random walk of what a user does with the controls; after each step
    // the graph, the figures, the chances and the table are the core's for
    // the scenario the controls show, and "P&L now" stays the mids' less
    // the cost.
    void controlsValueTheScenarioTheyShow()
    {
        std::vector<TInOutObj> expiries = SkewedExpiries();
        // The far call has no quotes: it is marked at the model.
        expiries[1].Bid(5, 1) = expiries[1].Ask(5, 1) = 0;
        Position position;
        position.legs = {LegFromGrid(expiries[0], 2, 2, 1), LegFromGrid(expiries[0], 3, 2, -1),
                         LegFromGrid(expiries[0], 4, 1, -1), LegFromGrid(expiries[1], 5, 1, 1)};
        PositionTab tab(kComma);
        // Before any position, the box shows the multiplier a new one takes.
        QCOMPARE(tab.fseMultiplier->Value(), tab.GetPosition().multiplier);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries));
        tab.SetPosition(position);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        const MarkedPosition marked(Pointers(expiries), position);
        int controls = 0;
        const QString overlapping = testsupport::OverlappingControls(&tab, &controls);
        QVERIFY2(overlapping.isEmpty(), qPrintable(overlapping));
        QVERIFY(controls > 20);

        // "P&L now" by hand: quoted legs at their mids, the far call at its
        // model value, less what was paid.
        double value = 0;
        double cost = 0;
        for (const PositionLeg& leg : position.legs) {
            const TInOutObj& p = leg.expiry == expiries[0].GetExpiry() ? expiries[0] : expiries[1];
            const LegPlace place = FindLeg(Pointers(expiries), leg);
            const double bid = ShortestDouble(p.Bid(place.s, place.k));
            const double ask = ShortestDouble(p.Ask(place.s, place.k));
            const double mark = bid > 0 ? (bid + ask) / 2 : p.Theo(place.s, place.k);
            value += mark * leg.quantity * 100;
            cost += leg.price * leg.quantity * 100;
        }
        QCOMPARE(tab.Figures->lblPnl->text(), Money(value - cost));
        QCOMPARE(tab.Figures->lblMarks->text(), QString::fromStdString(MarkNote(marked)));
        QVERIFY(tab.Figures->lblMarks->text().contains(QStringLiteral("Leg 4")));

        ScenarioPanel* panel = tab.Scenario;
        QSlider* sliders[] = {panel->sldDate, panel->sldVolShift, panel->sldVolPoints, panel->sldRateShift};
        QComboBox* combos[] = {panel->cboSkew, panel->cboDistribution, panel->cboGraph, tab.cboPnlView};
        const Qt::Key keys[] = {Qt::Key_Right,    Qt::Key_Left, Qt::Key_PageUp,
                                Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        std::mt19937 random(20110124);
        bool dateChosen = false;
        CheckAgainstCore(tab, marked, ShownScenario(tab, dateChosen), QStringLiteral("at first"));
        for (int step = 0; step < 60; ++step) {
            const int action = static_cast<int>(random() % 5);
            const int dateBefore = panel->sldDate->value();
            const int which = static_cast<int>(random() % 4);
            QString done;
            if (action == 0) {
                const Qt::Key key = keys[random() % 6];
                sliders[which]->setFocus();
                QTest::keyClick(sliders[which], key);
                done = sliders[which]->objectName() + QStringLiteral(" key %1").arg(key);
            } else if (action == 1) {
                // A click on the groove, anywhere along it.
                const QPoint at(static_cast<int>(random() % static_cast<unsigned>(sliders[which]->width())),
                                sliders[which]->height() / 2);
                QTest::mouseClick(sliders[which], Qt::LeftButton, {}, at);
                done = sliders[which]->objectName() + QStringLiteral(" click %1").arg(at.x());
            } else if (action == 2) {
                QComboBox* combo = combos[which];
                combo->setFocus();
                QTest::keyClick(combo, random() % 2 ? Qt::Key_Down : Qt::Key_Up);
                done = combo->objectName() + QStringLiteral(" %1").arg(combo->currentIndex());
            } else if (action == 3) {
                QTest::mouseClick(panel->cmdReset, Qt::LeftButton);
                done = QStringLiteral("Reset");
            } else {
                // The commission per contract, a step up or down as the arrows take it.
                tab.fsePerContract->setFocus();
                QTest::keyClick(tab.fsePerContract, random() % 2 ? Qt::Key_Up : Qt::Key_Down);
                done = QStringLiteral("commission %1").arg(tab.fsePerContract->text());
                // The box shows the commission the figures take, never one below 0.
                double shown = -1;
                QVERIFY2(TryParseDecimal(tab.fsePerContract->text().toStdString(), ',', shown),
                         qPrintable(done));
                QCOMPARE(shown, tab.GetPosition().commissions.perContract);
            }
            if (action == 3) {
                // Reset gives the date back to the tab.
                dateChosen = false;
                QCOMPARE(panel->sldVolShift->value(), 0);
                QCOMPARE(panel->sldVolPoints->value(), 0);
                QCOMPARE(panel->sldRateShift->value(), 0);
                QCOMPARE(panel->cboSkew->currentIndex(), 0);
                QCOMPARE(panel->cboDistribution->currentIndex(), 0);
            } else {
                // The date is the user's once the slider has moved.
                dateChosen = dateChosen || panel->sldDate->value() != dateBefore;
            }
            Settle();
            // The position as the tab holds it now, its commissions too.
            const MarkedPosition current(Pointers(expiries), tab.GetPosition());
            CheckAgainstCore(tab, current, ShownScenario(tab, dateChosen), done);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // While the date slider is dragged, each move of the mouse redraws the
    // graph at the date under the pointer, before the button is let go.
    void dragRedrawsAsTheMouseMoves()
    {
        const std::vector<TInOutObj> expiries = SkewedExpiries();
        Position position;
        position.legs = {LegFromGrid(expiries[0], 2, 2, 1), LegFromGrid(expiries[0], 3, 2, -1),
                         LegFromGrid(expiries[0], 4, 1, -1), LegFromGrid(expiries[0], 5, 1, 1)};
        PositionTab tab(kComma);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries));
        tab.SetPosition(position);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        const MarkedPosition marked(Pointers(expiries), position);
        QSlider* slider = tab.Scenario->sldDate;
        QCOMPARE(slider->maximum(), 91);
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = option.sliderValue = slider->value();
        const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                             QStyle::SC_SliderHandle, slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
        std::vector<TDateTime> drawn;
        for (int dx : {40, 80, 120, -200}) {
            QMouseEvent move(QEvent::MouseMove, handle.center() + QPoint(dx, 0),
                             slider->mapToGlobal(handle.center() + QPoint(dx, 0)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(slider, &move);
            Settle();
            QVERIFY(slider->isSliderDown());
            const TDateTime date = std::trunc(marked.Today()) + slider->value();
            QCOMPARE(tab.Graph->Graph().dates[kRiskMidway], date);
            QVERIFY(tab.Graph->Graph().dateChosen);
            Scenario scenario;
            scenario.date = date;
            QCOMPARE(tab.Graph->Graph().pnl[kRiskMidway],
                     ComputeRiskGraph(marked, scenario, tab.Graph->Graph().prices).pnl[kRiskMidway]);
            drawn.push_back(date);
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center() + QPoint(-200, 0));
        std::sort(drawn.begin(), drawn.end());
        QVERIFY(std::unique(drawn.begin(), drawn.end()) - drawn.begin() >= 3);
    }

    // Ctrl+C copies the whole table, or the cells selected, as shown.
    void tableCopiesWhatItShows()
    {
        const std::vector<TInOutObj> expiries = SkewedExpiries();
        Position position;
        position.legs = {LegFromGrid(expiries[0], 3, 1, 1), LegFromGrid(expiries[1], 3, 1, -1)};
        PositionTab tab(kComma);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries));
        tab.SetPosition(position);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        tab.Scenario->sldDate->setFocus();
        QTest::keyClick(tab.Scenario->sldDate, Qt::Key_PageUp);
        Settle();

        PnlTableView* table = tab.tblPnl;
        const PnlTable& shown = table->Table();
        QCOMPARE(shown.dates.size(), std::size_t{4});  // today, the date, two expiries
        table->setFocus();
        table->clearSelection();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), static_cast<int>(shown.prices.size()) + 1);
        QVERIFY(lines[0].startsWith(QStringLiteral("Price\tToday ")));
        QVERIFY(lines[0].contains(QStringLiteral("\tDate ")));
        // One row is today's price, and says so.
        int todayRows = 0;
        for (std::size_t r = 0; r < shown.prices.size(); ++r) {
            const QString label = table->model()->headerData(static_cast<int>(r), Qt::Vertical).toString();
            QVERIFY2(label.startsWith(Money(shown.prices[r])), qPrintable(label));
            if (label.endsWith(QStringLiteral(" today"))) {
                ++todayRows;
                QCOMPARE(shown.prices[r], double(expiries[0].Underlying));
            }
        }
        QCOMPARE(todayRows, 1);
        for (std::size_t r = 0; r < shown.prices.size(); ++r) {
            const QStringList cells = lines[static_cast<int>(r) + 1].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 5);
            QCOMPARE(cells[0], Money(shown.prices[r]));
            for (std::size_t c = 0; c < 4; ++c)
                QCOMPARE(cells[static_cast<int>(c) + 1], Money(shown.pnl[r][c]));
        }
        // The expiry column alone: a click on its heading.
        const int column = 2;
        QTest::mouseClick(table->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(table->horizontalHeader()->sectionViewportPosition(column) + 5, 5));
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), static_cast<int>(shown.prices.size()) + 1);
        for (std::size_t r = 0; r < shown.prices.size(); ++r)
            QCOMPARE(lines[static_cast<int>(r) + 1].split(QLatin1Char('\t')).value(1),
                     Money(shown.pnl[r][column]));
        QVERIFY(!lines[1].contains(Money(shown.pnl[0][0]) + QLatin1Char('\t')));
    }

    // 100 shares bought at 99.50 and a 105 call sold against them at its
    // bid, with commissions of 0.65 a contract and 0.005 a share.
    void coveredCallWithCommissions()
    {
        const std::vector<TInOutObj> expiries = SkewedExpiries();
        Position position;
        PositionLeg shares;
        shares.kind = LegKind::Underlying;
        shares.quantity = 100;
        shares.price = 99.5;
        const PositionLeg call = LegFromGrid(expiries[0], 4, 1, -1);
        position.legs = {shares, call};
        position.commissions.perContract = 0.65;
        position.commissions.perShare = 0.005;
        PositionTab tab(kComma);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries));
        tab.SetPosition(position);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));

        QCOMPARE(tab.tblLegs->model()->index(0, 0).data().toString(), QStringLiteral("Underlying"));
        const double bid = ShortestDouble(expiries[0].Bid(4, 1));
        const double ask = ShortestDouble(expiries[0].Ask(4, 1));
        QCOMPARE(call.price, bid);
        const double commissions = 0.65 + 100 * 0.005;
        const double cost = 100 * 99.5 - 100 * bid + commissions;
        QCOMPARE(tab.Figures->lblCost->text(), Money(cost));
        QCOMPARE(tab.Figures->lblPnl->text(), Money(100 * 100.0 - 100 * (bid + ask) / 2 - cost));
        // Called away at 105 or above: the most it makes.
        const double most = 100 * (105 - 99.5) + 100 * bid - commissions;
        QVERIFY2(tab.Figures->lblMaxProfit->text().startsWith(Money(most) + QStringLiteral(" (")),
                 qPrintable(tab.Figures->lblMaxProfit->text()));
        const RiskGraph& graph = tab.Graph->Graph();
        for (std::size_t i = 0; i < graph.prices.size(); ++i) {
            const double price = graph.prices[i];
            const double atExpiry = 100 * (price - 99.5) - 100 * std::max(0.0, price - 105) + 100 * bid
                                    - commissions;
            QVERIFY2(std::fabs(graph.pnl[kRiskExpiry][i] - atExpiry) < 1e-6,
                     qPrintable(QString::number(price)));
        }

        // The export holds the shares, both commissions and their sum.
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("covered.csv"));
        QVERIFY(tab.ExportTo(file).isEmpty());
        QFile read(file);
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QString csv = QString::fromUtf8(read.readAll());
        // The shares' figures: worth the price, a delta of one, no volatility.
        QVERIFY(csv.contains(QStringLiteral("\n1,underlying,,,,100,99.5,100,price,,0.5,,,100,1,0,0,0,0\n")));
        QVERIFY(csv.contains(QStringLiteral("\ncommissions,1.15,")));
        // A folder that cannot be written is said, and nothing is made.
        const QString problem = tab.ExportTo(folder.filePath(QStringLiteral("missing/covered.csv")));
        QVERIFY(problem.contains(QStringLiteral("covered.csv")));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return testsupport::RunQtTests<WhatIfTest>(argc, argv);
}
#include "whatif_test.moc"
