// A covered call and a collar built by hand on the Position tab of real SPY
// quotes: the shares through "Add underlying...", the options as the grid's
// Buy 1 and Sell 1 add them, the commissions typed in their boxes. The
// position saved is the one the file holds, and the tab shows the figures
// that file gives, with the trade figures of the collar's payoff.

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PositionFile.h"
#include "analysis/PositionTotals.h"
#include "analysis/TradeFigures.h"
#include "common/localeparse.h"
#include "common/numtext.h"
#include "controls/rmSpin.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionLegsModel.h"
#include "optionpage/PositionTab.h"
#include "optionpage/TradeFiguresBox.h"
#include "optionpage/UnderlyingLegDialog.h"
#include "pricing/Models.h"
#include "support/table_expiry.h"

using namespace kestrava;

namespace {

const LocaleInfo kComma = LocaleInfo::FromPattern("dd.MM.yyyy", ',');

QString Money(double value)
{
    return QString::fromStdString(FormatLocaleFixed(value, 2, kComma.decimalSeparator));
}

std::vector<const TInOutObj*> Pointers(const std::vector<TInOutObj>& expiries)
{
    std::vector<const TInOutObj*> pointers;
    for (const TInOutObj& p : expiries)
        pointers.push_back(&p);
    return pointers;
}

int StrikeNumber(const TInOutObj& p, float strike)
{
    for (int s = 1; s <= p.NumStrikes; ++s)
        if (p.Strike(s, 1) == strike)
            return s;
    return 0;
}

// A leg of the position file, its price written as the grid's quote reads.
std::string OptionJson(const PositionLeg& leg)
{
    return "{\"expiry\": \"" + IsoDate(leg.expiry) + "\", \"strike\": " + FormatSig9(leg.strike)
           + ", \"side\": \"" + (leg.side == 2 ? "P" : "C") + "\", \"quantity\": "
           + std::to_string(leg.quantity) + ", \"price\": " + FormatSig9(leg.price) + "}";
}

}  // namespace

class PositionBuildTest : public QObject {
    Q_OBJECT

    std::vector<TInOutObj> expiries_;

    // Opens "Add underlying...", types the quantity and the price, and
    // presses OK, or Cancel when OK is not offered.
    static bool AddUnderlyingByHand(PositionTab& tab, const QString& quantity, const QString& price,
                                    QString* problem = nullptr)
    {
        bool accepted = false;
        bool seen = false;
        QTimer::singleShot(0, &tab, [&] {
            auto* dialog = qobject_cast<UnderlyingLegDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            dialog->edtQuantity->selectAll();
            QTest::keyClicks(dialog->edtQuantity, quantity);
            dialog->edtPrice->selectAll();
            QTest::keyClicks(dialog->edtPrice, price);
            if (problem)
                *problem = dialog->lblProblem->text();
            QPushButton* ok = dialog->buttons->button(QDialogButtonBox::Ok);
            accepted = ok->isEnabled();
            QTest::mouseClick(accepted ? ok : dialog->buttons->button(QDialogButtonBox::Cancel),
                              Qt::LeftButton);
        });
        QTest::mouseClick(tab.cmdAddUnderlying, Qt::LeftButton);
        return seen && accepted;
    }

    static void TypeInto(TrmFloatSpinEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    // The tab against the position its file gives: the file's text, the
    // figures now and the trade figures.
    static void CompareWithFile(PositionTab& tab, const std::vector<const TInOutObj*>& expiries,
                                const std::string& file)
    {
        const Position fromFile = ParsePosition(file);
        QCOMPARE(QString::fromStdString(PositionToJson(tab.GetPosition())),
                 QString::fromStdString(PositionToJson(fromFile)));
        const MarkedPosition marked(expiries, fromFile);
        const PositionFigures figures = ComputeFigures(marked, Scenario{});
        QCOMPARE(tab.Figures->lblCost->text(), Money(figures.now.cost));
        QCOMPARE(tab.Figures->lblValue->text(), Money(figures.now.value));
        QCOMPARE(tab.Figures->lblPnl->text(), Money(figures.now.pnl));
        QCOMPARE(tab.Figures->lblDelta->text(), Money(figures.now.delta));
        QCOMPARE(tab.Figures->lblVega->text(), Money(figures.now.vega));
        const TradeFigures trade = ComputeTradeFigures(marked, Scenario{});
        const QString unlimited = QStringLiteral("unlimited");
        QCOMPARE(tab.Trade->lblMaxProfit->text(), trade.profitUnlimited ? unlimited : Money(trade.maxProfit));
        QCOMPARE(tab.Trade->lblMaxLoss->text(), trade.lossUnlimited ? unlimited : Money(trade.maxLoss));
        // The legs table's deltas, times quantity and multiplier, add up
        // to the total shown.
        const QAbstractItemModel* legs = tab.tblLegs->model();
        double delta = 0;
        for (int r = 0; r < legs->rowCount(); ++r) {
            double cell = 0;
            QVERIFY(TryParseDecimal(legs->index(r, PositionLegsModel::Delta).data().toString().toStdString(),
                                    ',', cell));
            const PositionLeg& leg = fromFile.legs[static_cast<std::size_t>(r)];
            delta += cell * leg.quantity * (leg.IsOption() ? fromFile.multiplier : 1);
        }
        QVERIFY2(std::fabs(delta - figures.now.delta) < 0.0001 * 100 * legs->rowCount(),
                 qPrintable(QString::number(delta)));
    }

private slots:
    void initTestCase()
    {
        const testsupport::QuoteTable& spy = testsupport::RealQuoteTables()[0];
        expiries_ = {testsupport::TableExpiry(spy, spy.expiries[0], spy.strikes, kBlackScholes)};
        QVERIFY(expiries_[0].Underlying > 0);
    }

    // 100 shares at 221.52 and the 224 call sold at its bid, 0.65 a
    // contract and half a cent a share.
    void coveredCallByHand()
    {
        const TInOutObj& dec = expiries_[0];
        PositionTab tab(kComma);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries_));
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QSignalSpy changed(&tab, &PositionTab::positionChanged);

        // A quantity of 0 is no leg: OK is not offered, and nothing changes.
        QString problem;
        QVERIFY(!AddUnderlyingByHand(tab, QStringLiteral("0"), QStringLiteral("221,52"), &problem));
        QVERIFY(!problem.isEmpty());
        QCOMPARE(changed.count(), 0);
        QVERIFY(tab.GetPosition().legs.empty());

        QVERIFY(AddUnderlyingByHand(tab, QStringLiteral("100"), QStringLiteral("221,52")));
        const PositionLeg call = LegFromGrid(dec, StrikeNumber(dec, 224), 1, -1);
        tab.AddLeg(call);
        TypeInto(tab.fsePerContract, QStringLiteral("0,65"));
        TypeInto(tab.fsePerShare, QStringLiteral("0,005"));
        QVERIFY(changed.count() >= 4);
        QCOMPARE(tab.GetPosition().commissions.perContract, 0.65);

        CompareWithFile(
            tab, Pointers(expiries_),
            R"({"multiplier": 100, "commissions": {"per_contract": 0.65, "per_share": 0.005}, "legs": [
                            {"kind": "underlying", "quantity": 100, "price": 221.52}, )"
                + OptionJson(call) + "]}");
        // The shares' row: worth today's price, a delta of one.
        const QAbstractItemModel* legs = tab.tblLegs->model();
        QCOMPARE(legs->index(0, PositionLegsModel::Expiry).data().toString(), QStringLiteral("Underlying"));
        QCOMPARE(legs->index(0, PositionLegsModel::Mark).data().toString(), QStringLiteral("221,52"));
        QCOMPARE(legs->index(0, PositionLegsModel::Delta).data().toString(), QStringLiteral("1,0000"));
        // Called away above 224: the most it makes; down to 0 the most lost.
        const double commissions = 0.65 + 100 * 0.005;
        QCOMPARE(tab.Trade->lblMaxProfit->text(),
                 Money(100 * (224 - 221.52) + 100 * call.price - commissions));
        QCOMPARE(tab.Trade->lblMaxLoss->text(), Money(100 * 221.52 - 100 * call.price + commissions));
    }

    // 100 shares, the 215 put bought at its ask and the 224 call sold at its
    // bid; then 50 shares shorted against them take the delta down by 50.
    void collarByHand()
    {
        const TInOutObj& dec = expiries_[0];
        PositionTab tab(kComma);
        tab.resize(1400, 900);
        tab.ShowExpiries(Pointers(expiries_));
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));

        QVERIFY(AddUnderlyingByHand(tab, QStringLiteral("100"), QStringLiteral("221,52")));
        const PositionLeg put = LegFromGrid(dec, StrikeNumber(dec, 215), 2, 1);
        const PositionLeg call = LegFromGrid(dec, StrikeNumber(dec, 224), 1, -1);
        tab.AddLeg(put);
        tab.AddLeg(call);
        TypeInto(tab.fsePerShare, QStringLiteral("0,01"));
        const std::string legs = R"({"kind": "underlying", "quantity": 100, "price": 221.52}, )"
                                 + OptionJson(put) + ", " + OptionJson(call);
        const std::string commissions = R"("commissions": {"per_contract": 0, "per_share": 0.01}, )";
        CompareWithFile(tab, Pointers(expiries_),
                        "{\"multiplier\": 100, " + commissions + "\"legs\": [" + legs + "]}");
        // The collar's payoff: the shares between the strikes, the options'
        // net price and the commission of a cent a share.
        const double net = call.price - put.price;
        QCOMPARE(tab.Trade->lblMaxProfit->text(), Money(100 * (224 - 221.52 + net) - 1));
        QCOMPARE(tab.Trade->lblMaxLoss->text(), Money(100 * (221.52 - 215 - net) + 1));
        QVERIFY(!tab.Trade->lblReturnOnRisk->text().contains(QStringLiteral("unlimited")));

        const double before =
            tab.Figures->lblDelta->text().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        QVERIFY(AddUnderlyingByHand(tab, QStringLiteral("-50"), QStringLiteral("221,60")));
        CompareWithFile(tab, Pointers(expiries_),
                        "{\"multiplier\": 100, " + commissions + "\"legs\": [" + legs
                            + R"(, {"kind": "underlying", "quantity": -50, "price": 221.6}]})");
        const double after =
            tab.Figures->lblDelta->text().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        // Short more shares than the call covers: the loss above has no bound.
        QCOMPARE(tab.Trade->lblMaxLoss->text(), QStringLiteral("unlimited"));
        QVERIFY2(std::fabs(after - (before - 50)) < 0.011,
                 qPrintable(QStringLiteral("%1 %2").arg(before).arg(after)));
    }
};

QTEST_MAIN(PositionBuildTest)
#include "positionbuild_test.moc"
