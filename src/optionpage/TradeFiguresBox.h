#pragma once
// The trade figures beside the Position tab's totals: the options' net
// price as one order at the bids and asks and at the mids, the most the
// position can lose and gain at the first expiry among its legs, and the
// return on that risk; "unlimited" where the expiry curve has no bound.

#include <QStringList>
#include <QWidget>

#include <utility>
#include <vector>

#include "analysis/TradeFigures.h"
#include "common/localeinfo.h"

class QLabel;

namespace kestrava {

class TradeFiguresBox : public QWidget {
    Q_OBJECT
public:
    explicit TradeFiguresBox(const LocaleInfo& locale, QWidget* parent = nullptr);

    void ShowTrade(const TradeFigures& trade);
    void Clear();
    // Caption and value as shown, in the box's order.
    std::vector<std::pair<QString, QString>> Shown() const;

    QLabel* lblNetQuotes = nullptr;
    QLabel* lblNetMids = nullptr;
    QLabel* lblMaxLoss = nullptr;
    QLabel* lblMaxProfit = nullptr;
    QLabel* lblReturnOnRisk = nullptr;

private:
    QString Net(const std::optional<double>& net, int spreads) const;
    QString Money(double value) const;

    LocaleInfo locale_;
    std::vector<std::pair<QLabel*, QLabel*>> figures_;
};

}  // namespace kestrava
