#include "optionpage/PositionLegsModel.h"

#include <cmath>

#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kHeaders[PositionLegsModel::ColumnCount] = {
    "Expiry",      "Strike", "Side",  "Quantity", "Price $",        "Mark $", "IV\n%",
    "Vol\nused %", "Theo $", "Delta", "Gamma",    "Decay\n$ / Day", "Vega"};
const char* const kCall = "Call";
const char* const kPut = "Put";
const char* const kUnderlying = "Underlying";
const char* const kNotInSeries = "Not an option of this series: left out of the figures.";
const char* const kBadQuantity = "A quantity is a whole number, negative for options sold.";
const char* const kBadPrice = "A price is a number of 0 or more.";
const char* const kModel = "model";
const char* const kIntrinsic = "intrinsic";
const char* const kAtMidHint = "The mid of the bid and the ask";
const char* const kAtModelHint = "No bid and ask: the model's value of the last calculation";
const char* const kIntrinsicHint = "The expiry has come: the intrinsic value";
const char* const kIvHint = "The volatility at which the expiry's model gives the mark";
const char* const kNoIvHint = "No volatility gives the mark under the expiry's model";
const char* const kVolUsedHint =
    "The volatility the scenario prices the leg at: its IV (or the page's volatility under the Flat "
    "rule) with the volatility shifts; Theo and the greeks are at it, at today's date and price";
const char* const kNoValueHint = "The position could not be valued; the line under the figures says why.";
// The decimals of the greeks: enough that quantity times multiplier times
// each adds up to the totals' cents.
constexpr int kGreekDecimals = 4;

// Two decimals, or up to four when the price has them: 2.50, 0.0625.
QString PriceText(double price, char dot)
{
    std::string text = FormatLocaleFixed(price, 4, dot);
    while (text.size() > 3 && text.back() == '0' && text[text.size() - 3] != dot)
        text.pop_back();
    return QString::fromStdString(text);
}

}  // namespace

PositionLegsModel::PositionLegsModel(const LocaleInfo& locale, QObject* parent)
    : QAbstractTableModel(parent), locale_(locale)
{
}

void PositionLegsModel::SetPosition(const Position& position)
{
    beginResetModel();
    position_ = position;
    figures_.clear();
    endResetModel();
}

void PositionLegsModel::SetExpiries(std::vector<TInOutObj> expiries)
{
    expiries_ = std::move(expiries);
}

void PositionLegsModel::SetFigures(std::vector<LegFigures> figures)
{
    figures_ = std::move(figures);
    if (!position_.legs.empty())
        emit dataChanged(index(0, Mark), index(rowCount() - 1, ColumnCount - 1));
}

void PositionLegsModel::SetMultiplier(double multiplier)
{
    position_.multiplier = multiplier;
}

void PositionLegsModel::SetCommissions(double perContract, double perShare)
{
    position_.commissions.perContract = perContract;
    position_.commissions.perShare = perShare;
    position_.commissions.written = true;
}

void PositionLegsModel::AddLeg(const PositionLeg& leg)
{
    beginResetModel();
    kestrava::AddLeg(position_, leg);
    figures_.clear();
    endResetModel();
}

void PositionLegsModel::RemoveLeg(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    position_.legs.erase(position_.legs.begin() + row);
    // The figures left are those of other legs now; the tab values afresh.
    figures_.clear();
    endRemoveRows();
}

int PositionLegsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(position_.legs.size());
}

int PositionLegsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const LegFigures* PositionLegsModel::FiguresOf(int row) const
{
    for (const LegFigures& figures : figures_)
        if (figures.index == row)
            return &figures;
    return nullptr;
}

QString PositionLegsModel::Text(int row, int column) const
{
    const PositionLeg& leg = position_.legs[static_cast<std::size_t>(row)];
    const char dot = locale_.decimalSeparator;
    switch (column) {
    case Expiry:
        return leg.IsOption() ? QString::fromStdString(FormatLocaleDate(leg.expiry, locale_))
                              : QString::fromLatin1(kUnderlying);
    case Strike:
        if (!leg.IsOption())
            return {};
        return QString::fromStdString(FormatLocaleFixed(
            leg.strike, std::fabs(leg.strike - std::round(leg.strike)) > 0.0001f ? 2 : 0, dot));
    case Side:
        return leg.IsOption() ? QString::fromLatin1(leg.side == 2 ? kPut : kCall) : QString();
    case Quantity:
        return QString::number(leg.quantity);
    case Price:
        return PriceText(leg.price, dot);
    default:
        break;
    }
    const LegFigures* figures = FiguresOf(row);
    return figures ? FigureText(*figures, column) : QStringLiteral("-");
}

QString PositionLegsModel::FigureText(const LegFigures& figures, int column) const
{
    const char dot = locale_.decimalSeparator;
    const auto fixed = [dot](double value, int decimals) {
        return QString::fromStdString(FormatLocaleFixed(value, decimals, dot));
    };
    const auto percent = [&](double vol) { return vol > 0 ? fixed(vol * 100, 2) : QString(); };
    const bool option = figures.kind == LegKind::Option;
    switch (column) {
    case Mark: {
        QString text = PriceText(figures.mark, dot);
        if (option && figures.expired)
            text += QStringLiteral(" ") + QString::fromLatin1(kIntrinsic);
        else if (option && !figures.atMid)
            text += QStringLiteral(" ") + QString::fromLatin1(kModel);
        return text;
    }
    case Iv:
        return option ? (figures.iv > 0 ? percent(figures.iv) : QStringLiteral("-")) : QString();
    case VolUsed:
        return percent(figures.volUsed);
    case Theo:
        return PriceText(figures.theo, dot);
    case Delta:
        return fixed(figures.delta, kGreekDecimals);
    case Gamma:
        return fixed(figures.gamma, kGreekDecimals);
    case Decay:
        return fixed(figures.decay, kGreekDecimals);
    case Vega:
        return fixed(figures.vega, kGreekDecimals);
    default:
        return {};
    }
}

QVariant PositionLegsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PositionLeg& leg = position_.legs[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() <= Side ? QVariant(Qt::AlignCenter)
                                      : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return ToolTip(leg, index.row(), index.column());
    default:
        return {};
    }
}

QVariant PositionLegsModel::ToolTip(const PositionLeg& leg, int row, int column) const
{
    if (column < Mark)
        return {};
    const LegFigures* figures = FiguresOf(row);
    if (!figures) {
        if (!leg.IsOption())
            return QString::fromLatin1(kNoValueHint);
        std::vector<const TInOutObj*> expiries;
        for (const TInOutObj& p : expiries_)
            expiries.push_back(&p);
        return QString::fromLatin1(FindLeg(expiries, leg).Found() ? kNoValueHint : kNotInSeries);
    }
    if (!leg.IsOption())
        return {};
    if (column == Mark)
        return QString::fromLatin1(figures->expired ? kIntrinsicHint
                                   : figures->atMid ? kAtMidHint
                                                    : kAtModelHint);
    if (column == Iv)
        return QString::fromLatin1(figures->iv > 0 || figures->expired ? kIvHint : kNoIvHint);
    if (column == VolUsed)
        return QString::fromLatin1(kVolUsedHint);
    return {};
}

bool PositionLegsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount())
        return false;
    PositionLeg& leg = position_.legs[static_cast<std::size_t>(index.row())];
    const std::string text = value.toString().toStdString();
    if (index.column() == Quantity) {
        std::int32_t quantity = 0;
        if (!TryParseInt32(text, quantity) || std::abs(static_cast<long long>(quantity)) > 1000000) {
            emit legEdited(QString::fromLatin1(kBadQuantity));
            return false;
        }
        leg.quantity = quantity;
    } else if (index.column() == Price) {
        double price = 0;
        if (!TryParseDecimal(text, locale_.decimalSeparator, price) || price < 0 || price > 1e9) {
            emit legEdited(QString::fromLatin1(kBadPrice));
            return false;
        }
        leg.price = price;
    } else {
        return false;
    }
    emit dataChanged(index, index);
    emit legEdited(QString());
    return true;
}

QVariant PositionLegsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeaders[section]) : QVariant();
}

Qt::ItemFlags PositionLegsModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == Quantity || index.column() == Price)
        flags |= Qt::ItemIsEditable;
    return flags;
}

}  // namespace kestrava
