#include "optionpage/Opage27.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QStyle>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "common/busy.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/qt/keepinside.h"
#include "common/qt/seriestext.h"
#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ChartTab.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/PageAnalysisViews.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PagePrivate.h"
#include "optionpage/SeriesBuilder.h"
#include "pricing/gridtext.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"
#include "pricing/recalc.h"
#include "pricing/seriesfile.h"

namespace kestrava {
namespace {

using namespace pageparts;

const QColor kLightColor(255, 255, 151);
const QColor kDarkColor(192, 220, 192);   // money green
const QColor kFixedColor(255, 251, 240);  // cream

constexpr int kMoveSizeSettleMs = 150;

TDateTime SystemToday()
{
    return DayNumber(QDate::currentDate());
}

}  // namespace

// ------------------------------------------------------------------ creation

TfrmOPage* TfrmOPage::Create(const PageEnvironment& environment, const PageSource& source, Notifier& notifier,
                             QWidget* parent)
{
    std::unique_ptr<TfrmOPage> page(new TfrmOPage(environment, notifier, parent));
    if (!page->FormCreate(source))
        return nullptr;
    return page.release();
}

TfrmOPage::TfrmOPage(const PageEnvironment& environment, Notifier& notifier, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      environment_(environment),
      notifier_(notifier),
      series_(notifier_, environment_.locale)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmOPage"));
    setProperty("helpKeyword", QStringLiteral("Option Series Grid"));
    setProperty("helpContext", 2080);
    QFont formFont(QStringLiteral("Tahoma"));
    formFont.setPixelSize(13);
    setFont(formFont);
    BuildControls();
    ConnectControls();
}

TfrmOPage::~TfrmOPage()
{
    // The children outlive this body; none of their signals may reach a page
    // whose series are gone.
    closed_ = true;
    inputBar_->Detach();
    for (QPushButton* button : findChildren<QPushButton*>())
        button->removeEventFilter(this);
    TabControl1->disconnect(this);
    TheGrid->disconnect(this);
    TheGrid->Cells()->disconnect(this);
    TheGrid->selectionModel()->disconnect(this);
}

void TfrmOPage::BuildControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    TabControl1 = new QTabBar(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    QFont tabFont = font();
    tabFont.setBold(true);
    TabControl1->setFont(tabFont);
    TabControl1->setExpanding(false);
    TabControl1->setDrawBase(true);
    layout->addWidget(TabControl1);

    pages_ = new QStackedLayout;
    TheGrid = new TImpStrGrid(this);
    TheGrid->setObjectName(QStringLiteral("TheGrid"));
    TheGrid->setFrameShape(QFrame::NoFrame);
    TheGrid->setProperty("helpContext", 2100);
    pages_->addWidget(TheGrid);
    layout->addLayout(pages_, 1);

    inputBar_ = new PageInputBar(
        environment_.locale, series_, notifier_, [this] { return closed_ ? nullptr : CurrentSeries(); },
        this);
    layout->addWidget(inputBar_);
    tabs_ = std::make_unique<PageTabs>(*TabControl1);
    analysisViews_ = new PageAnalysisViews(
        environment_.locale, series_, notifier_, *pages_, *TheGrid,
        [this]() -> const TInOutObj* {
            return tabs_->IsExpiry(currentTab_) ? series_.GridSeries() : nullptr;
        },
        *this);
    chart_ = std::make_unique<PageChartTab>(
        environment_, notifier_, names_, PageChartTab::Parts{*this, *pages_, *tabs_, *TheGrid, *inputBar_});
}

PageFrame TfrmOPage::Frame()
{
    return {*this, *TabControl1, *TheGrid, *inputBar_};
}

void TfrmOPage::ConnectControls()
{
    connect(TabControl1, &QTabBar::currentChanged, this, [this](int index) {
        if (closed_)
            return;
        const PageCommand command(notifier_);
        if (building_) {
            currentTab_ = index;
            return;
        }
        // A bid or ask still being typed goes to the expiry it was typed into.
        if (tabs_->IsExpiry(currentTab_))
            ReadQuoteCells();
        currentTab_ = index;
        PageChanged(index);
    });
    // Enter, Tab and the focus leaving the grid hand a typed bid or ask over.
    connect(TheGrid->Cells(), &GridCells::cellEdited, this, &TfrmOPage::QuoteCellEdited);
    connect(TheGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    TheGridSelectCell(current.column(), current.row() + 1);
            });
    TheGrid->Cells()->SetEditableColumns({kBidColumn, kAskColumn});

    connect(inputBar_, &PageInputBar::inputsChanged, this, &TfrmOPage::PushInputs);
    // The button replaces the price, the date and the volatility: the grid
    // is valued on them at once.
    connect(inputBar_->cmdCalcSig, &QToolButton::clicked, this, [this] {
        const QPointer<TfrmOPage> alive(this);
        if (CalcSig() && alive)
            ReCalc();
    });
    connect(inputBar_->cmdReCalc, &QPushButton::clicked, this, &TfrmOPage::ReCalc);
    connect(inputBar_->cmdChain, &QToolButton::clicked, this, [this] {
        emit chainRequested(QuoteFileOf(series_, environment_.dataDirectory),
                            inputBar_->cmboOptSymbols->currentText());
    });
    connect(inputBar_->cmboOptSymbols, &QComboBox::activated, this, [this] {
        cmboOptSymbolsChange();
        inputBar_->cmboOptSymbols->setFocus();
    });
    for (QPushButton* button : findChildren<QPushButton*>())
        button->installEventFilter(this);

    moveSizeTimer_ = new QTimer(this);
    moveSizeTimer_->setSingleShot(true);
    moveSizeTimer_->setInterval(kMoveSizeSettleMs);
    connect(moveSizeTimer_, &QTimer::timeout, this, &TfrmOPage::EndOfMoveOrResize);
}

bool TfrmOPage::FormCreate(const PageSource& source)
{
    // The grid: rows and columns measured from the font, so they keep their
    // proportions at any screen scaling.
    const QFontMetrics metrics(TheGrid->font());
    TheGrid->SetColCount(kColumns);
    TheGrid->SetRowCount(kMinGridRows);
    TheGrid->SetDefaultRowHeight(metrics.height() * 7 / 4);
    TheGrid->SetDefaultColWidth(metrics.horizontalAdvance(QStringLiteral("-0000.00 "))
                                + 2 * TImpStrGrid::kTextMargin + 2);
    TheGrid->SetLightColor(kLightColor);
    TheGrid->SetDarkColor(kDarkColor);
    TheGrid->SetFixedColor(kFixedColor);
    QFont fixedFont = TheGrid->font();
    fixedFont.setBold(true);
    TheGrid->SetFixedFont(fixedFont);

    const PageCommand command(notifier_);
    const QScopedValueRollback building(building_, true);
    try {
        if (source.openFromFile) {
            names_.seriesFile = source.openFileName;
            if (!OpenSeriesFile())
                return false;
            if (!names_.priceWorkFile.isEmpty())
                CalcSig();
            analysisViews_->LoadPosition(names_.seriesFile);
        } else {
            BuildFromSetup(source.setup);
        }
        analysisViews_->AddTabs(*TabControl1, static_cast<int>(series_.size()));

        PlaceBelowMainWindow(Frame(), environment_.mainWindowGeometry);
        FitRows(*TheGrid);
        FitColumns(*TheGrid);
        if (chart_->Image()) {
            chart_->Fit();
            chart_->Draw();
        }

        // The boxes show the first expiry before anything is priced: showing
        // stores their rounded values, so that a Calculate with nothing
        // changed gives the same numbers as the first one.
        ShowSeriesLabels();

        // Quotes when the symbol has a quote file, else a plain Calculate:
        // the same as after a download.
        RefreshAfterDownload();

        TabControl1->setCurrentIndex(0);
        currentTab_ = 0;
        ShowSeriesLabels();
        FitHeightToRows(Frame());
        FitColumns(*TheGrid);
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    return true;
}

void TfrmOPage::AddExpiryTab(std::unique_ptr<TInOutObj> series)
{
    const QString text = QString::fromStdString(ExpiryTabText(series->GetExpiry()));
    tabs_->InsertExpiry(series_.Add(std::move(series)), text);
    if (currentTab_ < 0)
        currentTab_ = TabControl1->currentIndex();
}

void TfrmOPage::BuildFromSetup(const SeriesSetup& setup)
{
    const int count = std::min(setup.numExpiries, 3);
    if (count < 1)
        throw PageError(kNoExpiry);
    for (int k = 0; k < count; ++k) {
        if (!setup.expiryDates[static_cast<std::size_t>(k)].isValid())
            throw PageError(kNoExpiry);
    }
    // The number boxes are read before anything is built, so a bad one
    // builds nothing.
    const SetupReading reading = ReadSetupNumbers(setup, environment_.locale.decimalSeparator);
    if (reading.problem)
        throw PageError(reading.problem->message);

    series_.SetFirstExpiry(DayNumber(setup.expiryDates[0]));
    series_.SetMarket(setup.market);
    names_.priceTextFile = setup.sourceFilePath;
    names_.priceWorkFile = setup.workFilePath;
    names_.title = setup.symbolText;

    std::optional<PriceHistory> history;
    if (!names_.priceWorkFile.isEmpty()) {
        TSigmaObj sigma(notifier_);
        sigma.FileName = names_.priceWorkFile.toStdString();
        sigma.Days = 90;
        try {
            sigma.Calculate();
        } catch (const MarketDataError& error) {
            notifier_.Info(error.what());
            sigma.Sigma = 0;
        }
        history = PriceHistory{sigma.Sigma, sigma.Days, sigma.LastClose, sigma.LastDate};
    } else {
        names_.priceTextFile.clear();
    }

    SeriesDefaults defaults;
    defaults.rates = environment_.defaultRates;
    defaults.lowestRate = static_cast<float>(inputBar_->fseRate->MinValue() / 100.0);
    defaults.highestRate = static_cast<float>(inputBar_->fseRate->MaxValue() / 100.0);
    defaults.sourceFileType = environment_.sourceFileType;
    defaults.today = SystemToday();
    defaults.shownUnderlying = [this](float price) {
        inputBar_->ShowUnderlying(price);
        return static_cast<float>(inputBar_->fseUlying->Value());
    };
    std::vector<TInOutObj> built = BuildSeries(setup, reading.numbers, history, defaults);
    const TInOutObj& first = built.front();
    series_.SetToday(first.TodayDate);
    for (TInOutObj& series : built)
        AddExpiryTab(std::make_unique<TInOutObj>(std::move(series)));
    if (history && history->sigma > 0)
        inputBar_->seSigDays->SetValue(history->days);
    inputBar_->ShowUnderlying(series_.front().Underlying);

    SetHeaders(*TheGrid);
    SetRowLabels(*TheGrid, series_, environment_.locale.decimalSeparator);
    update();

    BusyScope busy;
    if (!names_.priceTextFile.isEmpty())
        chart_->Open();
    else
        inputBar_->HidePriceFileControls();
}

bool TfrmOPage::OpenSeriesFile()
{
    std::vector<TInOutObj> loaded;
    bool reported = false;
    std::string failure;
    try {
        reported = !LoadSeriesFile(names_.seriesFile.toStdString(), loaded, notifier_);
    } catch (const SeriesFileError& error) {
        failure = error.what();
    }
    if (loaded.empty()) {
        // The reader's words alone ("Stream read error") say neither which
        // file failed nor that nothing could be shown.
        if (!reported) {
            std::string message = kNoSeriesInFile + QFileInfo(names_.seriesFile).fileName().toStdString()
                                  + ".";
            if (!failure.empty())
                message += " " + failure;
            notifier_.Error(message);
        }
        return false;
    }
    if (!failure.empty())
        notifier_.Error(failure);
    for (TInOutObj& series : loaded)
        AddExpiryTab(std::make_unique<TInOutObj>(std::move(series)));

    TInOutObj& p = series_.front();
    series_.SetFirstExpiry(p.ExpiryDate);
    series_.SetToday(p.TodayDate);
    names_.title = FromSeriesText(p.OptSymbol);
    setWindowTitle(names_.title);

    // The input bar starts from the saved series, so that the first push of
    // its values keeps the saved steps, days and price.
    inputBar_->StartFrom(p);
    // A file may hold any step count; the tree keeps to the range of the
    // box that shows it.
    for (const auto& series : series_) {
        if (const ModelEntry* model = FindModel(series->Model); model && model->tree)
            series->Steps = std::clamp(series->Steps, inputBar_->seSteps->MinValue(),
                                       inputBar_->seSteps->MaxValue());
    }

    const QString sourceFile = FromSeriesText(p.SourceFile);
    if (!sourceFile.isEmpty() && QFileInfo::exists(sourceFile)) {
        names_.priceTextFile = sourceFile;
        environment_.sourceFileType = p.SourceFileType;
        if (environment_.takeSourceFileType)
            environment_.takeSourceFileType(p.SourceFileType);
    } else {
        names_.priceTextFile.clear();
        names_.priceWorkFile.clear();
        inputBar_->HidePriceFileControls();
        inputBar_->ShowUnderlying(p.Underlying);
    }

    SetHeaders(*TheGrid);
    SetRowLabels(*TheGrid, series_, environment_.locale.decimalSeparator);
    FillGrid();

    if (!names_.priceTextFile.isEmpty()) {
        update();
        BusyScope busy;
        chart_->Open();
    }
    return true;
}

void TfrmOPage::ShowSeriesLabels()
{
    if (series_.empty())
        return;
    TInOutObj& p = series_.front();
    series_.TakeStrikeStep();
    names_.title = FromSeriesText(p.OptSymbol);
    p.TodayDate = series_.Today();
    inputBar_->ShowSeries(p, series_.Today());
    if (!windowTitle().contains(names_.title))
        setWindowTitle(names_.title);
}

// ---------------------------------------------------------- window events

void TfrmOPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        emit activated();
}

void TfrmOPage::closeEvent(QCloseEvent* event)
{
    if (!closed_ && !MayClose()) {
        event->ignore();
        return;
    }
    // FormClose: the chart, the series and the tabs go; the price work file
    // stays on disk for a page that replaces this one.
    closed_ = true;
    moveSizeTimer_->stop();
    chart_->Remove();
    tabs_->RemoveAll();
    series_.Clear();
    event->accept();
}

void TfrmOPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!closed_ && moveSizeTimer_)
        moveSizeTimer_->start();
}

void TfrmOPage::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (!closed_ && moveSizeTimer_)
        moveSizeTimer_->start();
}

void TfrmOPage::EndOfMoveOrResize()
{
    if (closed_)
        return;
    const PageCommand command(notifier_);
    FitHeightToRows(Frame());
    FitColumns(*TheGrid);
    if (const TChartImage* image = chart_->Image()) {
        chart_->Fit();
        // A move alone leaves the picture as it is.
        if (image->NeedsPicture())
            chart_->Draw();
    }
}

bool TfrmOPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QPushButton*>(watched)) {
        // Enter on a focused button of the page clicks it, as Space does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = static_cast<QPushButton*>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ------------------------------------------------------------ tabs and bar

TInOutObj* TfrmOPage::SeriesAt(int tab) const
{
    return tabs_->IsExpiry(tab) ? series_.At(tabs_->Marker(tab)) : nullptr;
}

TInOutObj* TfrmOPage::CurrentSeries() const
{
    return SeriesAt(currentTab_);
}

void TfrmOPage::PageChanged(int index)
{
    const PageCommand command(notifier_);
    // F1 opens the help page of what the tab shows.
    const int marker = tabs_->Marker(index);
    setProperty("helpKeyword", marker == kSmileTabMarker      ? QStringLiteral("Smile Tab")
                               : marker == kPositionTabMarker ? QStringLiteral("Position Tab")
                                                              : QStringLiteral("Option Series Grid"));
    if (marker == kChartTabMarker) {
        if (chart_->Image())
            pages_->setCurrentWidget(chart_->Image());
        return;
    }
    if (marker < 0) {
        analysisViews_->Show(marker);
        return;
    }
    pages_->setCurrentWidget(TheGrid);
    TInOutObj* p = SeriesAt(index);
    if (!p)
        return;
    lastExpiryTab_ = index;
    try {
        p->TodayDate = series_.Today();
        inputBar_->ShowExpiry(*p, series_.Today());
        FillGrid();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

void TfrmOPage::TheGridSelectCell(int col, int)
{
    // Only bids and asks are typed; everywhere else a click marks the row.
    const bool quoteCell = col == kBidColumn || col == kAskColumn;
    const QAbstractItemView::SelectionBehavior behaviour = quoteCell ? QAbstractItemView::SelectItems
                                                                     : QAbstractItemView::SelectRows;
    if (TheGrid->selectionBehavior() == behaviour)
        return;  // the view's own selection stands: rows taken with Shift or Ctrl too
    if (quoteCell) {
        TheGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                                 | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        TheGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    } else {
        TheGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        TheGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    }
    // The view chose the selection before the switch; mark what the new
    // behaviour marks.
    const QModelIndex current = TheGrid->currentIndex();
    if (current.isValid())
        TheGrid->selectionModel()->select(current, quoteCell ? QItemSelectionModel::ClearAndSelect
                                                             : QItemSelectionModel::ClearAndSelect
                                                                   | QItemSelectionModel::Rows);
}

// ------------------------------------------------------------ entry points

bool TfrmOPage::SavePage()
{
    const PageCommand command(notifier_);
    // A closed page holds no series; it must not empty its file.
    if (names_.seriesFile.isEmpty() || closed_)
        return true;
    try {
        SaveSeriesFile(names_.seriesFile.toStdString(), series_.Copies());
    } catch (const SeriesReadOnlyError&) {
        // The user made the file read-only: it stays as it is, and the series
        // may go into a copy instead.
        const QPointer<TfrmOPage> alive(this);
        const std::string question = QFileInfo(names_.seriesFile).fileName().toStdString()
                                     + " is read-only. Save a copy elsewhere?";
        if (!notifier_.AskYesNo(question) || !alive || !environment_.saveSeriesAs)
            return false;
        return environment_.saveSeriesAs(this) && alive;
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    // The position goes beside the series; the series file stays written
    // when the position's cannot be.
    return analysisViews_->SavePosition(names_.seriesFile);
}

void TfrmOPage::PrintPage(QPrinter& printer)
{
    const PageCommand command(notifier_);
    try {
        if (tabs_->IsExpiry(currentTab_)) {
            if (const TInOutObj* p = CurrentSeries(); p && environment_.printGrid)
                environment_.printGrid(printer, *p);
        } else if (!tabs_->IsChart(currentTab_)) {
            analysisViews_->Print(printer, tabs_->Marker(currentTab_), names_.title, environment_.printPlot);
        } else if (environment_.printChart) {
            environment_.printChart(printer, chart_->Request(0, 0, true));
        }
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

}  // namespace kestrava
