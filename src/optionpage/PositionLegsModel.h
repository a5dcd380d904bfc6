#pragma once
// The legs of a position as a table: expiry, strike, side, quantity and
// entry price (the last two editable, as the locale writes numbers), then
// each leg's story now: its mark (the mid, or the model's value where it has
// no bid and ask), the volatility that reprices the mark, the volatility the
// scenario prices it at, and its value and greeks at that volatility, so
// that each times quantity and multiplier adds up to the totals under the
// table (see LegFigures). A leg of the underlying shows "Underlying" for its
// expiry and today's price for its mark.

#include <QAbstractTableModel>

#include <vector>

#include "analysis/Position.h"
#include "analysis/PositionTotals.h"
#include "common/localeinfo.h"

namespace kestrava {

class PositionLegsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Expiry,
        Strike,
        Side,
        Quantity,
        Price,
        Mark,
        Iv,
        VolUsed,
        Theo,
        Delta,
        Gamma,
        Decay,
        Vega,
        ColumnCount
    };

    PositionLegsModel(const LocaleInfo& locale, QObject* parent = nullptr);

    const Position& GetPosition() const { return position_; }
    void SetPosition(const Position& position);
    // Copies of the page's expiries the legs are found among.
    void SetExpiries(std::vector<TInOutObj> expiries);
    const std::vector<TInOutObj>& Expiries() const { return expiries_; }
    // The legs' figures now under the scenario; none when the position could
    // not be valued.
    void SetFigures(std::vector<LegFigures> figures);
    void SetMultiplier(double multiplier);
    void SetCommissions(double perContract, double perShare);
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
    QString Text(int row, int column) const;
    QString FigureText(const LegFigures& figures, int column) const;
    const LegFigures* FiguresOf(int row) const;
    QVariant ToolTip(const PositionLeg& leg, int row, int column) const;

    LocaleInfo locale_;
    Position position_;
    std::vector<TInOutObj> expiries_;
    std::vector<LegFigures> figures_;
};

}  // namespace kestrava
