#include "optionpage/ScenarioPanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kDateCaption = "&Date";
const char* const kDateHint =
    "The date the middle curve, the figures under the scenario and the chance of profit at a date "
    "are valued at: from today to the last expiry among the legs";
const char* const kVolShiftCaption = "&Volatility";
const char* const kVolShiftHint = "Every leg's volatility moved by a share of itself, -50 % to +100 %";
const char* const kVolPointsCaption = "Vol &points";
const char* const kVolPointsHint = "Volatility points added to every leg's volatility (1 point is 1 %)";
const char* const kRateCaption = "&Rate";
const char* const kRateHint = "Rate points added to every expiry's rate; a rate is never taken below 0";
const char* const kSkewCaption = "S&kew";
const char* const kSkewHint =
    "How the legs' volatilities follow the price. Sticky strike: each leg keeps its own volatility. "
    "Sticky moneyness: each leg's volatility follows its moneyness along its expiry's smile. Flat: "
    "every leg at the page's volatility.";
const char* const kSkewNames[] = {"Sticky strike", "Sticky moneyness", "Flat"};
const char* const kChancesCaption = "C&hances at";
const char* const kChancesHint =
    "The volatility of the lognormal price the chances of profit and the expected moves assume: the "
    "at-the-money implied volatility of the expiry's quotes, or the page's volatility";
const char* const kDistributionNames[] = {"At-the-money IV", "Page's volatility"};
const char* const kGraphCaption = "&Graph";
const char* const kGraphHint = "What the graph shows against the underlying's price";
const char* const kGraphNames[] = {"Profit or loss", "Delta", "Gamma", "Decay / day", "Vega"};
const char* const kReset = "Re&set";
const char* const kResetHint = "Back to today's market: no shifts, sticky strike, the default date";

constexpr int kRateSteps = 10;  // slider steps per rate point
constexpr int kComboLetters = 16;

QSlider* MakeSlider(const char* name, int low, int high, int page, const char* hint, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(low, high);
    slider->setPageStep(page);
    slider->setToolTip(QString::fromLatin1(hint));
    return slider;
}

QComboBox* MakeCombo(const char* name, const char* const* items, int count, const char* hint, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < count; ++i)
        combo->addItem(QString::fromLatin1(items[i]));
    combo->setToolTip(QString::fromLatin1(hint));
    // As wide as the longest choice, and no wider.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(kComboLetters);
    return combo;
}

QLabel* ValueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // As wide as its widest text, so the sliders stay put while they move.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("+100.0 pts")));
    return label;
}

QString Signed(double value, int decimals, char separator, const char* unit)
{
    const QString number = QString::fromStdString(FormatLocaleFixed(value, decimals, separator));
    return (value > 0 ? QStringLiteral("+") : QString()) + number + QString::fromLatin1(unit);
}

}  // namespace

ScenarioPanel::ScenarioPanel(const LocaleInfo& locale, QWidget* parent) : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("ScenarioPanel"));
    sldDate = MakeSlider("sldDate", 0, 0, 7, kDateHint, this);
    sldVolShift = MakeSlider("sldVolShift", static_cast<int>(kLowestVolShift),
                             static_cast<int>(kHighestVolShift), 10, kVolShiftHint, this);
    sldVolPoints = MakeSlider("sldVolPoints", -static_cast<int>(kLargestVolPoints),
                              static_cast<int>(kLargestVolPoints), 5, kVolPointsHint, this);
    sldRateShift = MakeSlider("sldRateShift", -static_cast<int>(kLargestRateShift) * kRateSteps,
                              static_cast<int>(kLargestRateShift) * kRateSteps, kRateSteps, kRateHint, this);
    cboSkew = MakeCombo("cboSkew", kSkewNames, 3, kSkewHint, this);
    cboDistribution = MakeCombo("cboDistribution", kDistributionNames, 2, kChancesHint, this);
    cboGraph = MakeCombo("cboGraph", kGraphNames, 5, kGraphHint, this);
    cmdReset = new QPushButton(QString::fromLatin1(kReset), this);
    cmdReset->setObjectName(QStringLiteral("cmdScenarioReset"));
    cmdReset->setToolTip(QString::fromLatin1(kResetHint));
    lblDate = ValueLabel("lblScenarioDate", this);
    lblDate->setToolTip(QString::fromLatin1(kDateHint));
    lblVolShift = ValueLabel("lblVolShift", this);
    lblVolPoints = ValueLabel("lblVolPoints", this);
    lblRateShift = ValueLabel("lblRateShift", this);

    // Two rows of two sliders, each with its value, and the choices after them.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    const struct {
        const char* caption;
        QSlider* slider;
        QLabel* value;
    } rows[] = {{kDateCaption, sldDate, lblDate},
                {kVolShiftCaption, sldVolShift, lblVolShift},
                {kVolPointsCaption, sldVolPoints, lblVolPoints},
                {kRateCaption, sldRateShift, lblRateShift}};
    for (int i = 0; i < 4; ++i) {
        const int row = i / 2;
        const int column = (i % 2) * 3;
        auto* caption = new QLabel(QString::fromLatin1(rows[i].caption), this);
        caption->setBuddy(rows[i].slider);
        grid->addWidget(caption, row, column);
        grid->addWidget(rows[i].slider, row, column + 1);
        grid->addWidget(rows[i].value, row, column + 2);
    }
    const struct {
        const char* caption;
        QComboBox* combo;
        int row, column;
    } combos[] = {{kSkewCaption, cboSkew, 0, 6},
                  {kChancesCaption, cboDistribution, 1, 6},
                  {kGraphCaption, cboGraph, 0, 8}};
    for (const auto& entry : combos) {
        auto* caption = new QLabel(QString::fromLatin1(entry.caption), this);
        caption->setBuddy(entry.combo);
        grid->addWidget(caption, entry.row, entry.column);
        grid->addWidget(entry.combo, entry.row, entry.column + 1);
    }
    grid->addWidget(cmdReset, 1, 9);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    grid->setHorizontalSpacing(6);

    connect(sldDate, &QSlider::valueChanged, this, &ScenarioPanel::DateMoved);
    for (QSlider* slider : {sldVolShift, sldVolPoints, sldRateShift})
        connect(slider, &QSlider::valueChanged, this, [this] {
            ShowValues();
            emit scenarioChanged();
        });
    for (QComboBox* combo : {cboSkew, cboDistribution})
        connect(combo, &QComboBox::currentIndexChanged, this, &ScenarioPanel::scenarioChanged);
    connect(cboGraph, &QComboBox::currentIndexChanged, this, &ScenarioPanel::graphChanged);
    connect(cmdReset, &QPushButton::clicked, this, &ScenarioPanel::Reset);
    ShowValues();
}

void ScenarioPanel::SetDates(TDateTime today, TDateTime firstExpiry, TDateTime lastExpiry)
{
    QScopedValueRollback guard(settingDates_, true);
    const TDateTime chosen = std::trunc(today_) + sldDate->value();
    today_ = today;
    firstExpiry_ = firstExpiry;
    lastExpiry_ = lastExpiry;
    const int last = std::max(0, TInOutObj::DaysBetween(today, lastExpiry));
    sldDate->setRange(0, last);
    const int chosenDays = TInOutObj::DaysBetween(today, chosen);
    if (dateChosen_ && chosenDays >= 0 && chosenDays <= last) {
        sldDate->setValue(chosenDays);
    } else {
        dateChosen_ = false;
        sldDate->setValue(std::max(0, TInOutObj::DaysBetween(today, firstExpiry)) / 2);
    }
    sldDate->setEnabled(last > 0);
    ShowValues();
}

Scenario ScenarioPanel::CurrentScenario() const
{
    Scenario scenario;
    if (dateChosen_)
        scenario.date = std::trunc(today_) + sldDate->value();
    scenario.volShift = sldVolShift->value();
    scenario.volPoints = sldVolPoints->value();
    scenario.rateShift = static_cast<double>(sldRateShift->value()) / kRateSteps;
    scenario.skew = static_cast<SkewRule>(std::max(0, cboSkew->currentIndex()));
    scenario.distribution = static_cast<DistributionVol>(std::max(0, cboDistribution->currentIndex()));
    return scenario;
}

std::optional<Greek> ScenarioPanel::GraphGreek() const
{
    const int shown = cboGraph->currentIndex();
    if (shown <= 0)
        return std::nullopt;
    return static_cast<Greek>(shown - 1);
}

void ScenarioPanel::DateMoved()
{
    if (settingDates_)
        return;
    dateChosen_ = true;
    ShowValues();
    emit scenarioChanged();
}

void ScenarioPanel::ShowValues()
{
    lblDate->setText(today_ == 0 ? QString()
                                 : QString::fromStdString(
                                     FormatLocaleDate(std::trunc(today_) + sldDate->value(), locale_)));
    const char separator = locale_.decimalSeparator;
    lblVolShift->setText(Signed(sldVolShift->value(), 0, separator, " %"));
    lblVolPoints->setText(Signed(sldVolPoints->value(), 0, separator, " pts"));
    lblRateShift->setText(
        Signed(static_cast<double>(sldRateShift->value()) / kRateSteps, 1, separator, " pts"));
}

void ScenarioPanel::Reset()
{
    {
        QScopedValueRollback guard(settingDates_, true);
        const QSignalBlocker blockers[] = {QSignalBlocker(sldVolShift), QSignalBlocker(sldVolPoints),
                                           QSignalBlocker(sldRateShift), QSignalBlocker(cboSkew),
                                           QSignalBlocker(cboDistribution)};
        dateChosen_ = false;
        sldVolShift->setValue(0);
        sldVolPoints->setValue(0);
        sldRateShift->setValue(0);
        cboSkew->setCurrentIndex(0);
        cboDistribution->setCurrentIndex(0);
    }
    // The date goes back to halfway to the first expiry.
    SetDates(today_, firstExpiry_, lastExpiry_);
    emit scenarioChanged();
}

}  // namespace kestrava
