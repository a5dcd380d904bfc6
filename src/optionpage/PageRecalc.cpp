// Calculate: the typed quotes, the implied volatilities, the models of
// every expiry, and the grid that shows the current one.

#include <QButtonGroup>
#include <QScopedValueRollback>

#include <string>
#include <vector>

#include "common/busy.h"
#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PagePrivate.h"
#include "pricing/gridtext.h"
#include "pricing/Models.h"
#include "pricing/recalc.h"

namespace kestrava {

using namespace pageparts;

void TfrmOPage::SetHeaders()
{
    for (int c = 0; c < kColumns; ++c)
        TheGrid->SetCellText(c, 0, QString::fromLatin1(GridHeader(c)));
}

void TfrmOPage::SetRowLabels()
{
    if (series_.empty())
        return;
    const TInOutObj& p = *series_.front();
    const int n = p.NumStrikes;
    TheGrid->SetRowCount(std::max(2 * n + 1, kMinRows));
    TheGrid->SetOffset(n + 1);

    strikeStep_ = LabelStrikeStep(p);
    int widest = TheGrid->ColWidth(0);
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const QString label = QString::fromStdString(WithDecimalSeparator(
                StrikeLabel(p.Strike(s, k), k == 1, strikeStep_), environment_.locale.decimalSeparator));
            widest = std::max(widest, TheGrid->FixedTextWidth(label));
            TheGrid->SetCellText(0, k == 1 ? s : s + n, label);
        }
    }
    TheGrid->SetColWidth(0, widest);
}

void TfrmOPage::PushInputs()
{
    for (const auto& series : series_) {
        TInOutObj& p = *series;
        if (fseUlying->Value() > fseUlying->MinValue())
            p.Underlying = static_cast<float>(fseUlying->Value());
        p.TodayDate = pageToday_;
        if (seSigDays->Value() > seSigDays->MinValue())
            p.SigmaDays = seSigDays->Value();
        if (p.Model == kBinomial)
            p.Steps = seSteps->Value();
    }
}

bool TfrmOPage::ReadQuoteCells()
{
    if (closed_ || readingQuotes_)
        return true;
    TInOutObj* p = CurrentSeries();
    if (!p)
        return true;
    const PageCommand command(notifier_);
    const QScopedValueRollback reading(readingQuotes_, true);
    // A bid or ask still being typed counts: the tab may change or Calculate
    // run by its shortcut while the cell editor holds the text.
    TheGrid->CommitEdit();
    const char separator = environment_.locale.decimalSeparator;
    const int n = p->NumStrikes;
    auto read = [&](int col, int row, float& value) {
        const QString text = TheGrid->CellText(col, row).trimmed();
        if (text.isEmpty()) {
            value = 0;
            return true;
        }
        if (TryParseSingle(text.toStdString(), separator, value))
            return true;
        notifier_.Info(InvalidFloat(text));
        return false;
    };
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            if (!read(kBidColumn, row, p->Bid(s, k)) || !read(kAskColumn, row, p->Ask(s, k)))
                return false;
        }
    }
    try {
        if (p->DaysToExpiry() > 0) {
            SolveBidIV(*p);
            SolveAskIV(*p);
        } else {
            // An expired option has no volatility to imply.
            for (int s = 1; s <= n; ++s)
                for (int k = 1; k <= 2; ++k)
                    p->BidIV(s, k) = p->AskIV(s, k) = 0;
        }
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    const GridBatch batch(TheGrid->Cells());
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            for (const int col : {4, 6})
                TheGrid->SetCellText(col, row,
                                     QString::fromStdString(GridCellText(*p, s, k, col, separator)));
        }
    }
    return true;
}

bool TfrmOPage::ReCalcAllIvs()
{
    // The typed bids and asks of the shown expiry count; one reading of the
    // grid serves every expiry.
    bool typedRead = false;
    for (const auto& series : series_) {
        if (series->DaysToExpiry() <= 0)
            continue;
        if (!typedRead) {
            if (!ReadQuoteCells())
                return false;
            typedRead = true;
        }
        SolveBidIV(*series);
        SolveAskIV(*series);
    }
    return true;
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
    const int mode = volatilitySource_->checkedId();
    const VolSource source = mode == 2 ? VolSource::BidIVs : mode == 3 ? VolSource::AskIVs : VolSource::Flat;
    try {
        // ReadQuoteCells tells the user itself which cell holds no number.
        if (source == VolSource::Flat && !ReCalcAllIvs())
            return {};
        // The expiries share their strikes: a bad strike is named once.
        std::string unpriced;
        for (const auto& series : series_) {
            std::vector<int> strikes;
            if (series->Model == kBinomial && series->DaysToExpiry() > 0) {
                BusyScope busy;
                strikes = RecalcExpiry(*series, source);
            } else {
                strikes = RecalcExpiry(*series, source);
            }
            if (unpriced.empty())
                unpriced = UnpricedStrikesMessage(*series, strikes);
        }
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
                    WithDecimalSeparator(StrikeLabel(p->Strike(s, k), k == 1, strikeStep_), separator)
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
        FitHeightToRows();
}

}  // namespace kestrava
