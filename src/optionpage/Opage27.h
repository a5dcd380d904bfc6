#pragma once
// The option page: one option series of one to three expiries, one tab per
// expiry with its grid of calls and puts, an input bar below, and the
// underlying's chart on a last "Chart" tab when the series has a price file.
//
// The page's PageSeries holds one TInOutObj per expiry tab, and those
// objects are the only store of the series: the grid shows one expiry, and a bid or ask typed into
// it goes into that expiry at once. Input changes only reach the series
// objects; the grid changes on Calculate, on a tab change and on editing a
// bid or ask.

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "analysis/TableMarket.h"
#include "common/dates.h"
#include "optionpage/ChartTab.h"
#include "optionpage/PageChartTab.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PageInputs.h"
#include "optionpage/PageLayout.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PageTabs.h"
#include "pagecore/PageSeries.h"
#include "pricing/GridColumns.h"
#include "pricing/recalc.h"

class QPrinter;
class QStackedLayout;
class QTabBar;
class QTimer;

namespace kestrava {

class Notifier;
class PageAnalysisViews;
class TImpStrGrid;
class TInOutObj;
class TSigmaObj;

class TfrmOPage : public QWidget {
    Q_OBJECT
public:
    // Builds a page from the setup dialog's values or from a series file.
    // Returns nullptr, after telling the user why through notifier, when
    // there is nothing to show: no expiry, a number box that holds no number,
    // or a series file without a readable expiry record. The page deletes
    // itself when it is closed.
    static TfrmOPage* Create(const PageEnvironment& environment, const PageSource& source, Notifier& notifier,
                             QWidget* parent = nullptr);
    ~TfrmOPage() override;

    // The symbol the caption starts with, the series file and the price files.
    const PageNames& Names() const { return names_; }
    // Names the page's series file; a page whose position is untouched takes
    // the position saved beside that file.
    void SetSeriesFile(const QString& path);
    // The expiries in tab order, their valuation date, the position's state.
    const PageSeries& Series() const { return series_; }

    // The series of the selected tab; nullptr on any tab but an expiry's.
    TInOutObj* CurrentSeries() const;
    TInOutObj* SeriesAt(int tab) const;

    // Entry points for the main window.
    // Writes the series file when one is named; false (after a message) when
    // the file cannot be written.
    bool SavePage();
    // Prints the selected tab: the grid of its expiry, the smile, the
    // position's graph with its legs and totals, or the chart.
    void PrintPage(QPrinter& printer);
    // After new quote files were downloaded.
    void RefreshAfterDownload();
    // A page that replaces other (its series changed) takes over other's
    // position, changes and all; other then has nothing left to save.
    void TakePosition(TfrmOPage& other);

    // The grid shows the selected expiry's values.
    void FillGrid();

    // The page's widgets, for the main window's layout and for tests that
    // drive the page as a user would.
    struct Widgets {
        QTabBar* TabControl1;
        TImpStrGrid* TheGrid;
        TChartImage* ChartImage;  // exists while the Chart tab does
        PageInputBar* Panel1;
    };
    Widgets Controls() const { return {TabControl1, TheGrid, chart_ ? chart_->Image() : nullptr, inputBar_}; }
    PageInputBar& InputBar() const { return *inputBar_; }

    static constexpr int kColumns = kGridColumns;
    static constexpr int kBidColumn = GridColumnOf(&TInOutObj::Bid);
    static constexpr int kAskColumn = GridColumnOf(&TInOutObj::Ask);

signals:
    // The page became the active window.
    void activated();
    // The user asks for the whole chain of the page's quote file, with the
    // contract chosen in the list.
    void chainRequested(const QString& quoteFile, const QString& contract);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TfrmOPage(const PageEnvironment& environment, Notifier& notifier, QWidget* parent);

    void BuildControls();
    void ConnectControls();

    // Creation.
    bool FormCreate(const PageSource& source);
    void BuildFromSetup(const SeriesSetup& setup);
    bool OpenSeriesFile();

    // Recalculation (the Calculate button and what it is made of).
    void ReCalc();
    // Recalculates every expiry and fills the grid; the message to show
    // afterwards, or an empty text.
    std::string RecalcAllExpiries();
    // Hands a bid or ask still being typed to the expiry the grid shows and
    // solves that expiry's implied volatilities; false when the typed text
    // was no number (the user is told, and nothing is stored).
    bool ReadQuoteCells();
    void PushInputs();
    // The history button: the price file's volatility, last close and date
    // into every expiry; false (after a message, if any) when it has none.
    bool CalcSig();
    void ShowSeriesLabels();
    void AddExpiryTab(std::unique_ptr<TInOutObj> series);
    // The page's parts whose sizes make its height.
    PageFrame Frame();

    // The views beyond the grid: smile, position, Buy 1 and Sell 1.
    void RefreshAnalysisViews();
    // Before the page closes with a changed position: "Save the changes to
    // the position of NAME?" False when the page must stay open (Cancel, or
    // the save failed).
    bool MayClose();
    void PageChanged(int index);
    void TheGridSelectCell(int col, int row);
    // A typed bid or ask: into the grid's expiry, whose volatilities follow.
    void QuoteCellEdited(int col, int row, const QString& text);
    void SolveGridIvs();
    void cmboOptSymbolsChange();
    // The grid and the chart fitted once a move or resize has settled.
    void EndOfMoveOrResize();

    // Quotes (PageQuotes.cpp).
    // False when the load failed (after its message) or the page closed
    // meanwhile: nothing more may run then.
    bool LoadQuotesIntoSeries();

    PageEnvironment environment_;
    // Messages wait for the end of the command that raised them.
    PageMessages notifier_;
    // The expiries, their market and valuation date: tab i shows series_.At(i).
    PageSeries series_;
    PageNames names_;

    QTabBar* TabControl1 = nullptr;
    TImpStrGrid* TheGrid = nullptr;
    PageInputBar* inputBar_ = nullptr;
    QStackedLayout* pages_ = nullptr;
    std::unique_ptr<PageTabs> tabs_;
    std::unique_ptr<PageChartTab> chart_;
    QTimer* moveSizeTimer_ = nullptr;
    int currentTab_ = -1;
    int lastExpiryTab_ = 0;  // the expiry the Smile tab shows
    PageAnalysisViews* analysisViews_ = nullptr;
    bool readingQuotes_ = false;
    bool quoteRefused_ = false;  // the last typed bid or ask was no number
    bool recalculating_ = false;
    bool building_ = false;  // FormCreate runs: tab changes show nothing yet
    bool closed_ = false;
};

}  // namespace kestrava
