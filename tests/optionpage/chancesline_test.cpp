// The line under the Position tab's chances names what they assume: the
// at-the-money volatility of the quote table behind the page, or of the
// page's own strikes with their count; a calendar's later legs at the
// volatility each skew rule gives them; and under Flat the page's own
// volatility of each expiry.

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

#include "analysis/TableMarket.h"
#include "common/localeparse.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionTab.h"
#include "optionpage/ScenarioPanel.h"
#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

using namespace kestrava;

namespace {

const LocaleInfo kComma = LocaleInfo::FromPattern("dd.MM.yyyy", ',');
constexpr int kDays[] = {91, 182};

// Strikes 90 to 110 by 5 quoted at their value on a straight skew (25 % at
// 100, half a point less per point of strike), so each mid's volatility
// is the skew's; the page's own volatilities 30 % and 32 %.
std::vector<TInOutObj> SkewedExpiries()
{
    std::vector<TInOutObj> expiries;
    for (int days : kDays) {
        TInOutObj p = fixtures::MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, days,
                                           {90, 95, 100, 105, 110});
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                p.Vol(s, k) = 0.25f - 0.5f * (p.Strike(s, k) / 100 - 1);
        RunModel(p);
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                p.Bid(s, k) = p.Ask(s, k) = std::round(p.Theo(s, k) * 10000) / 10000;
        p.Sigma = days == kDays[0] ? 0.30f : 0.32f;
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

QString Date(TDateTime date)
{
    return QString::fromStdString(FormatLocaleDate(date, kComma));
}

// The number before " %" after `after`, read with the comma.
double PercentAfter(const QString& text, const QString& after)
{
    const QRegularExpression number(QRegularExpression::escape(after) + QStringLiteral("(-?[0-9]+,[0-9]) %"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() : NAN;
}

}  // namespace

class ChancesLineTest : public QObject {
    Q_OBJECT

private slots:
    void calendarNamesEachExpirysVolatilityUnderEachRule();
    void tableBehindThePageGivesTheAtTheMoneyVolatility();
};

void ChancesLineTest::calendarNamesEachExpirysVolatilityUnderEachRule()
{
    const std::vector<TInOutObj> expiries = SkewedExpiries();
    Position calendar;
    calendar.legs = {{LegKind::Option, expiries[0].ExpiryDate, 100, 1, -1, 2.5, {}},
                     {LegKind::Option, expiries[1].ExpiryDate, 100, 1, 1, 5, {}}};
    PositionTab tab(kComma);
    tab.ShowExpiries(Pointers(expiries));
    tab.SetPosition(calendar);
    const QString later = QStringLiteral("On %1 the %2 legs are at ")
                              .arg(Date(expiries[0].ExpiryDate), Date(expiries[1].ExpiryDate));
    // Sticky moneyness moves the March leg along its skew to the strike of
    // its moneyness at February's mean price, 100 e^(5 % x 91 / 365).
    const double mean = 100 * std::exp(0.05 * kDays[0] / 365.0);
    const double moved = 25 + 50 * (1 - 100 / mean);
    const struct {
        int rule;
        double laterVol;  // percent
        const char* named;
    } rules[] = {{0, 25.0, "(sticky strike)"},
                 {1, moved, "(sticky moneyness)"},
                 {2, 32.0, "(the page's volatility)"}};
    for (const auto& rule : rules) {
        tab.Scenario->cboSkew->setCurrentIndex(rule.rule);
        QTRY_VERIFY(tab.Figures->lblAssumes->text().contains(QString::fromLatin1(rule.named)));
        const QString line = tab.Figures->lblAssumes->text();
        // No table: the page's five strikes give 25 % at today's price.
        QVERIFY2(line.contains(QStringLiteral("the at-the-money IV from the page's 5 strikes: 25,0 % to ")),
                 qPrintable(line));
        QVERIFY2(std::fabs(PercentAfter(line, later) - rule.laterVol) <= 0.05, qPrintable(line));
        // Flat prices every leg at its expiry's own volatility, and says so.
        const QString flatNote = QStringLiteral("Legs at the page's volatility 30,0 % (%1), 32,0 % (%2).")
                                     .arg(Date(expiries[0].ExpiryDate), Date(expiries[1].ExpiryDate));
        QCOMPARE(line.contains(flatNote), rule.rule == 2);
    }

    // One expiry, one volatility: said once.
    Position single;
    single.legs = {calendar.legs[0]};
    tab.SetPosition(single);
    QTRY_VERIFY(
        tab.Figures->lblAssumes->text().endsWith(QStringLiteral("Legs at the page's volatility 30,0 %.")));
    QVERIFY(!tab.Figures->lblAssumes->text().contains(QStringLiteral(" legs are at ")));
}

void ChancesLineTest::tableBehindThePageGivesTheAtTheMoneyVolatility()
{
    const std::vector<TInOutObj> expiries = SkewedExpiries();
    Position spread;
    spread.legs = {{LegKind::Option, expiries[0].ExpiryDate, 95, 2, -1, 1, {}},
                   {LegKind::Option, expiries[0].ExpiryDate, 90, 2, 1, 0.5, {}}};
    PositionTab tab(kComma);
    tab.SetPosition(spread);
    // A table whose smile falls a point per point of strike and whose
    // forward lies 2 % above its price of 50: at the page's price of 100
    // the money is at 102, where the smile reads 28 %.
    TableMarket market;
    market.underlying = 50;
    ExpiryMarket first;
    first.expiry = expiries[0].ExpiryDate;
    first.forward = 51;
    first.smile = MarketSmile({{90, 0.40}, {100, 0.30}, {110, 0.20}});
    market.expiries.push_back(first);
    tab.SetMarket(std::make_shared<const TableMarket>(market));
    tab.ShowExpiries(Pointers(expiries));
    const QString line = tab.Figures->lblAssumes->text();
    QVERIFY2(line.startsWith(QStringLiteral("Chances assume a lognormal price with the quote table's "
                                            "at-the-money IV: 28,0 % to ")),
             qPrintable(line));
    QVERIFY2(tab.Figures->lblMoves->text().endsWith(QStringLiteral("(28,0 %)")),
             qPrintable(tab.Figures->lblMoves->text()));
    // The move is the one expected by the legs' expiry.
    QVERIFY2(tab.Figures->lblMoves->text().contains(
                 QStringLiteral(" by ")
                 + QString::fromStdString(FormatLocaleDate(expiries[0].ExpiryDate, kComma))),
             qPrintable(tab.Figures->lblMoves->text()));

    // Without it, the page's own strikes again.
    tab.SetMarket(nullptr);
    tab.ShowExpiries(Pointers(expiries));
    QVERIFY2(tab.Figures->lblAssumes->text().contains(QStringLiteral("from the page's 5 strikes: 25,0 %")),
             qPrintable(tab.Figures->lblAssumes->text()));
}

QTEST_MAIN(ChancesLineTest)
#include "chancesline_test.moc"
