#include "app/IntRateDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "appcore/AppSettings.h"
#include "appcore/HelpPages.h"
#include "controls/rmSpin.h"

namespace kestrava {
namespace {

TrmFloatSpinEdit* RateEdit(const char* name, float rate, char decimalSeparator, QWidget* parent)
{
    auto* edit = new TrmFloatSpinEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetDecimalSeparator(QLatin1Char(decimalSeparator));
    // The maximum first: a minimum above the current maximum is refused.
    edit->SetMaxValue(99.0);
    edit->SetMinValue(0.0);
    edit->SetIncrement(1.0);
    edit->SetUseRanges(true);
    edit->SetMaxLength(5);
    edit->SetValue(static_cast<double>(rate) * 100.0);
    // As wide as the five characters it takes, beside the button pair.
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QFontMetrics metrics = edit->fontMetrics();
    const QSize text(metrics.horizontalAdvance(QStringLiteral("00.000")), metrics.height());
    const QMargins margins = edit->textMargins();
    edit->setFixedWidth(edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width()
                        + margins.left() + margins.right());
    return edit;
}

}  // namespace

TdlgIntRates::TdlgIntRates(AppSettings& settings, const LocaleInfo& locale, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), settings_(settings)
{
    setObjectName(QStringLiteral("dlgIntRates"));
    setWindowTitle(QStringLiteral("Interest Rates"));
    setToolTip(QStringLiteral("1% = 1.00"));

    FSpinEdit1 = RateEdit("FSpinEdit1", settings.Rate30, locale.decimalSeparator, this);
    FSpinEdit2 = RateEdit("FSpinEdit2", settings.Rate60, locale.decimalSeparator, this);
    FSpinEdit3 = RateEdit("FSpinEdit3", settings.Rate90, locale.decimalSeparator, this);

    auto* rates = new QFormLayout;
    rates->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rates->addRow(QStringLiteral("30-day risk free rate:"), FSpinEdit1);
    rates->addRow(QStringLiteral("60-day risk free rate:"), FSpinEdit2);
    rates->addRow(QStringLiteral("90-day risk free rate:"), FSpinEdit3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rates);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit HelpRequested(kHelpRiskFreeRates); });
}

void TdlgIntRates::done(int result)
{
    if (result == QDialog::Accepted) {
        // Enter takes OK without the focus leaving the box, so a typed rate
        // may still be outside 0 to 99 %: it is brought into the range, as
        // leaving the box would have done.
        const auto rate = [](TrmFloatSpinEdit* edit) {
            return static_cast<float>(edit->CheckValue(edit->Value()) / 100.0);
        };
        settings_.Rate30 = rate(FSpinEdit1);
        settings_.Rate60 = rate(FSpinEdit2);
        settings_.Rate90 = rate(FSpinEdit3);
    }
    QDialog::done(result);
}

}  // namespace kestrava
