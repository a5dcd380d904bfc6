#pragma once
// The figures of the Position tab: the position marked at the market now
// (cost, value, "P&L now" at the mids, the greeks with vega and rho, the
// breakevens and which legs are marked at the model), its profit or loss
// at the scenario's date, and its chances under a lognormal price with the
// expected moves, each saying in its tool tip what it assumes.

#include <QStringList>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "analysis/PositionTotals.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "common/localeinfo.h"

class QLabel;

namespace kestrava {

// A figure's value: right-aligned, selectable, named for tests, with its hint.
QLabel* ValueLabel(const char* name, const char* hint, QWidget* parent);

class PositionFiguresBox : public QWidget {
    Q_OBJECT
public:
    explicit PositionFiguresBox(const LocaleInfo& locale, QWidget* parent = nullptr);

    // The money figures now and under the scenario, the expiry curve's
    // breakevens and the note on the legs marked at the model.
    void ShowFigures(const PositionFigures& figures, const std::vector<double>& breakevens,
                     const std::string& markNote);
    // The chances and the expected moves to each expiry of the legs, with
    // the volatilities they assume under the scenario's rule.
    void ShowChances(const ProbabilityFigures& chances, const std::vector<ExpectedMove>& moves,
                     const Scenario& scenario);
    // Nothing to show: no leg is valued.
    void Clear();

    // The figures as shown, caption and value, in the box's order; and the
    // lines under them (breakevens, marks, expected moves, assumptions).
    std::vector<std::pair<QString, QString>> Shown() const;
    QStringList Notes() const;

    QLabel* lblCost = nullptr;
    QLabel* lblValue = nullptr;
    QLabel* lblPnl = nullptr;
    QLabel* lblDelta = nullptr;
    QLabel* lblGamma = nullptr;
    QLabel* lblDecay = nullptr;
    QLabel* lblVega = nullptr;
    QLabel* lblRho = nullptr;
    QLabel* lblScenarioPnl = nullptr;
    QLabel* lblBreakevens = nullptr;
    QLabel* lblMarks = nullptr;
    QLabel* lblPopExpiry = nullptr;
    QLabel* lblPopDate = nullptr;
    QLabel* lblMaxProfit = nullptr;
    QLabel* lblExpectedPnl = nullptr;
    QLabel* lblMoves = nullptr;
    QLabel* lblAssumes = nullptr;

private:
    QString Money(double value, int decimals = 2) const;
    QString Percent(double fraction, int decimals = 1) const;
    QString Date(TDateTime date) const;
    QString AssumptionText(const ProbabilityFigures& chances, const Scenario& scenario) const;

    LocaleInfo locale_;
    QLabel* scenarioCaption_ = nullptr;
    QLabel* popExpiryCaption_ = nullptr;
    QLabel* popDateCaption_ = nullptr;
    std::vector<std::pair<QLabel*, QLabel*>> figures_;  // caption, value
};

}  // namespace kestrava
