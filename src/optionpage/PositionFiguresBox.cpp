#include "optionpage/PositionFiguresBox.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include "common/localeparse.h"

namespace kestrava {
namespace {

// Plain texts: a label without a buddy shows an ampersand as it stands.
const char* const kNowHint =
    "Each leg at the mid of its bid and ask (the model's value where it has no quotes), each figure "
    "times quantity and multiplier; the greeks at each leg's own volatility";
const char* const kPnlNowHint = "Value at the mids less the cost and the commissions";
const char* const kVegaHint = "Money per volatility point of every leg";
const char* const kRhoHint = "Money per rate point";
const char* const kScenarioHint =
    "Profit or loss at today's price on the chosen date, with the scenario's volatility, rate and skew";
const char* const kBreakevensHint = "Prices where the expiry curve meets zero";
const char* const kPopHint =
    "Chance the position is in profit on a date (the first expiry among the legs, or the scenario's "
    "date) under a lognormal price: today's price grown at the series' rate and carry, with the "
    "volatility of the expiry the date falls in.";
const char* const kMaxProfitHint =
    "The greatest profit of the expiry curve and the chance of ending within a cent a contract of it";
const char* const kExpectedPnlHint =
    "The mean profit or loss at the first expiry under the same lognormal price";
const char* const kMovesHint = "One standard deviation of the price by each expiry: today's price times the "
                               "volatility times the square root of the years left";
const char* const kCaptions[] = {"Cost", "Value", "P&L now", "Delta", "Gamma", "Decay / day", "Vega", "Rho"};
const char* const kScenarioCaption = "P&L at ";
const char* const kBreakevensCaption = "Breakevens";
const char* const kPopExpiryCaption = "Chance of profit";
const char* const kPopDateCaption = "Chance at date";
const char* const kMaxProfitCaption = "Max profit";
const char* const kExpectedPnlCaption = "Expected P&L";
const char* const kMovesCaption = "Expected move";
constexpr int kPairs = 2;
const char* const kUnbounded = "unbounded";
const char* const kTablesAtTheMoney = "the quote table's at-the-money IV";
const char* const kPagesAtTheMoney = "the at-the-money IV from the page's %1 strikes";
const char* const kPagesAtTheMoneyOne = "the at-the-money IV from the page's 1 strike";
const char* const kPagesVol = "the page's volatility";
const char* const kChancesAssume =
    "Chances assume a lognormal price with %1: %2 to %3, %4 to %5; the series' rate and carry.";
const char* const kLaterLegs = " On %1 the %2 legs are at %3 (%4).";
const char* const kFlatLegs = " Legs at the page's volatility %1.";
const char* const kRuleNames[] = {"sticky strike", "sticky moneyness", "the page's volatility"};

QLabel* NoteLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

QLabel* ValueLabel(const char* name, const char* hint, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setToolTip(QString::fromLatin1(hint));
    return label;
}

PositionFiguresBox::PositionFiguresBox(const LocaleInfo& locale, QWidget* parent)
    : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("PositionFigures"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 4, 0, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    // Caption and value pairs, two to a row.
    int at = 0;
    const auto add = [&](QLabel* caption, QLabel* value) {
        caption->setToolTip(value->toolTip());
        figures_.emplace_back(caption, value);
        grid->addWidget(caption, at / kPairs, (at % kPairs) * 2);
        grid->addWidget(value, at / kPairs, (at % kPairs) * 2 + 1);
        ++at;
    };
    QLabel** now[] = {&lblCost, &lblValue, &lblPnl, &lblDelta, &lblGamma, &lblDecay, &lblVega, &lblRho};
    const char* names[] = {"lblCost",  "lblValue", "lblPnl",  "lblDelta",
                           "lblGamma", "lblDecay", "lblVega", "lblRho"};
    for (int i = 0; i < 8; ++i) {
        const char* hint = i == 2 ? kPnlNowHint : i == 6 ? kVegaHint : i == 7 ? kRhoHint : kNowHint;
        *now[i] = ValueLabel(names[i], hint, this);
        add(new QLabel(QString::fromLatin1(kCaptions[i]), this), *now[i]);
    }
    lblScenarioPnl = ValueLabel("lblScenarioPnl", kScenarioHint, this);
    scenarioCaption_ = new QLabel(this);
    add(scenarioCaption_, lblScenarioPnl);

    int row = (at + kPairs - 1) / kPairs;
    lblBreakevens = ValueLabel("lblBreakevens", kBreakevensHint, this);
    grid->addWidget(new QLabel(QString::fromLatin1(kBreakevensCaption), this), row, 0);
    grid->addWidget(lblBreakevens, row, 1, 1, 3);
    lblMarks = NoteLabel("lblMarks", this);
    grid->addWidget(lblMarks, ++row, 0, 1, 4);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    grid->addWidget(rule, ++row, 0, 1, 4);

    at = (row + 1) * kPairs;
    lblPopExpiry = ValueLabel("lblPopExpiry", kPopHint, this);
    popExpiryCaption_ = new QLabel(QString::fromLatin1(kPopExpiryCaption), this);
    add(popExpiryCaption_, lblPopExpiry);
    lblPopDate = ValueLabel("lblPopDate", kPopHint, this);
    popDateCaption_ = new QLabel(QString::fromLatin1(kPopDateCaption), this);
    add(popDateCaption_, lblPopDate);
    lblMaxProfit = ValueLabel("lblMaxProfit", kMaxProfitHint, this);
    add(new QLabel(QString::fromLatin1(kMaxProfitCaption), this), lblMaxProfit);
    lblExpectedPnl = ValueLabel("lblExpectedPnl", kExpectedPnlHint, this);
    add(new QLabel(QString::fromLatin1(kExpectedPnlCaption), this), lblExpectedPnl);
    row = (at + kPairs - 1) / kPairs;
    lblMoves = ValueLabel("lblMoves", kMovesHint, this);
    lblMoves->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblMoves->setWordWrap(true);
    auto* movesCaption = new QLabel(QString::fromLatin1(kMovesCaption), this);
    movesCaption->setToolTip(QString::fromLatin1(kMovesHint));
    grid->addWidget(movesCaption, row, 0);
    grid->addWidget(lblMoves, row, 1, 1, 3);
    lblAssumes = NoteLabel("lblAssumes", this);
    grid->addWidget(lblAssumes, ++row, 0, 1, 4);
    for (int c : {1, 3})
        grid->setColumnStretch(c, 1);
    Clear();
}

QString PositionFiguresBox::Money(double value, int decimals) const
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, locale_.decimalSeparator));
}

QString PositionFiguresBox::Percent(double fraction, int decimals) const
{
    return Money(fraction * 100, decimals) + QStringLiteral(" %");
}

QString PositionFiguresBox::Date(TDateTime date) const
{
    return QString::fromStdString(FormatLocaleDate(date, locale_));
}

void PositionFiguresBox::ShowFigures(const PositionFigures& figures, const std::vector<double>& breakevens,
                                     const std::string& markNote)
{
    const PositionTotals& now = figures.now;
    lblCost->setText(Money(now.cost));
    lblValue->setText(Money(now.value));
    lblPnl->setText(Money(now.pnl));
    lblDelta->setText(Money(now.delta));
    lblGamma->setText(Money(now.gamma, 4));
    lblDecay->setText(Money(now.decay));
    lblVega->setText(Money(now.vega));
    lblRho->setText(Money(now.rho));
    scenarioCaption_->setText(QString::fromLatin1(kScenarioCaption) + Date(figures.date));
    lblScenarioPnl->setText(Money(figures.scenario.pnl));
    lblBreakevens->setText(QString::fromStdString(BreakevenText(breakevens, locale_.decimalSeparator)));
    lblMarks->setText(QString::fromStdString(markNote));
    lblMarks->setVisible(!markNote.empty());
}

void PositionFiguresBox::ShowChances(const ProbabilityFigures& chances,
                                     const std::vector<ExpectedMove>& moves, const Scenario& scenario)
{
    // What each chance assumes, on its value and its caption.
    const auto assumes = [this](const PriceDistribution& at) {
        return QString::fromLatin1(kPopHint)
               + QStringLiteral(" Here: %1 at %2.").arg(Date(at.date), Percent(at.vol));
    };
    for (QLabel* label : {lblPopExpiry, popExpiryCaption_})
        label->setToolTip(assumes(chances.atExpiry));
    for (QLabel* label : {lblPopDate, popDateCaption_})
        label->setToolTip(assumes(chances.atDate));
    lblPopExpiry->setText(Percent(chances.popExpiry));
    lblPopDate->setText(Percent(chances.popDate));
    lblMaxProfit->setText(chances.maxProfitUnbounded ? QString::fromLatin1(kUnbounded)
                                                     : Money(chances.maxProfit) + QStringLiteral(" (")
                                                           + Percent(chances.pMaxProfit) + QLatin1Char(')'));
    lblExpectedPnl->setText(Money(chances.expectedPnlExpiry));
    QStringList shown;
    for (const ExpectedMove& move : moves)
        shown << QStringLiteral("±%1 by %2 (%3)").arg(Money(move.move), Date(move.date), Percent(move.vol));
    lblMoves->setText(shown.join(QStringLiteral(", ")));
    lblAssumes->setText(AssumptionText(chances, scenario));
}

QString PositionFiguresBox::AssumptionText(const ProbabilityFigures& chances, const Scenario& scenario) const
{
    QString source;
    if (scenario.distribution == DistributionVol::Flat)
        source = QString::fromLatin1(kPagesVol);
    else if (chances.smileSource == SmileSource::Table)
        source = QString::fromLatin1(kTablesAtTheMoney);
    else if (chances.smileStrikes == 1)
        source = QString::fromLatin1(kPagesAtTheMoneyOne);
    else
        source = QString::fromLatin1(kPagesAtTheMoney).arg(chances.smileStrikes);
    QString text = QString::fromLatin1(kChancesAssume)
                       .arg(source, Percent(chances.atExpiry.vol), Date(chances.atExpiry.date),
                            Percent(chances.atDate.vol), Date(chances.atDate.date));
    // A later expiry's legs are still priced on the first: at the volatility the rule gives them.
    const QString rule = QString::fromLatin1(kRuleNames[static_cast<int>(scenario.skew)]);
    for (const AssumedVol& assumed : chances.assumed)
        if (assumed.ofLegs)
            text += QString::fromLatin1(kLaterLegs)
                        .arg(Date(chances.atExpiry.date), Date(assumed.date), Percent(assumed.vol), rule);
    // Flat reprices every leg, today's too, at the page's volatility.
    if (scenario.skew == SkewRule::Flat && !chances.assumed.empty()) {
        QStringList vols;
        bool same = true;
        for (const AssumedVol& assumed : chances.assumed)
            same = same && assumed.pageVol == chances.assumed.front().pageVol;
        for (const AssumedVol& assumed : chances.assumed)
            vols << (same ? Percent(assumed.pageVol)
                          : Percent(assumed.pageVol) + QStringLiteral(" (") + Date(assumed.date)
                                + QLatin1Char(')'));
        if (same)
            vols.erase(vols.begin() + 1, vols.end());
        text += QString::fromLatin1(kFlatLegs).arg(vols.join(QStringLiteral(", ")));
    }
    return text;
}

std::vector<std::pair<QString, QString>> PositionFiguresBox::Shown() const
{
    std::vector<std::pair<QString, QString>> shown;
    for (const auto& [caption, value] : figures_)
        shown.emplace_back(caption->text(), value->text());
    return shown;
}

QStringList PositionFiguresBox::Notes() const
{
    QStringList notes;
    notes << QString::fromLatin1(kBreakevensCaption) + QStringLiteral(": ") + lblBreakevens->text();
    if (!lblMarks->text().isEmpty())
        notes << lblMarks->text();
    notes << QString::fromLatin1(kMovesCaption) + QStringLiteral(": ") + lblMoves->text();
    notes << lblAssumes->text();
    return notes;
}

void PositionFiguresBox::Clear()
{
    for (QLabel* label : {lblCost, lblValue, lblPnl, lblDelta, lblGamma, lblDecay, lblVega, lblRho,
                          lblScenarioPnl, lblBreakevens, lblPopExpiry, lblPopDate, lblMaxProfit,
                          lblExpectedPnl, lblMoves, lblAssumes, lblMarks})
        label->clear();
    lblMarks->hide();
    scenarioCaption_->setText(QString::fromLatin1(kScenarioCaption).trimmed());
}

}  // namespace kestrava
