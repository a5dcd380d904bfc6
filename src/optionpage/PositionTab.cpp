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
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "analysis/AnalysisError.h"
#include "analysis/PositionTotals.h"
#include "analysis/RiskGraph.h"
#include "chart/RiskPlot.h"
#include "common/busy.h"
#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "optionpage/PnlTableView.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionLegsModel.h"
#include "optionpage/RiskView.h"
#include "optionpage/ScenarioPanel.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

const char* const kMultiplier = "&Multiplier";
const char* const kMultiplierHint = "Money per contract for one unit of the option's price";
const char* const kRemoveLeg = "&Remove leg";
const char* const kRemoveLegHint = "Remove the selected leg from the position";
// The table takes its full width up to this share of the tab; the graph the rest.
constexpr double kLargestTableShare = 0.62;
const char* const kPositionHeading = " Position";
const char* const kExport = "E&xport...";
const char* const kExportHint = "Write the legs, the figures and the profit or loss table to a CSV file";
// The table of profit or loss takes this share of the graph's side at first.
constexpr int kTableStretch = 1;
constexpr int kGraphStretch = 3;

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

    cmdExport = new QPushButton(QString::fromLatin1(kExport), this);
    cmdExport->setObjectName(QStringLiteral("cmdExportPosition"));
    cmdExport->setToolTip(QString::fromLatin1(kExportHint));

    auto* controls = new QHBoxLayout;
    controls->addWidget(multiplierLabel);
    controls->addWidget(fseMultiplier);
    controls->addStretch(1);
    controls->addWidget(cmdExport);
    controls->addWidget(cmdRemoveLeg);

    Figures = new PositionFiguresBox(locale_, this);
    lblCost = Figures->lblCost;
    lblValue = Figures->lblValue;
    lblPnl = Figures->lblPnl;
    lblDelta = Figures->lblDelta;
    lblGamma = Figures->lblGamma;
    lblDecay = Figures->lblDecay;
    lblVega = Figures->lblVega;
    lblBreakevens = Figures->lblBreakevens;

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(tblLegs, 1);
    leftLayout->addLayout(controls);
    leftLayout->addWidget(Figures);
    leftLayout->addWidget(lblStatus);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->addWidget(left);
    splitter_->addWidget(BuildScenarioSide());
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    // The what-if controls across the top, over the legs and the graph.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Scenario);
    layout->addWidget(splitter_, 1);

    connect(cmdRemoveLeg, &QPushButton::clicked, this, &PositionTab::RemoveSelectedLeg);
    connect(fseMultiplier, &TrmFloatSpinEdit::changed, this, &PositionTab::MultiplierChanged);
    connect(legs_, &PositionLegsModel::legEdited, this, &PositionTab::LegEdited);
    connect(cmdExport, &QPushButton::clicked, this, &PositionTab::ExportClicked);
    // Zoomed or moved, the graph is valued at the prices wanted under the
    // same scenario.
    connect(Graph, &RiskView::rangeWanted, this, [this](double from, double to) {
        shownSpan_ = RiskSpan{from, to};
        RefreshScenario();
    });
    connect(Graph, &RiskView::rangeReset, this, [this] {
        shownSpan_.reset();
        RefreshScenario();
    });
    Refresh();
}

QWidget* PositionTab::BuildScenarioSide()
{
    auto* side = new QWidget(this);
    Scenario = new ScenarioPanel(locale_, this);
    Graph = new RiskView(locale_, side);
    tblPnl = new PnlTableView(locale_, side);
    auto* graphAndTable = new QSplitter(Qt::Vertical, side);
    graphAndTable->addWidget(Graph);
    graphAndTable->addWidget(tblPnl);
    graphAndTable->setStretchFactor(0, kGraphStretch);
    graphAndTable->setStretchFactor(1, kTableStretch);
    graphAndTable->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(graphAndTable, 1);

    scenarioTimer_ = new QTimer(this);
    scenarioTimer_->setSingleShot(true);
    scenarioTimer_->setInterval(0);
    connect(scenarioTimer_, &QTimer::timeout, this, &PositionTab::RefreshScenario);
    connect(Scenario, &ScenarioPanel::scenarioChanged, this, &PositionTab::ScheduleScenario);
    connect(Scenario, &ScenarioPanel::graphChanged, this, &PositionTab::ScheduleScenario);
    return side;
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

void PositionTab::SetMarket(std::shared_ptr<const TableMarket> market)
{
    market_ = std::move(market);
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

std::vector<const TInOutObj*> PositionTab::ShownExpiries() const
{
    std::vector<const TInOutObj*> expiries;
    for (const TInOutObj& p : legs_->Expiries())
        expiries.push_back(&p);
    return expiries;
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
    // The figures as the tab shows them, three to a line, and the profit or
    // loss table.
    PrintTextTable figures;
    const std::vector<std::pair<QString, QString>> shown = Figures->Shown();
    for (std::size_t i = 0; i < shown.size(); i += 3) {
        QStringList cells;
        for (std::size_t j = i; j < std::min(i + 3, shown.size()); ++j)
            cells << shown[j].first << shown[j].second;
        figures.rows.push_back(cells);
    }
    figures.alignment = QStringLiteral("LRLRLR");
    printout.tables.push_back(figures);
    PrintTextTable pnl;
    for (const QString& line : tblPnl->CopyText(false).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        pnl.rows.push_back(line.split(QLatin1Char('\t')));
    pnl.alignment = QStringLiteral("L");
    printout.tables.push_back(pnl);
    printout.notes << Figures->Notes();
    if (!lblStatus->text().isEmpty())
        printout.notes << lblStatus->text();
    return printout;
}

}  // namespace kestrava
