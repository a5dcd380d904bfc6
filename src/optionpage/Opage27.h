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
#include "optionpage/PageInputBar.h"
#include "optionpage/PageInputs.h"
#include "optionpage/PageMessages.h"
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

    // The series symbol; base of the window caption.
    QString Title() const { return title_; }
    // The ".ops" file the page saves to; empty until the main window names one.
    QString SeriesFile() const { return seriesFile_; }
    // Names the page's series file; a page whose position is untouched takes
    // the position saved beside that file.
    void SetSeriesFile(const QString& path);
    QString PriceTextFile() const { return priceTextFile_; }
    QString PriceWorkFile() const { return priceWorkFile_; }
    TDateTime PageToday() const { return series_.Today(); }
    TDateTime FirstExpiry() const { return series_.FirstExpiry(); }

    // The series of the expiry tabs, in tab order.
    std::vector<const TInOutObj*> Expiries() const;
    int ExpiryCount() const { return static_cast<int>(series_.size()); }
    // The series of the selected tab; nullptr on the Chart tab.
    TInOutObj* CurrentSeries() const;
    TInOutObj* SeriesAt(int tab) const;
    // The series whose values the grid holds: the one the last FillGrid
    // wrote; nullptr before the first.
    TInOutObj* GridSeries() const { return series_.GridSeries(); }

    // Entry points for the main window.
    // Writes the series file when one is named; false (after a message) when
    // the file cannot be written.
    bool SavePage();
    // Prints the selected tab: the grid of its expiry, the smile, the
    // position's graph with its legs and totals, or the chart.
    void PrintPage(QPrinter& printer);
    // After new quote files were downloaded.
    void RefreshAfterDownload();
    // The position was changed since it was read or saved.
    bool PositionChanged() const { return series_.PositionChanged(); }
    // A page that replaces other (its series changed) takes over other's
    // position, changes and all; other then has nothing left to save.
    void TakePosition(TfrmOPage& other);

    // Recalculation (the Calculate button and what it is made of).
    void ReCalc();
    // Solves the implied volatilities of every expiry with days left; false
    // when a typed bid or ask is no number.
    bool ReCalcAllIvs();
    // Hands a bid or ask still being typed to the expiry the grid shows and
    // solves that expiry's implied volatilities; false when the typed text
    // was no number (the user is told, and nothing is stored).
    bool ReadQuoteCells();
    void FillGrid();
    void PushInputs();
    // The history button: the price file's volatility, last close and date
    // into every expiry; false (after a message, if any) when it has none.
    bool CalcSig();
    void DrawChart();
    void FitRows();
    void FitColumns();

    // The page's widgets, for the main window's layout and for tests that
    // drive the page as a user would.
    struct Widgets {
        QTabBar* TabControl1;
        TImpStrGrid* TheGrid;
        TChartImage* ChartImage;  // exists while the Chart tab does
        PageInputBar* Panel1;
    };
    Widgets Controls() const { return {TabControl1, TheGrid, ChartImage, inputBar_}; }
    PageInputBar& InputBar() const { return *inputBar_; }

    static constexpr int kColumns = kGridColumns;
    static constexpr int kBidColumn = GridColumnOf(&TInOutObj::Bid);
    static constexpr int kAskColumn = GridColumnOf(&TInOutObj::Ask);
    static constexpr int kMinRows = 11;

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
    // Recalculates every expiry and fills the grid; the message to show
    // afterwards, or an empty text.
    std::string RecalcAllExpiries();
    void SetHeaders();
    void SetRowLabels();
    void ShowSeriesLabels();
    void PlaceBelowMainWindow();
    void FitHeightToRows();
    int AddExpiryTab(std::unique_ptr<TInOutObj> series);

    // Tabs, editing and the input bar.
    bool IsChartTab(int index) const;
    bool ChartTabSelected() const { return IsChartTab(currentTab_); }
    // A tab of an expiry, not the Position, Smile or Chart tab.
    bool IsExpiryTab(int index) const;
    bool ExpiryTabSelected() const { return IsExpiryTab(currentTab_); }

    // The views beyond the grid: smile, position, Buy 1 and Sell 1.
    void RefreshAnalysisViews();
    // Before the page closes with a changed position: "Save the changes to
    // the position of NAME?" False when the page must stay open (Cancel, or
    // the save failed).
    bool MayClose();
    void TabControl1Changing(int index);
    void PageChanged(int index);
    void TheGridSelectCell(int col, int row);
    // A typed bid or ask: into the grid's expiry, whose volatilities follow.
    void QuoteCellEdited(int col, int row, const QString& text);
    void SolveGridIvs();
    void cmboOptSymbolsChange();

    // The Chart tab.
    void OpenChartTab();
    void SizeChartImage();
    // The Chart tab's picture goes (the page closes, or its price file is unusable).
    void RemoveChartImage();
    ChartRequest MakeChartRequest(int width, int height, bool printing) const;
    void EndOfMoveOrResize();

    // Quotes (PageQuotes.cpp).
    // The page's quote file: the data folder's upper-case symbol + ".txt";
    // empty when the symbol cannot be a file name.
    QString QuoteFileName() const;
    void FillContractList();
    // False when the load failed (after its message) or the page closed
    // meanwhile: nothing more may run then.
    bool LoadQuotesIntoSeries();

    PageEnvironment environment_;
    // Messages wait for the end of the command that raised them.
    PageMessages notifier_;
    // The chart's messages, said once for a file and volatility window
    // however often the chart is drawn again.
    OnceNotifier chartMessages_{notifier_};
    QString chartMessagesFor_;

    // The expiries, their market and valuation date: tab i shows series_.At(i).
    PageSeries series_;
    QString title_;
    QString seriesFile_;
    QString priceTextFile_;
    QString priceWorkFile_;
    int scrollBarWidth_ = 0;

    QTabBar* TabControl1 = nullptr;
    TImpStrGrid* TheGrid = nullptr;
    TChartImage* ChartImage = nullptr;  // exists while the Chart tab does
    PageInputBar* inputBar_ = nullptr;
    QStackedLayout* pages_ = nullptr;
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
