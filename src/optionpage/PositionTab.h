#pragma once
// The Position tab: the legs of the page's position in an editable table
// (quantity and entry price), the multiplier per contract, the position's
// totals from the expiries' last calculation and its risk graph. It keeps
// copies of the expiries it is shown, so it never reaches into the page.

#include <QWidget>

#include <optional>
#include <span>
#include <vector>

#include "analysis/Position.h"
#include "analysis/RiskGraph.h"
#include "chart/PlotPrint.h"
#include "common/localeinfo.h"

class QLabel;
class QPushButton;
class QSplitter;
class QTableView;

namespace kestrava {

class PositionLegsModel;
class RiskView;
class TrmFloatSpinEdit;

class PositionTab : public QWidget {
    Q_OBJECT
public:
    explicit PositionTab(const LocaleInfo& locale, QWidget* parent = nullptr);

    // The page's expiries after a calculation or a quote load; the figures
    // and the graph follow them.
    void ShowExpiries(std::span<const TInOutObj* const> expiries);
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

    QTableView* tblLegs = nullptr;
    TrmFloatSpinEdit* fseMultiplier = nullptr;
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
    RiskView* Graph = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

signals:
    // The user changed the position: a leg added, edited or removed, or the
    // multiplier. The page saves it with the series.
    void positionChanged();

private:
    QWidget* BuildTotals();
    void RemoveSelectedLeg();
    void MultiplierChanged();
    void LegEdited(const QString& refusal);
    void UserChanged();
    // Totals, graph and status from the position and the expiries.
    void Refresh();
    // The graph over the range shown and the status.
    void RefreshGraph();
    std::vector<const TInOutObj*> ShownExpiries() const;
    QString Money(double value, int decimals = 2) const;

    LocaleInfo locale_;
    PositionLegsModel* legs_ = nullptr;
    QSplitter* splitter_ = nullptr;
    bool sized_ = false;
    QString fileStatus_;
    QString refusal_;
    bool settingMultiplier_ = false;
    std::optional<RiskSpan> shownSpan_;  // zoomed or moved by the user; none: the legs' range
};

}  // namespace kestrava
