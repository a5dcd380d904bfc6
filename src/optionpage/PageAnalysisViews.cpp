// The option page's views beyond the grid: the smile, the position and its
// file, both on paper, and Buy 1 and Sell 1 from the grid.

#include "optionpage/PageAnalysisViews.h"

#include <QAction>
#include <QMenu>
#include <QStackedLayout>
#include <QTabBar>

#include "analysis/AnalysisError.h"
#include "analysis/Position.h"
#include "analysis/PositionFile.h"
#include "chart/PlotPrint.h"
#include "optionpage/GridCopy.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PagePrivate.h"
#include "optionpage/PositionTab.h"
#include "optionpage/SmileView.h"
#include "pagecore/PageSeries.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

using namespace pageparts;

PageAnalysisViews::PageAnalysisViews(const LocaleInfo& locale, PageSeries& series, PageMessages& messages,
                                     QStackedLayout& pages, TImpStrGrid& grid, GridExpiry gridExpiry,
                                     QWidget& page)
    : QObject(&page),
      series_(series),
      messages_(messages),
      pages_(pages),
      grid_(grid),
      gridExpiry_(std::move(gridExpiry))
{
    smileView_ = new SmileView(locale, &page);
    pages_.addWidget(smileView_);
    positionTab_ = new PositionTab(locale, &page);
    positionTab_->setObjectName(QStringLiteral("PositionTab"));
    pages_.addWidget(positionTab_);
    connect(positionTab_, &PositionTab::positionChanged, this, [this] { series_.SetPositionChanged(true); });

    InstallGridCopy(&grid_);
    buyOne_ = new QAction(QStringLiteral("Buy 1"), &page);
    buyOne_->setObjectName(QStringLiteral("BuyOneItem"));
    buyOne_->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
    sellOne_ = new QAction(QStringLiteral("Sell 1"), &page);
    sellOne_->setObjectName(QStringLiteral("SellOneItem"));
    sellOne_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+B")));
    for (QAction* action : {buyOne_, sellOne_}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        grid_.addAction(action);
    }
    connect(buyOne_, &QAction::triggered, this, [this] { AddLegFromGrid(1); });
    connect(sellOne_, &QAction::triggered, this, [this] { AddLegFromGrid(-1); });
    grid_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&grid_, &QWidget::customContextMenuRequested, this, [this, &page](const QPoint& at) {
        const QModelIndex index = grid_.indexAt(at);
        if (!index.isValid())
            return;
        grid_.setCurrentIndex(index);
        QMenu menu(&page);
        menu.addAction(buyOne_);
        menu.addAction(sellOne_);
        menu.exec(grid_.viewport()->mapToGlobal(at));
    });
}

void PageAnalysisViews::AddTabs(QTabBar& tabs, int expiryCount)
{
    const int position = tabs.insertTab(expiryCount, QStringLiteral("Position"));
    tabs.setTabData(position, kPositionTabMarker);
    const int smile = tabs.insertTab(expiryCount + 1, QStringLiteral("Smile"));
    tabs.setTabData(smile, kSmileTabMarker);
}

void PageAnalysisViews::Show(int marker)
{
    if (marker == kSmileTabMarker) {
        pages_.setCurrentWidget(smileView_);
    } else if (marker == kPositionTabMarker) {
        pages_.setCurrentWidget(positionTab_);
    }
}

void PageAnalysisViews::Print(QPrinter& printer, int marker, const QString& title,
                              const std::function<void(QPrinter&, const PlotPrintout&)>& printPlot)
{
    if (!printPlot)
        return;
    if (marker == kSmileTabMarker)
        printPlot(printer, smileView_->Printout(title));
    else if (marker == kPositionTabMarker)
        printPlot(printer, positionTab_->Printout(title));
}

void PageAnalysisViews::Refresh(const TInOutObj* smileExpiry, const QString& title,
                                const std::vector<const TInOutObj*>& expiries)
{
    if (smileExpiry)
        smileView_->ShowSmile(*smileExpiry);
    positionTab_->SetSeriesTitle(title);
    positionTab_->SetMarket(series_.Market());
    positionTab_->ShowExpiries(expiries);
}

void PageAnalysisViews::AddLegFromGrid(int quantity)
{
    const PageCommand command(messages_);
    // A bid or ask still being typed is the price the leg is made at.
    grid_.CommitEdit();
    const TInOutObj* p = gridExpiry_ ? gridExpiry_() : nullptr;
    const QModelIndex current = grid_.currentIndex();
    if (!p || !current.isValid())
        return;
    const int row = current.row() + 1;
    const int n = p->NumStrikes;
    if (row < 1 || row > 2 * n)
        return;
    const int s = row <= n ? row : row - n;
    const int k = row <= n ? 1 : 2;
    positionTab_->AddLeg(LegFromGrid(*p, s, k, quantity));
    series_.SetPositionChanged(true);
}

void PageAnalysisViews::LoadPosition(const QString& seriesFile)
{
    if (seriesFile.isEmpty())
        return;
    const PositionFileRead read = ReadPositionFile(PositionFileFor(seriesFile.toStdString()));
    positionTab_->SetPosition(read.position);
    series_.SetPositionChanged(false);
    // A series without a position says so on its tab; a damaged file also in
    // a message, since its legs are not shown.
    positionTab_->SetStatusText(
        read.state == PositionFileRead::State::Read ? QString() : QString::fromStdString(read.message));
    if (read.state == PositionFileRead::State::Damaged)
        messages_.Info(read.message);
}

bool PageAnalysisViews::SavePosition(const QString& seriesFile)
{
    if (seriesFile.isEmpty())
        return true;
    try {
        WritePositionFile(PositionFileFor(seriesFile.toStdString()), positionTab_->GetPosition());
    } catch (const AnalysisFileError& error) {
        messages_.Info(error.what());
        return false;
    }
    series_.SetPositionChanged(false);
    return true;
}

void PageAnalysisViews::TakePosition(PageAnalysisViews& other, PageSeries& otherSeries)
{
    if (&other == this)
        return;
    positionTab_->SetPosition(other.positionTab_->GetPosition());
    series_.SetPositionChanged(otherSeries.PositionChanged());
    otherSeries.SetPositionChanged(false);
}

bool PageAnalysisViews::PositionEmpty() const
{
    return positionTab_->GetPosition().legs.empty();
}

}  // namespace kestrava
