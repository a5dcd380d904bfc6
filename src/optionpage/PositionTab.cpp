#include "optionpage/PositionTab.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "analysis/AnalysisError.h"
#include "analysis/PositionTotals.h"
#include "analysis/RiskGraph.h"
#include "chart/RiskPlot.h"
#include "common/busy.h"
#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "optionpage/PositionLegsModel.h"
#include "optionpage/RiskView.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

const char* const kMultiplier = "&Multiplier";
const char* const kMultiplierHint = "Money per contract for one unit of the option's price";
const char* const kRemoveLeg = "&Remove leg";
const char* const kRemoveLegHint = "Remove the selected leg from the position";
// Plain texts: a label without a buddy shows an ampersand as it stands.
const char* const kTotalCaptions[] = {"Cost",  "Value",       "P&L now", "Delta",
                                      "Gamma", "Decay / day", "Vega",    "Breakevens"};
// The table takes its full width up to this share of the tab; the graph the rest.
constexpr double kLargestTableShare = 0.62;
const char* const kPositionHeading = " Position";
const char* const kTotalsHint = "Each option's figure times quantity and multiplier";

QLabel* ValueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

PositionTab::PositionTab(const LocaleInfo& locale, QWidget* parent) : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("PositionTab"));
    legs_ = new PositionLegsModel(locale_, this);

    tblLegs = new QTableView(this);
    tblLegs->setObjectName(QStringLiteral("tblLegs"));
    tblLegs->setModel(legs_);
    tblLegs->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblLegs->setSelectionMode(QAbstractItemView::SingleSelection);
    tblLegs->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    tblLegs->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblLegs->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* remove = new QAction(tblLegs);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    tblLegs->addAction(remove);
    connect(remove, &QAction::triggered, this, &PositionTab::RemoveSelectedLeg);

    fseMultiplier = new TrmFloatSpinEdit(this);
    fseMultiplier->setObjectName(QStringLiteral("fseMultiplier"));
    fseMultiplier->SetMaxValue(1e6);
    fseMultiplier->SetMinValue(0.01);
    fseMultiplier->SetDecimalSeparator(QLatin1Char(locale_.decimalSeparator));
    fseMultiplier->SetValue(kDefaultMultiplier);
    fseMultiplier->setToolTip(QString::fromLatin1(kMultiplierHint));
    auto* multiplierLabel = new QLabel(QString::fromLatin1(kMultiplier), this);
    multiplierLabel->setBuddy(fseMultiplier);
    cmdRemoveLeg = new QPushButton(QString::fromLatin1(kRemoveLeg), this);
    cmdRemoveLeg->setObjectName(QStringLiteral("cmdRemoveLeg"));
    cmdRemoveLeg->setToolTip(QString::fromLatin1(kRemoveLegHint));

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblPositionStatus"));
    lblStatus->setWordWrap(true);

    auto* controls = new QHBoxLayout;
    controls->addWidget(multiplierLabel);
    controls->addWidget(fseMultiplier);
    controls->addStretch(1);
    controls->addWidget(cmdRemoveLeg);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(tblLegs, 1);
    leftLayout->addLayout(controls);
    leftLayout->addWidget(BuildTotals());
    leftLayout->addWidget(lblStatus);

    Graph = new RiskView(locale_, this);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->addWidget(left);
    splitter_->addWidget(Graph);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter_);

    connect(cmdRemoveLeg, &QPushButton::clicked, this, &PositionTab::RemoveSelectedLeg);
    connect(fseMultiplier, &TrmFloatSpinEdit::changed, this, &PositionTab::MultiplierChanged);
    connect(legs_, &PositionLegsModel::legEdited, this, &PositionTab::LegEdited);
    connect(Graph, &RiskView::rangeWanted, this, [this](double from, double to) {
        shownSpan_ = RiskSpan{from, to};
        RefreshGraph();
    });
    connect(Graph, &RiskView::rangeReset, this, [this] {
        shownSpan_.reset();
        RefreshGraph();
    });
    Refresh();
}

QWidget* PositionTab::BuildTotals()
{
    auto* box = new QWidget(this);
    box->setToolTip(QString::fromLatin1(kTotalsHint));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 4, 0, 4);
    QLabel** values[] = {&lblCost,  &lblValue, &lblPnl,  &lblDelta,
                         &lblGamma, &lblDecay, &lblVega, &lblBreakevens};
    const char* names[] = {"lblCost",  "lblValue", "lblPnl",  "lblDelta",
                           "lblGamma", "lblDecay", "lblVega", "lblBreakevens"};
    for (int i = 0; i < 8; ++i) {
        // Four figures a column, the breakevens across the foot.
        const int row = i < 7 ? i % 4 : 4;
        const int column = i < 7 ? (i / 4) * 2 : 0;
        grid->addWidget(new QLabel(QString::fromLatin1(kTotalCaptions[i]), box), row, column);
        *values[i] = ValueLabel(names[i], box);
        grid->addWidget(*values[i], row, column + 1, 1, i < 7 ? 1 : 3);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setHorizontalSpacing(12);
    return box;
}

void PositionTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (sized_)
        return;
    sized_ = true;
    // The table as wide as its columns, so that no figure needs scrolling to,
    // and the graph the rest.
    tblLegs->resizeColumnsToContents();
    const int table = tblLegs->verticalHeader()->width() + tblLegs->horizontalHeader()->length()
                      + 2 * tblLegs->frameWidth() + tblLegs->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int left = std::min(table, static_cast<int>(splitter_->width() * kLargestTableShare));
    splitter_->setSizes({left, std::max(1, splitter_->width() - left)});
}

void PositionTab::ShowExpiries(std::span<const TInOutObj* const> expiries)
{
    std::vector<TInOutObj> copies;
    for (const TInOutObj* p : expiries)
        copies.push_back(*p);
    legs_->SetExpiries(std::move(copies));
    Refresh();
}

void PositionTab::SetPosition(const Position& position)
{
    legs_->SetPosition(position);
    shownSpan_.reset();
    {
        QScopedValueRollback guard(settingMultiplier_, true);
        fseMultiplier->SetValue(position.multiplier);
    }
    refusal_.clear();
    Refresh();
}

const Position& PositionTab::GetPosition() const
{
    return legs_->GetPosition();
}

void PositionTab::AddLeg(const PositionLeg& leg)
{
    legs_->AddLeg(leg);
    UserChanged();
}

void PositionTab::SetStatusText(const QString& text)
{
    fileStatus_ = text;
    Refresh();
}

void PositionTab::RemoveSelectedLeg()
{
    const QModelIndex current = tblLegs->currentIndex();
    if (!current.isValid())
        return;
    legs_->RemoveLeg(current.row());
    UserChanged();
}

void PositionTab::MultiplierChanged()
{
    if (settingMultiplier_)
        return;
    // A text being typed that is no multiplier yet changes nothing.
    double multiplier = 0;
    if (!TryParseDecimal(fseMultiplier->text().toStdString(), fseMultiplier->DecimalSeparator().toLatin1(),
                         multiplier)
        || !(multiplier >= fseMultiplier->MinValue()) || multiplier > fseMultiplier->MaxValue()
        || multiplier == GetPosition().multiplier)
        return;
    legs_->SetMultiplier(multiplier);
    UserChanged();
}

void PositionTab::LegEdited(const QString& refusal)
{
    refusal_ = refusal;
    if (refusal.isEmpty())
        UserChanged();
    else
        Refresh();
}

void PositionTab::UserChanged()
{
    // Other legs open on their own range.
    shownSpan_.reset();
    fileStatus_.clear();
    Refresh();
    emit positionChanged();
}

QString PositionTab::Money(double value, int decimals) const
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, locale_.decimalSeparator));
}

std::vector<const TInOutObj*> PositionTab::ShownExpiries() const
{
    std::vector<const TInOutObj*> expiries;
    for (const TInOutObj& p : legs_->Expiries())
        expiries.push_back(&p);
    return expiries;
}

void PositionTab::Refresh()
{
    const std::vector<const TInOutObj*> expiries = ShownExpiries();
    const Position& position = GetPosition();
    const PositionTotals totals = ComputeTotals(expiries, position);
    lblCost->setText(Money(totals.cost));
    lblValue->setText(Money(totals.value));
    lblPnl->setText(Money(totals.pnl));
    lblDelta->setText(Money(totals.delta));
    lblGamma->setText(Money(totals.gamma, 4));
    lblDecay->setText(Money(totals.decay));
    lblVega->setText(Money(totals.vega));
    RefreshGraph();
}

void PositionTab::RefreshGraph()
{
    const std::vector<const TInOutObj*> expiries = ShownExpiries();
    const Position& position = GetPosition();
    QString problem = refusal_;
    if (problem.isEmpty())
        problem = QString::fromStdString(LegsNotFoundMessage(expiries, position));
    RiskGraph graph;
    if (!expiries.empty()) {
        try {
            BusyScope busy;
            RiskRange range;
            if (shownSpan_) {
                range.from = shownSpan_->from;
                range.to = shownSpan_->to;
            }
            graph = ComputeRiskGraph(expiries, position, range);
        } catch (const AnalysisError& error) {
            problem = QString::fromStdString(error.what());
        } catch (const PricingError& error) {
            problem = QString::fromStdString(error.what());
        }
    }
    lblBreakevens->setText(QString::fromStdString(BreakevenText(graph.breakevens, locale_.decimalSeparator)));
    Graph->ShowGraph(graph);
    lblStatus->setText(problem.isEmpty() ? fileStatus_ : problem);
}

PlotPrintout PositionTab::Printout(const QString& symbol) const
{
    PlotPrintout printout;
    printout.jobName = printout.heading = symbol + QString::fromLatin1(kPositionHeading);
    const RiskGraph graph = Graph->Graph();
    const LocaleInfo locale = locale_;
    printout.draw = [graph, locale](QPainter& painter, const QRectF& area, const PlotPalette& palette) {
        DrawRiskGraph(painter, area, graph, locale, palette);
    };
    // The legs as the table shows them.
    PrintTextTable legs;
    QStringList headings;
    for (int c = 0; c < legs_->columnCount(); ++c)
        headings << legs_->headerData(c, Qt::Horizontal, Qt::DisplayRole)
                        .toString()
                        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    legs.rows.push_back(headings);
    for (int r = 0; r < legs_->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < legs_->columnCount(); ++c)
            cells << legs_->index(r, c).data(Qt::DisplayRole).toString();
        legs.rows.push_back(cells);
    }
    legs.alignment = QStringLiteral("LRL");
    printout.tables.push_back(legs);
    // The totals, four to a line, and the breakevens.
    PrintTextTable totals;
    const QLabel* values[] = {lblCost, lblValue, lblPnl, lblDelta, lblGamma, lblDecay, lblVega};
    for (int i = 0; i < 7; i += 4) {
        QStringList cells;
        for (int j = i; j < std::min(i + 4, 7); ++j)
            cells << QString::fromLatin1(kTotalCaptions[j]) << values[j]->text();
        totals.rows.push_back(cells);
    }
    totals.alignment = QStringLiteral("LRLRLRLR");
    printout.tables.push_back(totals);
    printout.notes << QString::fromLatin1(kTotalCaptions[7]) + QStringLiteral(": ") + lblBreakevens->text();
    if (!lblStatus->text().isEmpty())
        printout.notes << lblStatus->text();
    return printout;
}

}  // namespace kestrava
