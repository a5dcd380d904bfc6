#include "optionpage/UnderlyingLegDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdlib>

#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kTitle = "Add underlying";
const char* const kQuantityCaption = "&Quantity";
const char* const kQuantityHint =
    "Units of the underlying: shares, or for a future units of its price (a contract of 50 a point is 50); "
    "negative to short. The multiplier does not apply.";
const char* const kPriceCaption = "&Price";
const char* const kPriceHint = "The entry price of one unit";
const char* const kBadQuantity = "The quantity is a whole number other than 0, from -1000000 to 1000000.";
const char* const kBadPrice = "The price is a number of 0 or more.";
constexpr double kLargestPrice = 1e9;

}  // namespace

UnderlyingLegDialog::UnderlyingLegDialog(const LocaleInfo& locale, double price, QWidget* parent)
    : QDialog(parent), locale_(locale)
{
    setObjectName(QStringLiteral("UnderlyingLegDialog"));
    setWindowTitle(QString::fromLatin1(kTitle));
    edtQuantity = new QLineEdit(QStringLiteral("100"), this);
    edtQuantity->setObjectName(QStringLiteral("edtQuantity"));
    edtQuantity->setToolTip(QString::fromLatin1(kQuantityHint));
    edtPrice = new QLineEdit(QString::fromStdString(FormatLocaleFixed(price, 2, locale_.decimalSeparator)),
                             this);
    edtPrice->setObjectName(QStringLiteral("edtPrice"));
    edtPrice->setToolTip(QString::fromLatin1(kPriceHint));
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* form = new QFormLayout;
    form->addRow(QString::fromLatin1(kQuantityCaption), edtQuantity);
    form->addRow(QString::fromLatin1(kPriceCaption), edtPrice);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblProblem);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(edtQuantity, &QLineEdit::textChanged, this, &UnderlyingLegDialog::Check);
    connect(edtPrice, &QLineEdit::textChanged, this, &UnderlyingLegDialog::Check);
    edtQuantity->selectAll();
    Check();
}

std::optional<PositionLeg> UnderlyingLegDialog::Leg() const
{
    std::int32_t quantity = 0;
    double price = 0;
    if (!TryParseInt32(edtQuantity->text().trimmed().toStdString(), quantity) || quantity == 0
        || std::abs(static_cast<long long>(quantity)) > static_cast<long long>(1000000))
        return std::nullopt;
    if (!TryParseDecimal(edtPrice->text().trimmed().toStdString(), locale_.decimalSeparator, price)
        || !(price >= 0) || price > kLargestPrice)
        return std::nullopt;
    PositionLeg leg;
    leg.kind = LegKind::Underlying;
    leg.quantity = quantity;
    leg.price = price;
    return leg;
}

void UnderlyingLegDialog::Check()
{
    std::int32_t quantity = 0;
    const bool quantityRead = TryParseInt32(edtQuantity->text().trimmed().toStdString(), quantity)
                              && quantity != 0
                              && std::abs(static_cast<long long>(quantity))
                                     <= static_cast<long long>(1000000);
    lblProblem->setText(!quantityRead ? QString::fromLatin1(kBadQuantity)
                        : !Leg()      ? QString::fromLatin1(kBadPrice)
                                      : QString());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(Leg().has_value());
}

}  // namespace kestrava
