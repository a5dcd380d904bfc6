#pragma once
// "Add underlying...": a leg of the underlying itself (shares, or units of a
// future's price) with its quantity, negative to short, and its entry price,
// both as the locale writes numbers. OK is offered only for a quantity and
// a price the position file holds.

#include <QDialog>

#include <optional>

#include "analysis/Position.h"
#include "common/localeinfo.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace kestrava {

class UnderlyingLegDialog : public QDialog {
    Q_OBJECT
public:
    // price: today's price, offered as the entry price.
    UnderlyingLegDialog(const LocaleInfo& locale, double price, QWidget* parent = nullptr);

    // The leg typed, or none while the texts are no quantity and price.
    std::optional<PositionLeg> Leg() const;

    QLineEdit* edtQuantity = nullptr;
    QLineEdit* edtPrice = nullptr;
    QLabel* lblProblem = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    void Check();

    LocaleInfo locale_;
};

}  // namespace kestrava
