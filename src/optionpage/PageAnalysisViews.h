#pragma once
// The option page's views beyond the grid: the volatility smile of the
// expiry last shown, the position of the page's series with its risk graph
// (kept in a file beside the series file), both on paper too, and Buy 1 and
// Sell 1 from the grid's context menu and shortcuts.

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QPrinter;
class QStackedLayout;
class QTabBar;
class QWidget;

namespace kestrava {

class PageMessages;
class PageSeries;
class PositionTab;
class SmileView;
class TImpStrGrid;
class TInOutObj;
struct LocaleInfo;
struct PlotPrintout;

class PageAnalysisViews : public QObject {
    Q_OBJECT
public:
    // The expiry the grid shows, when an expiry tab is selected; nullptr
    // otherwise.
    using GridExpiry = std::function<const TInOutObj*()>;

    // Adds the Smile and Position views to pages and Buy 1 and Sell 1 to
    // grid; page parents the views.
    PageAnalysisViews(const LocaleInfo& locale, PageSeries& series, PageMessages& messages,
                      QStackedLayout& pages, TImpStrGrid& grid, GridExpiry gridExpiry, QWidget& page);

    // The Position tab follows the expiries; the Smile tab comes before the
    // Chart tab, when there is one.
    void AddTabs(QTabBar& tabs, int expiryCount);
    // Shows the view of a Smile or Position tab marker.
    void Show(int marker);
    // The Smile or Position tab on paper.
    void Print(QPrinter& printer, int marker, const QString& title,
               const std::function<void(QPrinter&, const PlotPrintout&)>& printPlot);
    // smileExpiry: the expiry the smile shows, nullptr to keep the last.
    void Refresh(const TInOutObj* smileExpiry, const QString& title,
                 const std::vector<const TInOutObj*>& expiries);

    // The position saved beside seriesFile; a damaged file is said.
    void LoadPosition(const QString& seriesFile);
    // False (after a message) when the position's file cannot be written.
    bool SavePosition(const QString& seriesFile);
    // Takes other's position, changes and all; other has nothing left to save.
    void TakePosition(PageAnalysisViews& other, PageSeries& otherSeries);
    bool PositionEmpty() const;

private:
    void AddLegFromGrid(int quantity);

    PageSeries& series_;
    PageMessages& messages_;
    QStackedLayout& pages_;
    TImpStrGrid& grid_;
    GridExpiry gridExpiry_;
    SmileView* smileView_ = nullptr;
    PositionTab* positionTab_ = nullptr;
    QAction* buyOne_ = nullptr;
    QAction* sellOne_ = nullptr;
};

}  // namespace kestrava
