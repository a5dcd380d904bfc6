// Calculate: the typed quotes, the implied volatilities, the models of
// every expiry, and the grid that shows the current one; and the history
// button, whose price file's volatility and close every expiry takes.

#include <QButtonGroup>
#include <QScopedValueRollback>
#include <QTimer>

#include <string>
#include <vector>

#include "common/busy.h"
#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PagePrivate.h"
#include "pricing/GridColumns.h"
#include "pricing/gridtext.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"
#include "pricing/recalc.h"

namespace kestrava {

using namespace pageparts;

void TfrmOPage::PushInputs()
{
    series_.ApplyInputs(inputBar_->Inputs());
}

void TfrmOPage::QuoteCellEdited(int col, int row, const QString& text)
{
    if (closed_ || (col != kBidColumn && col != kAskColumn))
        return;
    const PageCommand command(notifier_);
    TInOutObj* p = series_.GridSeries();
    const int n = p ? p->NumStrikes : 0;
    // A row without an option takes nothing.
    if (row < 1 || row > 2 * n) {
        TheGrid->SetCellText(col, row, QString());
        return;
    }
    const int s = row <= n ? row : row - n;
    const int k = row <= n ? 1 : 2;
    const char separator = environment_.locale.decimalSeparator;
    const QString typed = text.trimmed();
    float value = 0;
    quoteRefused_ = !typed.isEmpty() && !TryParseSingle(typed.toStdString(), separator, value);
    if (quoteRefused_) {
        // Told once the view has closed its editor: a message box now would
        // take the focus from the editor that is still handing over its text.
        const std::string message = InvalidFloat(typed);
        QTimer::singleShot(0, this, [this, message] {
            if (!closed_)
                notifier_.Info(message);
        });
    } else {
        (col == kBidColumn ? p->Bid(s, k) : p->Ask(s, k)) = value;
    }
    // The cell shows what the expiry holds.
    TheGrid->SetCellText(col, row, QString::fromStdString(GridCellText(*p, s, k, col, separator)));
    if (!quoteRefused_) {
        SolveGridIvs();
        RefreshAnalysisViews();
    }
}

void TfrmOPage::SolveGridIvs()
{
    TInOutObj* p = series_.GridSeries();
    if (!p)
        return;
    // Calculate in the flat mode solves every expiry with days left next,
    // and the grid shows them after.
    if (recalculating_ && p->DaysToExpiry() > 0 && inputBar_->SelectedVolSource() == VolSource::Flat)
        return;
    const int n = p->NumStrikes;
    try {
        PageSeries::SolveIvs(*p);
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return;
    }
    const char separator = environment_.locale.decimalSeparator;
    const GridBatch batch(TheGrid->Cells());
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            for (const int col : {GridColumnOf(&TInOutObj::BidIV), GridColumnOf(&TInOutObj::AskIV)})
                TheGrid->SetCellText(col, row,
                                     QString::fromStdString(GridCellText(*p, s, k, col, separator)));
        }
    }
}

bool TfrmOPage::ReadQuoteCells()
{
    if (closed_ || readingQuotes_)
        return true;
    const PageCommand command(notifier_);
    const QScopedValueRollback reading(readingQuotes_, true);
    quoteRefused_ = false;
    // A bid or ask still being typed counts: the tab may change or Calculate
    // run by its shortcut while the cell editor holds the text. It goes to
    // the expiry whose grid it was typed into, and that expiry is solved.
    if (!TheGrid->CommitEdit())
        SolveGridIvs();
    return !quoteRefused_;
}

void TfrmOPage::ReCalc()
{
    if (recalculating_ || closed_)
        return;
    const PageCommand command(notifier_);
    const QScopedValueRollback recalculating(recalculating_, true);
    const std::string message = RecalcAllExpiries();
    if (!message.empty())
        notifier_.Info(message);
}

std::string TfrmOPage::RecalcAllExpiries()
{
    try {
        // ReadQuoteCells tells the user itself when the typed text is no
        // number; in every mode a bid or ask still being typed counts.
        if (!ReadQuoteCells())
            return {};
        std::string unpriced = series_.RecalcAll(inputBar_->SelectedVolSource());
        FillGrid();
        return unpriced;
    } catch (const std::exception& error) {
        return error.what();
    }
}

void TfrmOPage::FillGrid()
{
    const TInOutObj* p = CurrentSeries();
    if (!p)
        return;
    // The grid holds this expiry's values from now on; an editor still open
    // belongs to the expiry shown before.
    TheGrid->CommitEdit();
    series_.SetGridIndex(TabControl1->tabData(currentTab_).toInt());
    const char separator = environment_.locale.decimalSeparator;
    const int n = p->NumStrikes;
    GridCells* cells = TheGrid->Cells();
    int widest = 0;
    {
        const GridBatch batch(cells);
        for (int s = 1; s <= n; ++s) {
            for (int k = 1; k <= 2; ++k) {
                const int row = k == 1 ? s : s + n;
                const QString labelText = QString::fromStdString(
                    WithDecimalSeparator(StrikeLabel(p->Strike(s, k), k == 1, series_.StrikeStep()),
                                         separator)
                    + p->OptCode(s, k));
                cells->SetCell(0, row, labelText);
                widest = std::max(widest, TheGrid->FixedTextWidth(labelText));
                for (int col = 1; col < kColumns; ++col)
                    cells->SetCell(col, row, QString::fromStdString(GridCellText(*p, s, k, col, separator)));
            }
        }
    }
    if (widest > TheGrid->ColWidth(0))
        TheGrid->SetColWidth(0, widest);
    RefreshAnalysisViews();
    if (!building_)
        FitHeightToRows(Frame());
}

// The history button: the price file's volatility, last close and date
// into every expiry.
bool TfrmOPage::CalcSig()
{
    const PageCommand command(notifier_);
    if (names_.priceWorkFile.isEmpty())
        return false;
    BusyScope busy;
    TSigmaObj sigma(notifier_);
    sigma.Days = WindowDays(inputBar_->seSigDays->Value(), 400);
    sigma.FileName = names_.priceWorkFile.toStdString();
    try {
        sigma.Calculate();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    // No volatility (the reader has said why): the series keep their values.
    if (!(sigma.Sigma > 0))
        return false;
    series_.TakeHistory(sigma.Sigma, sigma.Days, sigma.LastClose, sigma.LastDate);
    inputBar_->ShowUnderlying(sigma.LastClose);
    inputBar_->ShowSigma(sigma.Sigma);
    inputBar_->seSigDays->SetValue(sigma.Days);
    inputBar_->ShowToday(series_.Today());
    // The boxes' handlers have pushed the date; make sure every expiry has it
    // even when no box text changed.
    PushInputs();
    // The valuation date is now the file's last day; the days left count
    // from there.
    if (const TInOutObj* p = CurrentSeries())
        inputBar_->ShowExpiryDays(p->DaysToExpiry());
    chart_->Draw();
    return true;
}

}  // namespace kestrava
