#include "optionpage/PositionTab.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
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
#include "optionpage/TradeFiguresBox.h"
#include "optionpage/UnderlyingLegDialog.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

const char* const kMultiplier = "&Multiplier";
const char* const kMultiplierHint = "Money per contract for one unit of the option's price";
const char* const kPerContract = "Commission per &contract";
const char* const kPerContractHint = "Charged once on entry on each option contract bought or sold";
const char* const kPerShare = "per s&hare";
const char* const kPerShareHint = "Charged once on entry on each unit of the underlying bought or sold";
const char* const kAddUnderlying = "Add &underlying...";
const char* const kAddUnderlyingHint = "Add shares (or a future's units) bought or sold short at a price";
const char* const kPnlViewCaption = "&Table";
const char* const kPnlViewHint =
    "The profit or loss table by date, or by a move of every leg's volatility at the chosen date";
const char* const kPnlViews[] = {"By date", "By volatility"};
constexpr double kLargestCommission = 1e6;
const char* const kRemoveLeg = "&Remove leg";
const char* const kRemoveLegHint = "Remove the selected leg from the position";
// The figures take their full width up to this share of the tab; the graph the rest.
constexpr double kLargestTableShare = 0.62;
constexpr double kUsualFiguresShare = 0.36;
// The legs table shows this many rows at least at first, and takes at most
// this share of the height.
constexpr int kShownLegs = 4;
constexpr double kLargestLegsShare = 0.4;
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

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblPositionStatus"));
    lblStatus->setWordWrap(true);
    QLayout* controls = BuildControls();

    Figures = new PositionFiguresBox(locale_, this);
    Trade = new TradeFiguresBox(locale_, this);
    lblCost = Figures->lblCost;
    lblValue = Figures->lblValue;
    lblPnl = Figures->lblPnl;
    lblDelta = Figures->lblDelta;
    lblGamma = Figures->lblGamma;
    lblDecay = Figures->lblDecay;
    lblVega = Figures->lblVega;
    lblBreakevens = Figures->lblBreakevens;

    // The legs across the whole width, their controls under them.
    auto* legs = new QWidget(this);
    auto* legsLayout = new QVBoxLayout(legs);
    legsLayout->setContentsMargins(0, 0, 0, 0);
    legsLayout->addWidget(tblLegs, 1);
    legsLayout->addLayout(controls);
    // Under them the totals with the trade figures, beside the graph.
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(Figures);
    auto* rule = new QFrame(left);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    leftLayout->addWidget(rule);
    leftLayout->addWidget(Trade);
    leftLayout->addWidget(lblStatus);
    leftLayout->addStretch(1);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->addWidget(left);
    splitter_->addWidget(BuildScenarioSide());
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    legsSplitter_ = new QSplitter(Qt::Vertical, this);
    legsSplitter_->addWidget(legs);
    legsSplitter_->addWidget(splitter_);
    legsSplitter_->setStretchFactor(0, 0);
    legsSplitter_->setStretchFactor(1, 1);
    legsSplitter_->setChildrenCollapsible(false);
    // The what-if controls across the top, over the legs and the graph.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Scenario);
    layout->addWidget(legsSplitter_, 1);

    connect(cmdRemoveLeg, &QPushButton::clicked, this, &PositionTab::RemoveSelectedLeg);
    connect(cmdAddUnderlying, &QPushButton::clicked, this, &PositionTab::AddUnderlyingClicked);
    connect(fseMultiplier, &TrmFloatSpinEdit::changed, this, &PositionTab::MultiplierChanged);
    connect(fsePerContract, &TrmFloatSpinEdit::changed, this, &PositionTab::CommissionsChanged);
    connect(fsePerShare, &TrmFloatSpinEdit::changed, this, &PositionTab::CommissionsChanged);
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

QLayout* PositionTab::BuildControls()
{
    const auto spin = [this](const char* name, double largest, const char* hint) {
        auto* edit = new TrmFloatSpinEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->SetMaxValue(largest);
        // The box keeps to the range its value is taken in.
        edit->SetUseRanges(true);
        edit->SetDecimalSeparator(QLatin1Char(locale_.decimalSeparator));
        edit->setToolTip(QString::fromLatin1(hint));
        return edit;
    };
    const auto caption = [this](const char* text, QWidget* buddy) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setBuddy(buddy);
        return label;
    };
    fseMultiplier = spin("fseMultiplier", 1e6, kMultiplierHint);
    fseMultiplier->SetMinValue(0.01);
    fseMultiplier->SetValue(kDefaultMultiplier);
    fsePerContract = spin("fsePerContract", kLargestCommission, kPerContractHint);
    // A commission is never below 0, as the position file holds it.
    fsePerContract->SetMinValue(0);
    fsePerContract->SetIncrement(0.05);
    fsePerContract->SetValue(0);
    fsePerShare = spin("fsePerShare", kLargestCommission, kPerShareHint);
    fsePerShare->SetMinValue(0);
    fsePerShare->SetIncrement(0.001);
    fsePerShare->SetValue(0);
    cmdAddUnderlying = new QPushButton(QString::fromLatin1(kAddUnderlying), this);
    cmdAddUnderlying->setObjectName(QStringLiteral("cmdAddUnderlying"));
    cmdAddUnderlying->setToolTip(QString::fromLatin1(kAddUnderlyingHint));
    cmdRemoveLeg = new QPushButton(QString::fromLatin1(kRemoveLeg), this);
    cmdRemoveLeg->setObjectName(QStringLiteral("cmdRemoveLeg"));
    cmdRemoveLeg->setToolTip(QString::fromLatin1(kRemoveLegHint));
    cmdExport = new QPushButton(QString::fromLatin1(kExport), this);
    cmdExport->setObjectName(QStringLiteral("cmdExportPosition"));
    cmdExport->setToolTip(QString::fromLatin1(kExportHint));

    auto* amounts = new QHBoxLayout;
    amounts->addWidget(caption(kMultiplier, fseMultiplier));
    amounts->addWidget(fseMultiplier);
    amounts->addSpacing(12);
    amounts->addWidget(caption(kPerContract, fsePerContract));
    amounts->addWidget(fsePerContract);
    amounts->addWidget(caption(kPerShare, fsePerShare));
    amounts->addWidget(fsePerShare);
    amounts->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAddUnderlying);
    buttons->addStretch(1);
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdRemoveLeg);
    auto* controls = new QVBoxLayout;
    controls->addLayout(amounts);
    controls->addLayout(buttons);
    return controls;
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
    cboPnlView = new QComboBox(side);
    cboPnlView->setObjectName(QStringLiteral("cboPnlView"));
    for (const char* view : kPnlViews)
        cboPnlView->addItem(QString::fromLatin1(view));
    cboPnlView->setToolTip(QString::fromLatin1(kPnlViewHint));
    auto* viewCaption = new QLabel(QString::fromLatin1(kPnlViewCaption), side);
    viewCaption->setBuddy(cboPnlView);
    auto* view = new QHBoxLayout;
    view->addStretch(1);
    view->addWidget(viewCaption);
    view->addWidget(cboPnlView);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(graphAndTable, 1);
    layout->addLayout(view);

    scenarioTimer_ = new QTimer(this);
    scenarioTimer_->setSingleShot(true);
    scenarioTimer_->setInterval(0);
    connect(scenarioTimer_, &QTimer::timeout, this, &PositionTab::RefreshScenario);
    connect(Scenario, &ScenarioPanel::scenarioChanged, this, &PositionTab::ScheduleScenario);
    connect(Scenario, &ScenarioPanel::graphChanged, this, &PositionTab::ScheduleScenario);
    connect(cboPnlView, &QComboBox::currentIndexChanged, this, &PositionTab::ScheduleScenario);
    return side;
}

void PositionTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (sized_)
        return;
    sized_ = true;
    // The legs as tall as a few rows, the figures as wide as they are, and
    // the graph the rest.
    tblLegs->resizeColumnsToContents();
    const int rows = std::clamp(legs_->rowCount(), kShownLegs, 2 * kShownLegs);
    const int legs = tblLegs->horizontalHeader()->height()
                     + rows * tblLegs->verticalHeader()->defaultSectionSize() + 2 * tblLegs->frameWidth()
                     + tblLegs->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                     + (legsSplitter_->widget(0)->sizeHint().height() - tblLegs->sizeHint().height());
    const int top = std::min(legs, static_cast<int>(legsSplitter_->height() * kLargestLegsShare));
    legsSplitter_->setSizes({top, std::max(1, legsSplitter_->height() - top)});
    // The figures may still be empty: they take at least their usual share.
    const int figures = std::max(splitter_->widget(0)->sizeHint().width(),
                                 static_cast<int>(splitter_->width() * kUsualFiguresShare));
    const int left = std::min(figures, static_cast<int>(splitter_->width() * kLargestTableShare));
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
        fsePerContract->SetValue(position.commissions.perContract);
        fsePerShare->SetValue(position.commissions.perShare);
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

void PositionTab::CommissionsChanged()
{
    if (settingMultiplier_)
        return;
    // A text being typed that is no amount yet changes nothing.
    const char dot = locale_.decimalSeparator;
    double perContract = 0;
    double perShare = 0;
    if (!TryParseDecimal(fsePerContract->text().toStdString(), dot, perContract)
        || !TryParseDecimal(fsePerShare->text().toStdString(), dot, perShare) || !(perContract >= 0)
        || !(perShare >= 0) || perContract > kLargestCommission || perShare > kLargestCommission)
        return;
    const Commissions& held = GetPosition().commissions;
    if (perContract == held.perContract && perShare == held.perShare)
        return;
    legs_->SetCommissions(perContract, perShare);
    UserChanged();
}

void PositionTab::AddUnderlyingClicked()
{
    const double today = legs_->Expiries().empty() ? 0.0
                                                   : ShortestDouble(legs_->Expiries().front().Underlying);
    const QPointer<PositionTab> alive(this);
    UnderlyingLegDialog dialog(locale_, today, this);
    const int answer = dialog.exec();
    if (!alive || answer != QDialog::Accepted)
        return;
    if (const std::optional<PositionLeg> leg = dialog.Leg())
        AddLeg(*leg);
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
