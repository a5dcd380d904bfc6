// The option page's quotes: the contract list from the series' quote file,
// the chosen contract's quotes in every expiry, and the refresh after a
// download.

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>

#include <exception>

#include "common/codepage.h"
#include "common/filesymbol.h"
#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "marketdata/OptPriceReader.h"
#include "optionpage/Opage27.h"
#include "optionpage/QuoteLoad.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

const char* const kNoOptionData = "No CBOE option data available.";

// Series texts are held in the series file's single-byte code page.
QString FromSeriesText(const std::string& text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string ToSeriesText(const QString& text)
{
    return Utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<std::size_t>(text.size())));
}

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
    const QPointer<TfrmOPage> self(this);
    TCboePriceReader reader(notifier_, environment_.locale);
    reader.FileName = file.toStdString();
    // An unusable file is reported (a message box lets events run) and
    // moved aside by the reader.
    reader.ListRoots();
    if (!self || closed_ || reader.Roots.empty())
        return;
    const QSignalBlocker quiet(cmboOptSymbols);
    cmboOptSymbols->clear();
    for (const std::string& root : reader.Roots)
        cmboOptSymbols->addItem(QString::fromStdString(root));
    // A saved contract the file no longer offers selects nothing.
    const QString saved = FromSeriesText(series_.front()->OptContract);
    cmboOptSymbols->setCurrentIndex(saved.isEmpty() ? 0 : cmboOptSymbols->findText(saved, Qt::MatchFixedString));
    cmboOptSymbols->show();
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

    const QPointer<TfrmOPage> self(this);
    const char separator = environment_.locale.decimalSeparator;
    QString caption;
    for (int tab = 0; tab < TabControl1->count(); ++tab) {
        TInOutObj* p = SeriesAt(tab);
        if (!p)
            continue;
        UnderlyingQuote underlying;
        bool loaded = false;
        try {
            loaded = LoadExpiryQuotes(*p, file.toStdString(), contract, notifier_, environment_.locale, underlying);
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
        }
        // The reader's message box has let events run.
        if (!self || closed_)
            return false;
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
    }
    // Every expiry is valued on the quote date.
    for (const auto& series : series_)
        series->TodayDate = pageToday_;
    lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
    ShowDaysLeft();
    setWindowTitle(title_ + caption);
    return true;
}

void TfrmOPage::cmboOptSymbolsChange()
{
    const QPointer<TfrmOPage> self(this);
    if (!LoadQuotesIntoSeries() || !self || closed_)
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
    const QPointer<TfrmOPage> self(this);
    FillContractList();
    if (!self || closed_)
        return;
    if (cmboOptSymbols->count() > 0) {
        cmboOptSymbolsChange();
    } else {
        cmboOptSymbols->hide();
        ReCalc();
    }
}

}  // namespace kestrava
