#include "optionpage/TradeFiguresBox.h"

#include <QGridLayout>
#include <QLabel>

#include <cmath>

#include "common/localeparse.h"
#include "optionpage/PositionFiguresBox.h"

namespace kestrava {
namespace {

const char* const kNetQuotesCaption = "Net at bid/ask";
const char* const kNetQuotesHint =
    "The options as one order: each bought at its ask and sold at its bid, per spread (the quantities "
    "over their greatest common divisor); legs of the underlying are not part of it";
const char* const kNetMidsCaption = "Net at mid";
const char* const kNetMidsHint = "The same order at the mids of the bids and asks";
const char* const kMaxLossCaption = "Max loss";
const char* const kMaxLossHint = "The most the expiry curve loses at any price, with the commissions";
const char* const kMaxProfitCaption = "Max profit";
const char* const kMaxProfitHint = "The most the expiry curve gains at any price, with the commissions";
const char* const kReturnCaption = "Return on risk";
const char* const kReturnHint = "Max profit over max loss";
const char* const kCredit = "credit";
const char* const kDebit = "debit";
const char* const kEven = "even";
const char* const kNoQuotes = "no bid and ask";
const char* const kUnlimited = "unlimited";
const char* const kNone = "none";
constexpr int kPairs = 2;

}  // namespace

TradeFiguresBox::TradeFiguresBox(const LocaleInfo& locale, QWidget* parent) : QWidget(parent), locale_(locale)
{
    setObjectName(QStringLiteral("TradeFigures"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 4, 0, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    struct Figure {
        QLabel** value;
        const char* name;
        const char* caption;
        const char* hint;
    };
    const Figure shown[] = {
        {&lblNetQuotes, "lblNetQuotes", kNetQuotesCaption, kNetQuotesHint},
        {&lblNetMids, "lblNetMids", kNetMidsCaption, kNetMidsHint},
        {&lblMaxLoss, "lblMaxLoss", kMaxLossCaption, kMaxLossHint},
        {&lblMaxProfit, "lblTradeMaxProfit", kMaxProfitCaption, kMaxProfitHint},
        {&lblReturnOnRisk, "lblReturnOnRisk", kReturnCaption, kReturnHint},
    };
    int at = 0;
    for (const Figure& figure : shown) {
        *figure.value = ValueLabel(figure.name, figure.hint, this);
        auto* caption = new QLabel(QString::fromLatin1(figure.caption), this);
        caption->setToolTip(QString::fromLatin1(figure.hint));
        grid->addWidget(caption, at / kPairs, (at % kPairs) * 2);
        grid->addWidget(*figure.value, at / kPairs, (at % kPairs) * 2 + 1);
        figures_.emplace_back(caption, *figure.value);
        ++at;
    }
    for (int c : {1, 3})
        grid->setColumnStretch(c, 1);
    Clear();
}

QString TradeFiguresBox::Money(double value) const
{
    return QString::fromStdString(FormatLocaleFixed(value, 2, locale_.decimalSeparator));
}

QString TradeFiguresBox::Net(const std::optional<double>& net, int spreads) const
{
    if (!net)
        return QString::fromLatin1(kNoQuotes);
    // Prices to four decimals at most, two at least: 0.44, 0.455.
    std::string number = FormatLocaleFixed(std::fabs(*net), 4, locale_.decimalSeparator);
    while (number.size() > 3 && number.back() == '0' && number[number.size() - 3] != locale_.decimalSeparator)
        number.pop_back();
    const bool even = std::fabs(*net) < 0.00005;
    QString text = even ? QString::fromLatin1(kEven)
                        : QString::fromLatin1(*net < 0 ? kCredit : kDebit) + QLatin1Char(' ')
                              + QString::fromStdString(number);
    if (spreads > 1)
        text += QStringLiteral(" × %1").arg(spreads);
    return text;
}

void TradeFiguresBox::ShowTrade(const TradeFigures& trade)
{
    lblNetQuotes->setText(Net(trade.netAtQuotes, trade.spreads));
    lblNetMids->setText(Net(trade.netAtMids, trade.spreads));
    lblMaxLoss->setText(trade.lossUnlimited ? QString::fromLatin1(kUnlimited) : Money(trade.maxLoss));
    lblMaxProfit->setText(trade.profitUnlimited ? QString::fromLatin1(kUnlimited) : Money(trade.maxProfit));
    lblReturnOnRisk->setText(trade.profitUnlimited && !trade.lossUnlimited ? QString::fromLatin1(kUnlimited)
                             : trade.returnOnRisk
                                 ? QString::fromStdString(FormatLocaleFixed(*trade.returnOnRisk * 100, 1,
                                                                            locale_.decimalSeparator))
                                       + QStringLiteral(" %")
                                 : QString::fromLatin1(kNone));
}

void TradeFiguresBox::Clear()
{
    for (const auto& figure : figures_)
        figure.second->clear();
}

std::vector<std::pair<QString, QString>> TradeFiguresBox::Shown() const
{
    std::vector<std::pair<QString, QString>> shown;
    for (const auto& [caption, value] : figures_)
        shown.emplace_back(caption->text(), value->text());
    return shown;
}

}  // namespace kestrava
