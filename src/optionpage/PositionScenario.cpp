// The Position tab's valuation: the position marked at the market when its
// legs or expiries change, and the scenario of the what-if controls valued
// from that mark (figures, chances, table and graph); and its export.

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include "analysis/AnalysisError.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionExport.h"
#include "analysis/PositionTotals.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "analysis/TradeFigures.h"
#include "common/busy.h"
#include "optionpage/PnlTableView.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionLegsModel.h"
#include "optionpage/PositionTab.h"
#include "optionpage/RiskView.h"
#include "optionpage/ScenarioPanel.h"
#include "optionpage/TradeFiguresBox.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

const char* const kExportCaption = "Export position";
const char* const kCsvFilter = "Comma-separated values (*.csv)";
const char* const kNothingToExport = "There is no position in this series to export.";

}  // namespace

void PositionTab::Refresh()
{
    const std::vector<const TInOutObj*> expiries = ShownExpiries();
    marked_.reset();
    legsSpan_ = {};
    markProblem_.clear();
    if (!expiries.empty()) {
        try {
            BusyScope busy;
            marked_.emplace(expiries, GetPosition(), MarkSource::Mid, market_.get());
            // The graph opens on the legs' range, and keeps it while the
            // controls move.
            const double underlying = marked_->Empty() ? expiries.front()->Underlying : marked_->Underlying();
            legsSpan_ = DefaultRiskSpan(*marked_, Scenario->CurrentScenario(), underlying);
        } catch (const AnalysisError& error) {
            markProblem_ = QString::fromStdString(error.what());
        } catch (const PricingError& error) {
            markProblem_ = QString::fromStdString(error.what());
        }
    }
    if (marked_)
        Scenario->SetDates(marked_->Today(), marked_->FirstExpiry(), marked_->LastExpiry());
    scenarioTimer_->stop();
    RefreshScenario();
}

void PositionTab::ScheduleScenario()
{
    if (!scenarioTimer_->isActive())
        scenarioTimer_->start();
}

std::vector<double> PositionTab::GraphPrices() const
{
    const RiskSpan span = shownSpan_ ? *shownSpan_ : legsSpan_;
    RiskRange range;
    range.from = span.from;
    range.to = span.to;
    double underlying = marked_->Underlying();
    if (marked_->Empty() && !legs_->Expiries().empty())
        underlying = legs_->Expiries().front().Underlying;
    return kestrava::GraphPrices(*marked_, Scenario->CurrentScenario(), range, underlying);
}

void PositionTab::RefreshScenario()
{
    scenarioTimer_->stop();
    const std::vector<const TInOutObj*> expiries = ShownExpiries();
    QString problem = refusal_;
    if (problem.isEmpty())
        problem = QString::fromStdString(LegsNotFoundMessage(expiries, GetPosition()));
    if (problem.isEmpty())
        problem = markProblem_;

    RiskGraph graph;
    PnlTable table;
    std::optional<PnlVolTable> byVol;
    QStringList notes;
    double move = 0;
    bool valued = false;
    const kestrava::Scenario scenario = Scenario->CurrentScenario();
    if (marked_) {
        try {
            BusyScope busy;
            const RiskGraph pnl = ComputeRiskGraph(*marked_, scenario, GraphPrices());
            const std::optional<Greek> greek = Scenario->GraphGreek();
            graph = greek ? ComputeGreekGraph(*marked_, scenario, pnl.prices, *greek) : pnl;
            if (!marked_->Empty()) {
                // One computation of the legs feeds the legs table and the totals.
                PositionFigures figures = ComputeFigures(*marked_, scenario);
                Figures->ShowFigures(figures, pnl.breakevens, MarkNote(*marked_));
                legs_->SetFigures(std::move(figures.legs));
                Trade->ShowTrade(ComputeTradeFigures(*marked_, scenario));
                const std::vector<ExpectedMove> moves = ExpectedMoves(*marked_, scenario.distribution);
                Figures->ShowChances(ComputeProbabilities(*marked_, scenario), moves, scenario);
                move = moves.empty() ? 0.0 : moves.front().move;
                table = ComputePnlTable(*marked_, scenario, pnl.dates[kRiskMidway]);
                for (std::size_t c = 0; c < table.dates.size(); ++c)
                    notes << QString::fromStdString(SettledNote(*marked_, table, c));
                if (cboPnlView->currentIndex() == 1) {
                    byVol = ComputePnlVolTable(*marked_, scenario, pnl.dates[kRiskMidway]);
                    // The view's one date is the table's second column.
                    notes = QStringList(kPnlVolShifts.size(), notes.value(1));
                }
                valued = true;
            }
        } catch (const AnalysisError& error) {
            problem = QString::fromStdString(error.what());
        } catch (const PricingError& error) {
            problem = QString::fromStdString(error.what());
        }
    }
    if (!valued) {
        Figures->Clear();
        Trade->Clear();
        legs_->SetFigures({});
    }
    Graph->ShowGraph(graph);
    const double underlying = marked_ ? marked_->Underlying() : 0.0;
    tblPnl->ShowTable(table, underlying, move, graph.dateChosen);
    if (byVol)
        tblPnl->ShowVolTable(*byVol, underlying, move);
    tblPnl->SetColumnNotes(notes);
    lblStatus->setText(problem.isEmpty() ? fileStatus_ : problem);
}

void PositionTab::SetSeriesTitle(const QString& title)
{
    seriesTitle_ = title;
}

QString PositionTab::ProposedExportFile() const
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = seriesTitle_.isEmpty() ? QStringLiteral("position")
                                                : seriesTitle_ + QStringLiteral("-position");
    return documents + QLatin1Char('/') + name + QStringLiteral(".csv");
}

QString PositionTab::ExportTo(const QString& fileName)
{
    // A move of a control not valued yet is valued first: the file holds
    // what the tab shows.
    if (scenarioTimer_->isActive())
        RefreshScenario();
    if (!marked_ || marked_->Empty())
        return QString::fromLatin1(kNothingToExport);
    try {
        const kestrava::Scenario scenario = Scenario->CurrentScenario();
        const std::string csv = PositionCsv(GetPosition(), *marked_, ComputeFigures(*marked_, scenario),
                                            tblPnl->Table());
        WritePositionCsvFile(QDir::toNativeSeparators(fileName).toStdString(), csv);
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

void PositionTab::ExportClicked()
{
    // The dialog asks before it replaces a file that is there.
    const QPointer<PositionTab> alive(this);
    const QString file = QFileDialog::getSaveFileName(this, QString::fromLatin1(kExportCaption),
                                                      ProposedExportFile(), QString::fromLatin1(kCsvFilter));
    if (!alive || file.isEmpty())
        return;
    const QString problem = ExportTo(file);
    if (!problem.isEmpty())
        QMessageBox::warning(this, QString::fromLatin1(kExportCaption), problem);
}

}  // namespace kestrava
