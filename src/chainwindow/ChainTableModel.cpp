#include "chainwindow/ChainTableModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/localeparse.h"
#include "common/numtext.h"

namespace kestrava {
namespace {

const char* const kHeaders[ChainTableModel::kColumnCount] = {
    "Expiry", "Strike",   "Side",     "Code",     "Bid",      "Ask",   "Mid",       "Last",      "Net",
    "Volume", "Open int", "Bid IV %", "Ask IV %", "Mid IV %", "Delta", "File IV %", "File delta"};
const char* const kNotSolvedYet = "Not solved yet";
// A pale amber behind the rows where the trading is.
const QColor kMarkColour(255, 236, 179);

QString Shortest(double value, char separator)
{
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    const std::string plain = error == std::errc() ? std::string(text, end) : FormatSig9(value);
    return QString::fromStdString(WithDecimalSeparator(plain, separator));
}

QString Fixed(double value, int decimals, char separator)
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, separator));
}

// The table's rows by their expiry's index.
struct ExpiryOrder {
    template <typename Row>
    bool operator()(const Row& row, std::uint32_t expiry) const
    {
        return row.expiry < expiry;
    }
    template <typename Row>
    bool operator()(std::uint32_t expiry, const Row& row) const
    {
        return expiry < row.expiry;
    }
};

bool IsNumberColumn(int column)
{
    return column != ChainTableModel::kExpiry && column != ChainTableModel::kSide
           && column != ChainTableModel::kCode;
}

}  // namespace

ChainTableModel::ChainTableModel(const LocaleInfo& locale, QObject* parent)
    : QAbstractTableModel(parent), locale_(locale)
{
}

void ChainTableModel::SetRoot(std::shared_ptr<const QuoteChain> chain, int root, std::vector<double> forwards)
{
    beginResetModel();
    chain_ = std::move(chain);
    root_ = root;
    rows_.clear();
    forwards_ = std::move(forwards);
    vols_.clear();
    if (const ChainRoot* r = Root()) {
        vols_.resize(r->expiries.size());
        rows_.reserve(2 * static_cast<std::size_t>(r->StrikeCount()));
        for (std::uint32_t e = 0; e < r->expiries.size(); ++e)
            for (std::uint32_t s = 0; s < r->expiries[e].strikes.size(); ++s) {
                rows_.push_back({e, s, true});
                rows_.push_back({e, s, false});
            }
    }
    forwards_.resize(vols_.size(), chain_ ? chain_->underlyingLast : 0);
    endResetModel();
}

void ChainTableModel::SetExpiryVols(int expiry, ExpiryVols vols)
{
    if (expiry < 0 || static_cast<std::size_t>(expiry) >= vols_.size())
        return;
    // An expiry the inputs leave without a forward is at the money at
    // today's price, not at the forward of the inputs before.
    forwards_[static_cast<std::size_t>(expiry)] = vols.forward > 0 ? vols.forward
                                                                   : (chain_ ? chain_->underlyingLast : 0);
    vols_[static_cast<std::size_t>(expiry)] = std::move(vols);
    // The rows of one expiry lie together, in the order of the expiries.
    const auto [first, end] = std::equal_range(rows_.begin(), rows_.end(), static_cast<std::uint32_t>(expiry),
                                               ExpiryOrder());
    if (first != end)
        emit dataChanged(index(static_cast<int>(first - rows_.begin()), 0),
                         index(static_cast<int>(end - rows_.begin()) - 1, kColumnCount - 1));
}

void ChainTableModel::ClearVols()
{
    for (auto& vols : vols_)
        vols.reset();
    // Only the solved columns change: the file's own volatility and delta stay.
    if (!rows_.empty())
        emit dataChanged(index(0, kBidIV), index(rowCount() - 1, kDelta));
}

void ChainTableModel::SetMarks(qint64 volume, qint64 openInterest)
{
    markVolume_ = volume;
    markOpenInterest_ = openInterest;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

const ChainRoot* ChainTableModel::Root() const
{
    if (!chain_ || root_ < 0 || static_cast<std::size_t>(root_) >= chain_->roots.size())
        return nullptr;
    return &chain_->roots[static_cast<std::size_t>(root_)];
}

int ChainTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ChainTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ChainTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == kExportRole)
        return QString::fromLatin1(kHeaders[section]);
    return {};
}

const OptionVols* ChainTableModel::VolsOf(const Row& row) const
{
    const std::optional<ExpiryVols>& vols = vols_[row.expiry];
    if (!vols || row.strike >= vols->options.size())
        return nullptr;
    return &vols->options[row.strike][row.call ? 0 : 1];
}

bool ChainTableModel::Marked(const Row& row) const
{
    const ChainStrike& strike = Root()->expiries[row.expiry].strikes[row.strike];
    const ChainQuote& quote = row.call ? strike.call : strike.put;
    return quote.volume > markVolume_ || quote.openInterest > markOpenInterest_;
}

QVariant ChainTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()) || !Root())
        return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return Display(row, column);
    case kExportRole:
        return Export(row, column);
    case kSortRole:
        return SortKey(row, column);
    case Qt::ToolTipRole:
        return Why(row, column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(IsNumberColumn(column) ? Qt::AlignRight | Qt::AlignVCenter
                                                                        : Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::FontRole:
        if (Marked(row)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return Marked(row) ? QVariant(QBrush(kMarkColour)) : QVariant();
    case kExpiryIndexRole:
        return static_cast<int>(row.expiry);
    case kStrikeIndexRole:
        return static_cast<int>(row.strike);
    case kMoneynessRole: {
        const double forward = forwards_[row.expiry];
        return forward > 0 ? Root()->expiries[row.expiry].strikes[row.strike].strike / forward : 0.0;
    }
    case kHasBidRole: {
        const ChainStrike& strike = Root()->expiries[row.expiry].strikes[row.strike];
        return (row.call ? strike.call : strike.put).bid > 0;
    }
    case kMarkedRole:
        return Marked(row);
    default:
        return {};
    }
}

QVariant ChainTableModel::Display(const Row& row, int column) const
{
    const char separator = locale_.decimalSeparator;
    const ChainExpiry& expiry = Root()->expiries[row.expiry];
    const ChainStrike& strike = expiry.strikes[row.strike];
    const ChainQuote& quote = row.call ? strike.call : strike.put;
    const OptionVols* vols = VolsOf(row);
    const auto vol = [&](const VolSolution* solution) -> QVariant {
        return solution && solution->Solved() ? Fixed(solution->vol * 100, 2, separator) : QVariant();
    };
    switch (column) {
    case kExpiry:
        return QString::fromStdString(FormatLocaleDate(expiry.date, locale_));
    case kStrike:
        return Shortest(strike.strike, separator);
    case kSide:
        return row.call ? QStringLiteral("Call") : QStringLiteral("Put");
    case kCode:
        return QString::fromStdString(quote.code + strike.suffix);
    case kBid:
        return quote.bid > 0 ? Fixed(quote.bid, 2, separator) : QVariant();
    case kAsk:
        return quote.ask > 0 ? Fixed(quote.ask, 2, separator) : QVariant();
    case kMid: {
        const double mid = MidPrice(quote);
        return mid > 0 ? Fixed(mid, 3, separator) : QVariant();
    }
    case kLast:
        return Fixed(quote.last, 2, separator);
    case kNet:
        return (quote.netChange > 0 ? QStringLiteral("+") : QString()) + Fixed(quote.netChange, 2, separator);
    case kVolume:
        return QString::number(quote.volume);
    case kOpenInterest:
        return QString::number(quote.openInterest);
    case kBidIV:
        return vol(vols ? &vols->bid : nullptr);
    case kAskIV:
        return vol(vols ? &vols->ask : nullptr);
    case kMidIV:
        return vol(vols ? &vols->mid : nullptr);
    case kDelta:
        return vols && vols->mid.Solved() ? Fixed(vols->delta, 3, separator) : QVariant();
    // Blank where the file gives none: a quote table, or the service's 0.
    case kFileIV:
        return quote.fileIv != 0 ? Fixed(quote.fileIv * 100.0, 2, separator) : QVariant();
    case kFileDelta:
        return quote.fileDelta != 0 ? Fixed(quote.fileDelta, 3, separator) : QVariant();
    default:
        return {};
    }
}

QVariant ChainTableModel::Export(const Row& row, int column) const
{
    const ChainExpiry& expiry = Root()->expiries[row.expiry];
    if (column == kExpiry)
        return QString::fromStdString(IsoDate(expiry.date));
    if (column == kSide)
        return row.call ? QStringLiteral("C") : QStringLiteral("P");
    // The rest as shown, with a point for the decimals.
    QString text = Display(row, column).toString();
    if (IsNumberColumn(column))
        text.replace(QLatin1Char(locale_.decimalSeparator), QLatin1Char('.'));
    return text;
}

QVariant ChainTableModel::SortKey(const Row& row, int column) const
{
    const ChainExpiry& expiry = Root()->expiries[row.expiry];
    const ChainStrike& strike = expiry.strikes[row.strike];
    const ChainQuote& quote = row.call ? strike.call : strike.put;
    const OptionVols* vols = VolsOf(row);
    // What has no value sorts before every value.
    const auto vol = [](const VolSolution* solution) {
        return solution && solution->Solved() ? solution->vol : -1.0;
    };
    switch (column) {
    case kExpiry:
        return expiry.date;
    case kStrike:
        return strike.strike;
    case kSide:
        return row.call ? 0 : 1;
    case kCode:
        return QString::fromStdString(quote.code);
    case kBid:
        return static_cast<double>(quote.bid);
    case kAsk:
        return static_cast<double>(quote.ask);
    case kMid:
        return MidPrice(quote);
    case kLast:
        return static_cast<double>(quote.last);
    case kNet:
        return static_cast<double>(quote.netChange);
    case kVolume:
        return static_cast<qlonglong>(quote.volume);
    case kOpenInterest:
        return static_cast<qlonglong>(quote.openInterest);
    case kBidIV:
        return vol(vols ? &vols->bid : nullptr);
    case kAskIV:
        return vol(vols ? &vols->ask : nullptr);
    case kMidIV:
        return vol(vols ? &vols->mid : nullptr);
    case kDelta:
        return vols && vols->mid.Solved() ? vols->delta : -2.0;
    case kFileIV:
        return quote.fileIv != 0 ? static_cast<double>(quote.fileIv) : -1.0;
    case kFileDelta:
        return quote.fileDelta != 0 ? static_cast<double>(quote.fileDelta) : -2.0;
    default:
        return {};
    }
}

QString ChainTableModel::Why(const Row& row, int column) const
{
    if (column != kBidIV && column != kAskIV && column != kMidIV && column != kDelta)
        return {};
    const std::optional<ExpiryVols>& expiry = vols_[row.expiry];
    if (!expiry)
        return QString::fromLatin1(kNotSolvedYet);
    const OptionVols* vols = VolsOf(row);
    if (!vols)
        return {};
    const VolSolution& solution = column == kBidIV ? vols->bid : column == kAskIV ? vols->ask : vols->mid;
    if (solution.Solved())
        return {};
    QString text = QString::fromLatin1(NoVolatilityText(solution.why));
    if (solution.why == NoVolatility::NotPriceable && !expiry->problem.empty())
        text += QStringLiteral(": ") + QString::fromStdString(expiry->problem);
    return text + QLatin1Char('.');
}

ChainFilterModel::ChainFilterModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(ChainTableModel::kSortRole);
}

void ChainFilterModel::SetExpiry(int expiry)
{
    expiry_ = expiry;
    invalidateFilter();
}

void ChainFilterModel::SetBand(double percent)
{
    band_ = percent;
    invalidateFilter();
}

void ChainFilterModel::SetBidsOnly(bool bidsOnly)
{
    bidsOnly_ = bidsOnly;
    invalidateFilter();
}

bool ChainFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QPartialOrdering order = QVariant::compare(left.data(sortRole()), right.data(sortRole()));
    if (order == QPartialOrdering::Less)
        return true;
    if (order == QPartialOrdering::Greater)
        return false;
    // Descending, the view asks whether right comes before left.
    return (left.row() < right.row()) != (sortOrder() == Qt::DescendingOrder);
}

bool ChainFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex cell = sourceModel()->index(sourceRow, 0, sourceParent);
    if (expiry_ >= 0 && cell.data(ChainTableModel::kExpiryIndexRole).toInt() != expiry_)
        return false;
    if (bidsOnly_ && !cell.data(ChainTableModel::kHasBidRole).toBool())
        return false;
    if (band_ > 0) {
        const double moneyness = cell.data(ChainTableModel::kMoneynessRole).toDouble();
        if (std::fabs(moneyness - 1.0) * 100.0 > band_ + 1e-9)
            return false;
    }
    return true;
}

}  // namespace kestrava
