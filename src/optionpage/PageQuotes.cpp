// The option page's quotes: the contract list from the series' quote file,
// the chosen contract's quotes in every expiry, and the refresh after a
// download.

#include <QComboBox>
#include <QFileInfo>
#include <QToolButton>

#include <exception>

#include "common/qt/seriestext.h"
#include "controls/rmSpin.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PagePrivate.h"
#include "pagecore/QuoteLoad.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

using namespace pageparts;

bool TfrmOPage::LoadQuotesIntoSeries()
{
    if (series_.empty())
        return true;
    names_.title = FromSeriesText(series_.front().OptSymbol);
    const QString file = QuoteFileOf(series_, environment_.dataDirectory);
    // Gone since the list was filled, or no contract chosen: the page
    // calculates with the quotes it has.
    if (file.isEmpty() || !QFileInfo::exists(file) || inputBar_->cmboOptSymbols->currentIndex() < 0)
        return true;
    const std::string contract = ToSeriesText(inputBar_->cmboOptSymbols->currentText());

    const PageCommand command(notifier_);
    // A bid or ask still being typed goes to its expiry before the file's
    // quotes replace it.
    TheGrid->CommitEdit();
    if (closed_)
        return false;
    const SeriesQuotes quotes = series_.LoadQuotes(file.toStdString(), contract, environment_.defaultRates);
    if (!quotes.loaded || closed_)
        return false;
    const char separator = environment_.locale.decimalSeparator;
    // A file without the underlying's line leaves the price as it is.
    if (quotes.underlying > 0)
        inputBar_->fseUlying->setText(
            QString::fromStdString(UnderlyingBoxText(quotes.underlying, separator)));
    QString caption = QString::fromStdString(QuoteCaptionText(quotes.last, separator));
    // A quote table's caption stays as it always was; the other layout is named.
    if (quotes.last.layout != QuoteLayout::QuoteTable)
        caption += QStringLiteral("  (%1)").arg(QString::fromStdString(QuoteLayoutText(quotes.last.layout)));
    inputBar_->ShowToday(series_.Today());
    inputBar_->ShowDaysLeft();
    setWindowTitle(names_.title + caption);
    return true;
}

void TfrmOPage::cmboOptSymbolsChange()
{
    const PageCommand command(notifier_);
    if (!LoadQuotesIntoSeries() || closed_)
        return;
    FillGrid();
    // The flat mode's Calculate solves the new quotes' volatilities itself;
    // the other modes price with them, so they are solved first.
    if (inputBar_->SelectedVolSource() != VolSource::Flat) {
        try {
            // A bid or ask still being typed counts.
            if (!ReadQuoteCells())
                return;
            series_.SolveAllIvs();
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
            return;
        }
    }
    ReCalc();
}

void TfrmOPage::RefreshAfterDownload()
{
    const PageCommand command(notifier_);
    if (const QString file = QuoteFileOf(series_, environment_.dataDirectory);
        !file.isEmpty() && QFileInfo::exists(file)) {
        inputBar_->FillContractList(file, FromSeriesText(series_.front().OptContract));
        if (closed_)
            return;
    }
    if (inputBar_->cmboOptSymbols->count() > 0) {
        cmboOptSymbolsChange();
    } else {
        inputBar_->cmboOptSymbols->hide();
        inputBar_->cmdChain->hide();
        ReCalc();
    }
}

}  // namespace kestrava
