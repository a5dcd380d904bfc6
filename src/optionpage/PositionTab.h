#pragma once
// The Position tab: the legs of the page's position in an editable table
// (quantity and entry price), legs of the underlying added by "Add
// underlying...", the multiplier per contract and the commissions, the position
// marked at the market with its figures and chances, the what-if controls,
// its risk graph and its profit or loss table. It keeps copies of the
// expiries it is shown, so it never reaches into the page; the position is
// marked once when the legs or the expiries change, and every move of a
// control values only the scenario.

#include <QWidget>

#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Position.h"
#include "analysis/RiskGraph.h"
#include "chart/PlotPrint.h"
#include "common/localeinfo.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;

namespace kestrava {

class PnlTableView;
class PositionFiguresBox;
class PositionLegsModel;
class RiskView;
class ScenarioPanel;
class TradeFiguresBox;
class TrmFloatSpinEdit;

class PositionTab : public QWidget {
    Q_OBJECT
public:
    explicit PositionTab(const LocaleInfo& locale, QWidget* parent = nullptr);

    // The page's expiries after a calculation or a quote load; the figures
    // and the graph follow them.
    void ShowExpiries(std::span<const TInOutObj* const> expiries);
    // The quote table's market behind the page's quotes (none: the chances
    // take the smile of the page's own strikes); taken at the next
    // ShowExpiries.
    void SetMarket(std::shared_ptr<const TableMarket> market);
    // A position read from its file (replaces the shown one; no signal).
    void SetPosition(const Position& position);
    const Position& GetPosition() const;
    // Buy 1 / Sell 1 from the grid; emits positionChanged.
    void AddLeg(const PositionLeg& leg);
    // What the page has to say about the position file ("There is no
    // position file ..."); cleared by the user's first change.
    void SetStatusText(const QString& text);
    // The tab on paper: the risk graph as shown, the legs and the totals.
    PlotPrintout Printout(const QString& symbol) const;
    // The series' name, for the file an export proposes.
    void SetSeriesTitle(const QString& title);
    // "SYMBOL-position.csv" in the user's documents folder.
    QString ProposedExportFile() const;
    // Writes the position's CSV (legs, figures, profit or loss table) as
    // the tab shows it; the message of a failure, or empty.
    QString ExportTo(const QString& fileName);

    QTableView* tblLegs = nullptr;
    TrmFloatSpinEdit* fseMultiplier = nullptr;
    TrmFloatSpinEdit* fsePerContract = nullptr;  // commission per option contract
    TrmFloatSpinEdit* fsePerShare = nullptr;     // per unit of the underlying
    QPushButton* cmdAddUnderlying = nullptr;
    QPushButton* cmdRemoveLeg = nullptr;
    QLabel* lblCost = nullptr;
    QLabel* lblValue = nullptr;
    QLabel* lblPnl = nullptr;
    QLabel* lblDelta = nullptr;
    QLabel* lblGamma = nullptr;
    QLabel* lblDecay = nullptr;
    QLabel* lblVega = nullptr;
    QLabel* lblBreakevens = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdExport = nullptr;
    ScenarioPanel* Scenario = nullptr;
    PositionFiguresBox* Figures = nullptr;
    TradeFiguresBox* Trade = nullptr;
    RiskView* Graph = nullptr;
    PnlTableView* tblPnl = nullptr;
    QComboBox* cboPnlView = nullptr;  // the table by date, or by volatility

protected:
    void showEvent(QShowEvent* event) override;

signals:
    // The user changed the position: a leg added, edited or removed, the
    // multiplier or the commissions. The page saves it with the series.
    void positionChanged();

private:
    QWidget* BuildScenarioSide();
    void RemoveSelectedLeg();
    void MultiplierChanged();
    void CommissionsChanged();
    void AddUnderlyingClicked();
    QLayout* BuildControls();
    void LegEdited(const QString& refusal);
    void UserChanged();
    // Marks the position afresh, then the scenario's figures and graph.
    void Refresh();
    // The figures, chances, table and graph of the scenario the controls
    // give, from the marked position; and the status.
    void RefreshScenario();
    // Once the events waiting have run: a drag gives many moves, the
    // newest is valued.
    void ScheduleScenario();
    std::vector<double> GraphPrices() const;
    std::vector<const TInOutObj*> ShownExpiries() const;
    void ExportClicked();

    LocaleInfo locale_;
    PositionLegsModel* legs_ = nullptr;
    QSplitter* splitter_ = nullptr;      // the figures beside the graph
    QSplitter* legsSplitter_ = nullptr;  // the legs over them
    bool sized_ = false;
    QString fileStatus_;
    QString refusal_;
    bool settingMultiplier_ = false;     // also while the commissions are set
    std::optional<RiskSpan> shownSpan_;  // zoomed or moved by the user; none: the legs' range
    std::optional<MarkedPosition> marked_;
    std::shared_ptr<const TableMarket> market_;
    RiskSpan legsSpan_;    // where the graph opens, set when the position is marked
    QString markProblem_;  // why the position could not be marked
    QTimer* scenarioTimer_ = nullptr;
    QString seriesTitle_;
};

}  // namespace kestrava
