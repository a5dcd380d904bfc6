// The page's views beyond the grid: the volatility smile of the expiry last
// shown, the position of the page's series with its risk graph (kept in a
// file beside the series file), both on paper too, Buy 1 and Sell 1 from the
// grid, and the grid's copy to the clipboard.

#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QStackedLayout>
#include <QTabBar>

#include <string>

#include "analysis/AnalysisError.h"
#include "analysis/Position.h"
#include "analysis/PositionFile.h"
#include "optionpage/GridCopy.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PagePrivate.h"
#include "optionpage/PositionTab.h"
#include "optionpage/SmileView.h"

namespace kestrava {

using namespace pageparts;

void TfrmOPage::BuildAnalysisViews()
{
    smileView_ = new SmileView(environment_.locale, this);
    smileView_->setObjectName(QStringLiteral("SmileView"));
    pages_->addWidget(smileView_);
    positionTab_ = new PositionTab(environment_.locale, this);
    positionTab_->setObjectName(QStringLiteral("PositionTab"));
    pages_->addWidget(positionTab_);
    connect(positionTab_, &PositionTab::positionChanged, this, [this] { series_.SetPositionChanged(true); });

    InstallGridCopy(TheGrid);
    buyOne_ = new QAction(QStringLiteral("Buy 1"), this);
    buyOne_->setObjectName(QStringLiteral("BuyOneItem"));
    buyOne_->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
    sellOne_ = new QAction(QStringLiteral("Sell 1"), this);
    sellOne_->setObjectName(QStringLiteral("SellOneItem"));
    sellOne_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+B")));
    for (QAction* action : {buyOne_, sellOne_}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        TheGrid->addAction(action);
    }
    connect(buyOne_, &QAction::triggered, this, [this] { AddLegFromGrid(1); });
    connect(sellOne_, &QAction::triggered, this, [this] { AddLegFromGrid(-1); });
    TheGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TheGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = TheGrid->indexAt(at);
        if (!index.isValid())
            return;
        TheGrid->setCurrentIndex(index);
        QMenu menu(this);
        menu.addAction(buyOne_);
        menu.addAction(sellOne_);
        menu.exec(TheGrid->viewport()->mapToGlobal(at));
    });
}

void TfrmOPage::AddAnalysisTabs()
{
    // The Position tab follows the expiries; the Smile tab comes before the
    // Chart tab, when there is one.
    const int position = TabControl1->insertTab(ExpiryCount(), QStringLiteral("Position"));
    TabControl1->setTabData(position, kPositionTabMarker);
    const int smile = TabControl1->insertTab(ExpiryCount() + 1, QStringLiteral("Smile"));
    TabControl1->setTabData(smile, kSmileTabMarker);
}

bool TfrmOPage::IsExpiryTab(int index) const
{
    return index >= 0 && index < TabControl1->count() && TabControl1->tabData(index).toInt() >= 0;
}

void TfrmOPage::ShowAnalysisTab(int index)
{
    const int marker = TabControl1->tabData(index).toInt();
    if (marker == kSmileTabMarker) {
        pages_->setCurrentWidget(smileView_);
    } else if (marker == kPositionTabMarker) {
        pages_->setCurrentWidget(positionTab_);
    }
}

void TfrmOPage::PrintAnalysisTab(QPrinter& printer)
{
    if (!environment_.printPlot)
        return;
    const int marker = TabControl1->tabData(currentTab_).toInt();
    if (marker == kSmileTabMarker)
        environment_.printPlot(printer, smileView_->Printout(title_));
    else if (marker == kPositionTabMarker)
        environment_.printPlot(printer, positionTab_->Printout(title_));
}

void TfrmOPage::RefreshAnalysisViews()
{
    if (!smileView_ || closed_)
        return;
    if (const TInOutObj* p = SeriesAt(lastExpiryTab_))
        smileView_->ShowSmile(*p);
    const std::vector<const TInOutObj*> expiries = Expiries();
    positionTab_->SetSeriesTitle(title_);
    positionTab_->SetMarket(series_.Market());
    positionTab_->ShowExpiries(expiries);
}

void TfrmOPage::AddLegFromGrid(int quantity)
{
    const PageCommand command(notifier_);
    // A bid or ask still being typed is the price the leg is made at.
    TheGrid->CommitEdit();
    const TInOutObj* p = GridSeries();
    const QModelIndex current = TheGrid->currentIndex();
    if (!p || !ExpiryTabSelected() || !current.isValid())
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

void TfrmOPage::LoadPosition()
{
    if (seriesFile_.isEmpty())
        return;
    const PositionFileRead read = ReadPositionFile(PositionFileFor(seriesFile_.toStdString()));
    positionTab_->SetPosition(read.position);
    series_.SetPositionChanged(false);
    // A series without a position says so on its tab; a damaged file also in
    // a message, since its legs are not shown.
    positionTab_->SetStatusText(
        read.state == PositionFileRead::State::Read ? QString() : QString::fromStdString(read.message));
    if (read.state == PositionFileRead::State::Damaged)
        notifier_.Info(read.message);
}

bool TfrmOPage::SavePosition()
{
    if (seriesFile_.isEmpty() || !positionTab_)
        return true;
    try {
        WritePositionFile(PositionFileFor(seriesFile_.toStdString()), positionTab_->GetPosition());
    } catch (const AnalysisFileError& error) {
        notifier_.Info(error.what());
        return false;
    }
    series_.SetPositionChanged(false);
    return true;
}

void TfrmOPage::TakePosition(TfrmOPage& other)
{
    if (&other == this || !other.positionTab_ || !positionTab_)
        return;
    positionTab_->SetPosition(other.positionTab_->GetPosition());
    series_.SetPositionChanged(other.series_.PositionChanged());
    other.series_.SetPositionChanged(false);
}

bool TfrmOPage::MayClose()
{
    if (!series_.PositionChanged())
        return true;
    const QPointer<TfrmOPage> alive(this);
    const std::string name =
        (title_.isEmpty() ? QFileInfo(seriesFile_).completeBaseName() : title_).toStdString();
    const Answer answer = notifier_.AskYesNoCancel("Save the changes to the position of " + name + "?");
    if (!alive || answer == Answer::Cancel)
        return false;
    if (answer == Answer::No) {
        series_.SetPositionChanged(false);
        return true;
    }
    // A series saved before, or opened from a file, is saved in place; a
    // new one needs a file name first.
    if (QFileInfo(seriesFile_).isAbsolute())
        return SavePage() && alive;
    return environment_.saveSeriesAs && environment_.saveSeriesAs(this) && alive
           && !series_.PositionChanged();
}

void TfrmOPage::SetSeriesFile(const QString& path)
{
    const bool other = path != seriesFile_;
    seriesFile_ = path;
    // A page that takes over a series file (a changed series replacing its
    // page) shows the position saved with it, unless its own was changed.
    if (other && !series_.PositionChanged() && positionTab_ && positionTab_->GetPosition().legs.empty()
        && QFileInfo::exists(QString::fromStdString(PositionFileFor(path.toStdString()))))
        LoadPosition();
}

}  // namespace kestrava
