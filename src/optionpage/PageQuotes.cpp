// The option page's quotes: the contract list from the series' quote file,
// the chosen contract's quotes in every expiry, and the refresh after a
// download.

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>

#include <exception>

#include "analysis/AnalysisError.h"
#include "common/filesymbol.h"
#include "common/notifier.h"
#include "common/qt/seriestext.h"
#include "controls/rmSpin.h"
#include "marketdata/OptPriceReader.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pagecore/QuoteLoad.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

const char* const kNoOptionData = "No CBOE option data available.";
const char* const kPageStrikesOnly = " The position's chances take the smile of the page's own strikes.";

}  // namespace

QString TfrmOPage::QuoteFileName() const
{
    if (series_.empty())
        return {};
    // Downloads store the symbol's file in upper case.
    const QString symbol = FromSeriesText(series_.front()->OptSymbol).toUpper();
    if (!IsUsableAsFileName(symbol.toStdString()))
        return {};
    return environment_.dataDirectory + QLatin1Char('/') + symbol + QStringLiteral(".txt");
}

void TfrmOPage::FillContractList()
{
    const QString file = QuoteFileName();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    const PageCommand command(notifier_);
    TCboePriceReader reader(notifier_, environment_.locale);
    reader.FileName = file.toStdString();
    // An unusable file is reported and moved aside by the reader.
    reader.ListRoots();
    if (closed_ || reader.Roots.empty())
        return;
    const QSignalBlocker quiet(cmboOptSymbols);
    cmboOptSymbols->clear();
    for (const std::string& root : reader.Roots)
        cmboOptSymbols->addItem(QString::fromStdString(root));
    // A saved contract the file no longer offers selects nothing.
    const QString saved = FromSeriesText(series_.front()->OptContract);
    cmboOptSymbols->setCurrentIndex(cmboOptSymbols->findText(
        saved.isEmpty() ? QString::fromStdString(reader.DefaultRoot) : saved, Qt::MatchFixedString));
    cmboOptSymbols->setToolTip(
        QStringLiteral("Available option contracts of %1 (%2)")
            .arg(QFileInfo(file).fileName(), QString::fromStdString(QuoteLayoutText(reader.Layout))));
    cmboOptSymbols->show();
    cmdChain->show();
}

bool TfrmOPage::LoadQuotesIntoSeries()
{
    if (series_.empty())
        return true;
    title_ = FromSeriesText(series_.front()->OptSymbol);
    const QString file = QuoteFileName();
    // Gone since the list was filled, or no contract chosen: the page
    // calculates with the quotes it has.
    if (file.isEmpty() || !QFileInfo::exists(file) || cmboOptSymbols->currentIndex() < 0)
        return true;
    const std::string contract = ToSeriesText(cmboOptSymbols->currentText());

    const PageCommand command(notifier_);
    // A bid or ask still being typed goes to its expiry before the file's
    // quotes replace it.
    TheGrid->CommitEdit();
    if (closed_)
        return false;
    const char separator = environment_.locale.decimalSeparator;
    QString caption;
    int setAside = 0;
    int expiredLeftOut = 0;
    for (int tab = 0; tab < TabControl1->count(); ++tab) {
        TInOutObj* p = SeriesAt(tab);
        if (!p)
            continue;
        UnderlyingQuote underlying;
        bool loaded = false;
        try {
            loaded = LoadExpiryQuotes(*p, file.toStdString(), contract, notifier_, environment_.locale,
                                      underlying, &setAside);
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
        }
        if (!loaded) {
            notifier_.Info(kNoOptionData);
            return false;
        }
        // A file without the underlying's line leaves the price as it is.
        if (underlying.last > 0) {
            fseUlying->setText(QString::fromStdString(UnderlyingBoxText(underlying.last, separator)));
            p->Underlying = underlying.last;
        }
        if (underlying.quoteDate > 0)
            pageToday_ = underlying.quoteDate;
        caption = QString::fromStdString(QuoteCaptionText(underlying, separator));
        // A quote table's caption stays as it always was; the other layout is named.
        if (underlying.layout != QuoteLayout::QuoteTable)
            caption += QStringLiteral("  (%1)").arg(
                QString::fromStdString(QuoteLayoutText(underlying.layout)));
        expiredLeftOut += underlying.expiredLeftOut;
    }
    if (setAside > 0)
        notifier_.Warning(SetAsideMessage(setAside, file.toStdString()));
    if (expiredLeftOut > 0)
        notifier_.Warning(ExpiredLeftOutMessage(expiredLeftOut));
    ReadMarket(file, contract);
    if (closed_)
        return false;
    // Every expiry is valued on the quote date.
    for (const auto& series : series_)
        series->TodayDate = pageToday_;
    lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
    ShowDaysLeft();
    setWindowTitle(title_ + caption);
    return true;
}

void TfrmOPage::ReadMarket(const QString& file, const std::string& contract)
{
    ChainInputs inputs;
    inputs.rates.defaults = environment_.defaultRates;
    inputs.forward = ForwardSource::Parity;
    std::vector<TDateTime> expiries;
    for (const auto& series : series_)
        expiries.push_back(series->ExpiryDate);
    // The quotes loaded are the table's: an older market goes with the older quotes.
    market_.reset();
    try {
        if (std::optional<TableMarket> market = ReadTableMarket(file.toStdString(), contract, expiries,
                                                                inputs))
            market_ = std::make_shared<const TableMarket>(std::move(*market));
    } catch (const AnalysisError& error) {
        notifier_.Info(std::string(error.what()) + kPageStrikesOnly);
    }
}

void TfrmOPage::cmboOptSymbolsChange()
{
    const PageCommand command(notifier_);
    if (!LoadQuotesIntoSeries() || closed_)
        return;
    FillGrid();
    try {
        if (!ReCalcAllIvs())
            return;
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return;
    }
    ReCalc();
}

void TfrmOPage::RefreshAfterDownload()
{
    const PageCommand command(notifier_);
    FillContractList();
    if (closed_)
        return;
    if (cmboOptSymbols->count() > 0) {
        cmboOptSymbolsChange();
    } else {
        cmboOptSymbols->hide();
        cmdChain->hide();
        ReCalc();
    }
}

}  // namespace kestrava
