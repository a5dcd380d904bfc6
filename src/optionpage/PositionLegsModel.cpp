#include "optionpage/PositionLegsModel.h"

#include <cmath>

#include "common/localeparse.h"
#include "pricing/gridtext.h"

namespace kestrava {
namespace {

const char* const kHeaders[PositionLegsModel::ColumnCount] = {
    "Expiry", "Strike", "Side", "Quantity", "Price $", "Theo $", "Delta", "Gamma", "Decay\n$ / Day", "Vega"};
const char* const kCall = "Call";
const char* const kPut = "Put";
const char* const kUnderlying = "Underlying";
const char* const kNotInSeries = "Not an option of this series: left out of the figures.";
const char* const kBadQuantity = "A quantity is a whole number, negative for options sold.";
const char* const kBadPrice = "A price is a number of 0 or more.";

// The grid's columns of the same figures, for their display formats.
constexpr int kGridTheo = 7;
constexpr int kGridDelta = 8;
constexpr int kGridGamma = 9;
constexpr int kGridDecay = 10;
constexpr int kGridVega = 11;

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
    endResetModel();
}

void PositionLegsModel::SetExpiries(std::vector<TInOutObj> expiries)
{
    expiries_ = std::move(expiries);
    if (!position_.legs.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void PositionLegsModel::SetMultiplier(double multiplier)
{
    position_.multiplier = multiplier;
}

void PositionLegsModel::AddLeg(const PositionLeg& leg)
{
    beginResetModel();
    kestrava::AddLeg(position_, leg);
    endResetModel();
}

void PositionLegsModel::RemoveLeg(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    position_.legs.erase(position_.legs.begin() + row);
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

QString PositionLegsModel::Text(const PositionLeg& leg, int column) const
{
    const char dot = locale_.decimalSeparator;
    if (!leg.IsOption())
        return UnderlyingText(leg, column);
    switch (column) {
    case Expiry:
        return QString::fromStdString(FormatLocaleDate(leg.expiry, locale_));
    case Strike:
        return QString::fromStdString(FormatLocaleFixed(
            leg.strike, std::fabs(leg.strike - std::round(leg.strike)) > 0.0001f ? 2 : 0, dot));
    case Side:
        return QString::fromLatin1(leg.side == 2 ? kPut : kCall);
    case Quantity:
        return QString::number(leg.quantity);
    case Price:
        return PriceText(leg.price, dot);
    default:
        break;
    }
    std::vector<const TInOutObj*> expiries;
    for (const TInOutObj& p : expiries_)
        expiries.push_back(&p);
    const LegPlace place = FindLeg(expiries, leg);
    if (!place.Found())
        return QStringLiteral("-");
    const TInOutObj& p = expiries_[static_cast<std::size_t>(place.expiry)];
    const int grid = column == Theo    ? kGridTheo
                     : column == Delta ? kGridDelta
                     : column == Gamma ? kGridGamma
                     : column == Decay ? kGridDecay
                                       : kGridVega;
    return QString::fromStdString(GridCellText(p, place.s, place.k, grid, dot)).trimmed();
}

QString PositionLegsModel::UnderlyingText(const PositionLeg& leg, int column) const
{
    // Shares or futures: worth today's price, a delta of one a unit, no
    // expiry, strike or time value.
    switch (column) {
    case Expiry:
        return QString::fromLatin1(kUnderlying);
    case Quantity:
        return QString::number(leg.quantity);
    case Price:
        return PriceText(leg.price, locale_.decimalSeparator);
    case Theo:
        return expiries_.empty()
                   ? QStringLiteral("-")
                   : PriceText(ShortestDouble(expiries_.front().Underlying), locale_.decimalSeparator);
    case Delta:
        return QString::fromStdString(FormatLocaleFixed(1, 2, locale_.decimalSeparator));
    case Gamma:
    case Decay:
    case Vega:
        return QString::fromStdString(FormatLocaleFixed(0, 2, locale_.decimalSeparator));
    default:
        return QString();
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
        return Text(leg, index.column());
    case Qt::TextAlignmentRole:
        return index.column() <= Side ? QVariant(Qt::AlignCenter)
                                      : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (index.column() >= Theo && Text(leg, index.column()) == QStringLiteral("-"))
            return QString::fromLatin1(kNotInSeries);
        return {};
    default:
        return {};
    }
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
