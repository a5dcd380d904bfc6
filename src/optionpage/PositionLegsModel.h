#pragma once
// The legs of a position as a table: expiry, strike, side, quantity and
// entry price (the last two editable, as the locale writes numbers), then
// each option's theoretical value and greeks from its expiry's last
// calculation, in the grid's display formats. A leg of the underlying
// shows "Underlying" for its expiry and today's price for its value.

#include <QAbstractTableModel>

#include <vector>

#include "analysis/Position.h"
#include "common/localeinfo.h"

namespace kestrava {

class PositionLegsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Expiry, Strike, Side, Quantity, Price, Theo, Delta, Gamma, Decay, Vega, ColumnCount };

    PositionLegsModel(const LocaleInfo& locale, QObject* parent = nullptr);

    const Position& GetPosition() const { return position_; }
    void SetPosition(const Position& position);
    // Copies of the page's expiries the theoretical values are read from.
    void SetExpiries(std::vector<TInOutObj> expiries);
    const std::vector<TInOutObj>& Expiries() const { return expiries_; }
    void SetMultiplier(double multiplier);
    void AddLeg(const PositionLeg& leg);
    void RemoveLeg(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The user changed a quantity or a price; the message says why a typed
    // text was refused (empty when it was taken).
    void legEdited(const QString& refusal);

private:
    QString Text(const PositionLeg& leg, int column) const;
    QString UnderlyingText(const PositionLeg& leg, int column) const;

    LocaleInfo locale_;
    Position position_;
    std::vector<TInOutObj> expiries_;
};

}  // namespace kestrava
