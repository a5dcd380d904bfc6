#pragma once
// The what-if controls of the Position tab: a date from today to the last
// expiry among the legs, a move of every leg's volatility (a share of it and
// points), a move of the rate, the rule by which volatilities follow the
// price, the volatility the chances assume, and what the graph shows. Each
// slider reports every step while it is dragged, so the tab can redraw as
// the mouse moves.

#include <QWidget>

#include <optional>

#include "analysis/PositionValuer.h"
#include "analysis/Scenario.h"
#include "common/localeinfo.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kestrava {

class ScenarioPanel : public QWidget {
    Q_OBJECT
public:
    explicit ScenarioPanel(const LocaleInfo& locale, QWidget* parent = nullptr);

    // The days the date slider spans: from today to the last expiry among
    // the legs, starting at halfway to the first. A date the user chose
    // stays where it was while it lies within the new span.
    void SetDates(TDateTime today, TDateTime firstExpiry, TDateTime lastExpiry);

    // The scenario as the controls stand; its date is 0 (the graph's
    // default, halfway to the first expiry) until the user moves the date.
    Scenario CurrentScenario() const;
    // What the graph shows: the profit or loss (none) or a greek.
    std::optional<Greek> GraphGreek() const;

    QSlider* sldDate = nullptr;
    QSlider* sldVolShift = nullptr;   // percent of each leg's volatility
    QSlider* sldVolPoints = nullptr;  // volatility points
    QSlider* sldRateShift = nullptr;  // tenths of a rate point
    QComboBox* cboSkew = nullptr;
    QComboBox* cboDistribution = nullptr;
    QComboBox* cboGraph = nullptr;
    QPushButton* cmdReset = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblVolShift = nullptr;
    QLabel* lblVolPoints = nullptr;
    QLabel* lblRateShift = nullptr;

signals:
    // A control moved: the figures, the table and the graph follow.
    void scenarioChanged();
    // Only what the graph shows changed.
    void graphChanged();

private:
    void DateMoved();
    void ShowValues();
    void Reset();

    LocaleInfo locale_;
    TDateTime today_ = 0;
    TDateTime firstExpiry_ = 0;
    TDateTime lastExpiry_ = 0;
    bool dateChosen_ = false;
    bool settingDates_ = false;
};

}  // namespace kestrava
