#pragma once
// The options of one root of a chain as a table: one row per option (the
// expiries in order, then the strikes, the call before the put), its quotes,
// volume and open interest, and its volatilities as they are solved (with
// the delayed-quotes CSV's own volatility and delta beside them). A
// filter model on top keeps one expiry, a band of moneyness and the rows
// with a bid; the table view sorts it.

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <memory>
#include <optional>
#include <vector>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "common/localeinfo.h"

namespace kestrava {

class ChainTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kExpiry,
        kStrike,
        kSide,
        kCode,
        kBid,
        kAsk,
        kMid,
        kLast,
        kNet,
        kVolume,
        kOpenInterest,
        kBidIV,
        kAskIV,
        kMidIV,
        kDelta,
        kFileIV,  // the delayed-quotes CSV's own, never computed with
        kFileDelta,
        kColumnCount
    };
    enum Role {
        kSortRole = Qt::UserRole + 1,  // a number to sort by
        kExportRole,                   // the cell as CSV writes it: a point for decimals, no grouping
        kExpiryIndexRole,
        kStrikeIndexRole,
        kMoneynessRole,  // strike over the expiry's forward price
        kHasBidRole,
        kMarkedRole,  // volume or open interest above its threshold
    };

    ChainTableModel(const LocaleInfo& locale, QObject* parent = nullptr);

    // Shows the options of `root` of `chain`, none solved yet; `forwards`
    // holds one forward price per expiry, for the moneyness.
    void SetRoot(std::shared_ptr<const QuoteChain> chain, int root, std::vector<double> forwards);
    // The volatilities of one expiry, as they come in.
    void SetExpiryVols(int expiry, ExpiryVols vols);
    // Forgets every volatility (the model or the dividend changed).
    void ClearVols();
    // Rows whose volume or open interest is above these are marked.
    void SetMarks(qint64 volume, qint64 openInterest);

    const ChainRoot* Root() const;
    const std::vector<std::optional<ExpiryVols>>& Vols() const { return vols_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        std::uint32_t expiry;
        std::uint32_t strike;
        bool call;
    };
    QVariant Display(const Row& row, int column) const;
    QVariant Export(const Row& row, int column) const;
    QVariant SortKey(const Row& row, int column) const;
    QString Why(const Row& row, int column) const;
    const OptionVols* VolsOf(const Row& row) const;
    bool Marked(const Row& row) const;

    LocaleInfo locale_;
    std::shared_ptr<const QuoteChain> chain_;
    int root_ = -1;
    std::vector<Row> rows_;
    std::vector<double> forwards_;
    std::vector<std::optional<ExpiryVols>> vols_;
    qint64 markVolume_ = 0;
    qint64 markOpenInterest_ = 0;
};

class ChainFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ChainFilterModel(QObject* parent = nullptr);

    // -1: every expiry.
    void SetExpiry(int expiry);
    // Strikes within `percent` of the forward price; 0 or below: all.
    void SetBand(double percent);
    void SetBidsOnly(bool bidsOnly);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int expiry_ = -1;
    double band_ = 0;
    bool bidsOnly_ = false;
};

}  // namespace kestrava
