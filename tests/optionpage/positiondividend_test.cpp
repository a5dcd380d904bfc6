// A seeded random walk over a real page's Position tab that changes the
// series' dividend as the setup dialog does ("Change series": a new page of
// the changed setup takes the old page's position): a yield for the index,
// or a cash amount on a date for an equity, the date on the valuation day,
// between the expiries, on one, or after both. Between the changes the
// what-if controls move. After each step the figures are the core's
// valuation of the same legs, over expiries the test prices with the
// dividend it typed, at the market of the same quote table.
// KESTRAVA_WALK_SEED picks another walk; a failure names the seed.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <memory>
#include <random>

#include "analysis/MarkedPosition.h"
#include "analysis/PositionTotals.h"
#include "analysis/TableMarket.h"
#include "common/localeparse.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionTab.h"
#include "optionpage/ScenarioPanel.h"
#include "pricing/recalc.h"
#include "support/recording_notifier.h"
#include "support/walk_seed.h"

using namespace kestrava;

namespace {

constexpr unsigned kSeed = 20110124;
constexpr int kSteps = 14;
const LocaleInfo kComma = LocaleInfo::FromPattern("dd.MM.yyyy", ',');
const QDate kToday(2011, 1, 24);  // the quote table's
const QDate kFebruary(2011, 2, 19);
const QDate kMarch(2011, 3, 19);

// The dividend as typed into the setup: a yield in percent, or an amount on a date.
struct Dividend {
    bool cash = false;
    double figure = 1.8;
    QDate date;
};

QString Money(double value)
{
    return QString::fromStdString(FormatLocaleFixed(value, 2, kComma.decimalSeparator));
}

// A signed number at the head of a label's text ("+10 %", "-0,5 pts").
double LeadingNumber(const QLabel* label)
{
    double value = NAN;
    return TryParseDecimal(label->text().section(QLatin1Char(' '), 0, 0).toStdString(), ',', value) ? value
                                                                                                    : NAN;
}

TDateTime Day(const QDate& date)
{
    return EncodeDate(date.year(), date.month(), date.day());
}

}  // namespace

class PositionDividendTest : public QObject {
    Q_OBJECT

    QTemporaryDir temp_;
    testsupport::RecordingNotifier notifier_;
    std::unique_ptr<TfrmOPage> page_;

    std::unique_ptr<TfrmOPage> MakePage(const Dividend& dividend)
    {
        PageEnvironment environment;
        environment.dataDirectory = environment.tempDirectory = environment.seriesDirectory = temp_.path();
        environment.locale = kComma;
        PageSource source;
        SeriesSetup& setup = source.setup;
        setup.numExpiries = 2;
        setup.expiryDates = {kFebruary, kMarch, QDate()};
        setup.numStrikes = QStringLiteral("9");
        setup.firstStrike = QStringLiteral("1225");
        setup.strikeIncrement = QStringLiteral("25");
        setup.optionSymbol = setup.symbolText = QStringLiteral("SPX");
        setup.model = kBlackScholes;
        setup.contractType = dividend.cash ? kEquity : kIndex;
        // The setup's boxes take the text as typed, in the page's locale.
        const QString figure =
            QString::number(dividend.figure, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
        if (dividend.cash) {
            setup.dividendAmount = figure;
            setup.dividendDate = dividend.date;
        } else {
            setup.dividendYield = figure;
        }
        std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(environment, source, notifier_));
        if (page) {
            page->show();
            page->Controls().TabControl1->setCurrentIndex(static_cast<int>(page->Series().size()));
        }
        return page;
    }

    PositionTab* Tab() const { return page_->findChild<PositionTab*>(); }

    // The legs valued by the core over the page's expiries priced here with
    // `dividend`, at the table's market, under the scenario the controls show.
    void CheckFigures(const Dividend& dividend, bool dateChosen, const QString& where)
    {
        PositionTab* tab = Tab();
        std::vector<TInOutObj> expiries;
        for (int e = 0; e < static_cast<int>(page_->Series().size()); ++e) {
            const TInOutObj& p = *page_->SeriesAt(e);
            // The page holds the dividend typed.
            QVERIFY2(p.ContractType == (dividend.cash ? kEquity : kIndex), qPrintable(where));
            QVERIFY2(std::fabs(p.Dividend - (dividend.cash ? dividend.figure : dividend.figure / 100)) < 1e-6,
                     qPrintable(where + QStringLiteral(": dividend %1").arg(p.Dividend)));
            if (dividend.cash)
                QVERIFY2(p.DivDate == Day(dividend.date), qPrintable(where));
            TInOutObj priced = p;
            priced.ContractType = dividend.cash ? kEquity : kIndex;
            priced.Dividend = static_cast<float>(dividend.cash ? dividend.figure : dividend.figure / 100);
            priced.DivDate = dividend.cash ? Day(dividend.date) : 0;
            RunModel(priced);
            expiries.push_back(priced);
        }
        std::vector<const TInOutObj*> pointers;
        for (const TInOutObj& p : expiries)
            pointers.push_back(&p);
        ChainInputs inputs;
        inputs.rates.defaults = PageEnvironment().defaultRates;
        inputs.forward = ForwardSource::Parity;
        const std::optional<TableMarket> market = ReadTableMarket(
            temp_.filePath(QStringLiteral("SPX.txt")).toStdString(),
            page_->InputBar().cmboOptSymbols->currentText().toStdString(), {Day(kFebruary), Day(kMarch)},
            inputs);
        QVERIFY2(market, qPrintable(where));
        const MarkedPosition marked(pointers, tab->GetPosition(), MarkSource::Mid, &*market);

        Scenario scenario;
        ScenarioPanel* panel = tab->Scenario;
        TDateTime date = 0;
        if (dateChosen && TryParseLocaleDate(panel->lblDate->text().toStdString(), kComma, date))
            scenario.date = date;
        scenario.volShift = LeadingNumber(panel->lblVolShift);
        scenario.volPoints = LeadingNumber(panel->lblVolPoints);
        scenario.rateShift = LeadingNumber(panel->lblRateShift);
        scenario.skew = static_cast<SkewRule>(panel->cboSkew->currentIndex());
        scenario.distribution = static_cast<DistributionVol>(panel->cboDistribution->currentIndex());
        const PositionFigures figures = ComputeFigures(marked, scenario);
        const QString shown = QStringList{tab->Figures->lblValue->text(), tab->Figures->lblPnl->text(),
                                          tab->Figures->lblDelta->text(), tab->Figures->lblRho->text(),
                                          tab->Figures->lblScenarioPnl->text()}
                                  .join(QLatin1Char(' '));
        const QString core = QStringList{Money(figures.now.value), Money(figures.now.pnl),
                                         Money(figures.now.delta), Money(figures.now.rho),
                                         Money(figures.scenario.pnl)}
                                 .join(QLatin1Char(' '));
        // The figures follow the controls once the tab's timer has run.
        QTRY_VERIFY2(tab->Figures->lblValue->text() + QLatin1Char(' ') + tab->Figures->lblPnl->text()
                             + QLatin1Char(' ') + tab->Figures->lblDelta->text() + QLatin1Char(' ')
                             + tab->Figures->lblRho->text() + QLatin1Char(' ')
                             + tab->Figures->lblScenarioPnl->text()
                         == core,
                     qPrintable(where + QStringLiteral("\nshown %1\ncore  %2").arg(shown, core)));
    }

private slots:
    void init()
    {
        QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"),
                            temp_.filePath(QStringLiteral("SPX.txt"))));
    }
    void cleanup()
    {
        page_.reset();
        QFile::remove(temp_.filePath(QStringLiteral("SPX.txt")));
    }

    void dividendChangesReachThePositionFigures()
    {
        const unsigned seed = testsupport::WalkSeed(kSeed);
        std::mt19937 random(seed);
        const auto pick = [&random](int count) { return testsupport::Pick(random, count); };

        Dividend dividend;
        page_ = MakePage(dividend);
        QVERIFY(page_);
        // A February bull call spread and a March put, bought and sold from the grid.
        for (const auto& [tab, row, action] :
             {std::tuple{0, 2, "BuyOneItem"}, std::tuple{0, 4, "SellOneItem"},
              std::tuple{1, 9, "BuyOneItem"}}) {
            page_->Controls().TabControl1->setCurrentIndex(tab);
            page_->Controls().TheGrid->setCurrentIndex(page_->Controls().TheGrid->model()->index(row, 7));
            page_->findChild<QAction*>(QString::fromLatin1(action))->trigger();
        }
        page_->Controls().TabControl1->setCurrentIndex(static_cast<int>(page_->Series().size()));
        QCOMPARE(Tab()->GetPosition().legs.size(), std::size_t{3});

        bool dateChosen = false;
        QStringList log;
        for (int step = 0; step <= kSteps; ++step) {
            QString done = QStringLiteral("opened");
            ScenarioPanel* panel = Tab()->Scenario;
            QSlider* sliders[] = {panel->sldDate, panel->sldVolShift, panel->sldRateShift};
            const int action = step == 0 ? -1 : pick(4);
            if (action == 0 || action == 1) {
                // The setup's dividend box changed; the new page takes the position.
                static const QDate kDates[] = {kToday, kToday.addDays(10), kFebruary, kMarch.addDays(-10),
                                               kMarch, kMarch.addDays(30)};
                dividend.cash = pick(2) == 1;
                dividend.figure = dividend.cash ? 0.25 * (1 + pick(40)) : 0.25 * pick(17);
                dividend.date = dividend.cash ? kDates[pick(6)] : QDate();
                std::unique_ptr<TfrmOPage> changed = MakePage(dividend);
                QVERIFY(changed);
                changed->TakePosition(*page_);
                page_ = std::move(changed);
                dateChosen = false;
                done = QStringLiteral("dividend %1 %2 %3")
                           .arg(dividend.cash ? QStringLiteral("cash") : QStringLiteral("yield"))
                           .arg(dividend.figure)
                           .arg(dividend.date.toString(Qt::ISODate));
            } else if (action == 2) {
                static const Qt::Key kKeys[] = {Qt::Key_Right,    Qt::Key_Left, Qt::Key_PageUp,
                                                Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
                const int which = pick(3);
                const int before = sliders[which]->value();
                sliders[which]->setFocus();
                QTest::keyClick(sliders[which], kKeys[pick(6)]);
                dateChosen = dateChosen || (which == 0 && sliders[0]->value() != before);
                done = sliders[which]->objectName() + QStringLiteral(" %1").arg(sliders[which]->value());
            } else if (action == 3) {
                QTest::mouseClick(panel->cmdReset, Qt::LeftButton);
                dateChosen = false;
                done = QStringLiteral("Reset");
            }
            log.append(QStringLiteral("%1: %2").arg(step).arg(done));
            CheckFigures(dividend, dateChosen,
                         QStringLiteral("seed %1, step %2\n").arg(seed).arg(step)
                             + log.join(QLatin1Char('\n')));
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(Tab()->GetPosition().legs.size(), std::size_t{3});
    }
};

QTEST_MAIN(PositionDividendTest)
#include "positiondividend_test.moc"
