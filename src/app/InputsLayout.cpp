// The setup dialog's controls and where they sit: six groups in two rows,
// and OK and Cancel below them.

#include <QButtonGroup>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Inputs.h"
#include "app/InputsParts.h"

namespace kestrava {
namespace {

using namespace inputsparts;

// Symbols are typed in capitals whatever the keyboard says.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// The locale's short date pattern with the year always in four digits, so a
// picker never has to guess the century.
QString PickerFormat(const LocaleInfo& locale)
{
    QString format = QString::fromStdString(locale.shortDateFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

void AddRow(QGridLayout* grid, int row, QLabel* label, QWidget* field)
{
    grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(field, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
}

// Keeps a group's rows at the top when its neighbour makes it taller.
void FinishGroupGrid(QGridLayout* grid)
{
    grid->setRowStretch(grid->rowCount(), 1);
    grid->setColumnStretch(1, 1);
}

}  // namespace

QLabel* TdlgInputs::NewLabel(const QString& name, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QLineEdit* TdlgInputs::NewTextBox(const QString& name, const QString& hint, const QString& widestText)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setToolTip(hint);
    box->setProperty("hint", hint);
    // As wide as the longest text it is meant for, with the frame around it.
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    const QFontMetrics metrics = box->fontMetrics();
    const QSize text(metrics.horizontalAdvance(widestText) + metrics.averageCharWidth(), metrics.height());
    box->setFixedWidth(box->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, box).width());
    return box;
}

QDateEdit* TdlgInputs::NewDatePicker(const QString& name)
{
    auto* picker = new QDateEdit(QDate::currentDate(), this);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(PickerFormat(locale_));
    // Room between the date and the drop-down arrow.
    picker->setMinimumWidth(picker->sizeHint().width() + picker->fontMetrics().averageCharWidth());
    return picker;
}

QGroupBox* TdlgInputs::BuildStrikeGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" &Strike Prices"), this);
    group->setObjectName(QStringLiteral("gbStrikes"));
    edNumStr_ = NewTextBox(QStringLiteral("edNumStr"), QStringLiteral("# of strikes for each expiry"),
                           QStringLiteral("00000"));
    edNumStr_->setMaxLength(2);
    edNumStr_->setText(QStringLiteral("3"));
    ed1stStr_ = NewTextBox(QStringLiteral("ed1stStr"), QStringLiteral("Lowest strike"),
                           QStringLiteral("00000.0000"));
    ed1stStr_->setText(QStringLiteral("100"));
    edStrIncr_ = NewTextBox(QStringLiteral("edStrIncr"), QStringLiteral("Gap between strike prices"),
                            QStringLiteral("00000.0000"));
    edStrIncr_->setText(QStringLiteral("5"));

    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, NewLabel(QStringLiteral("lblNumStr"), QStringLiteral("# of Strikes:"), edNumStr_),
           edNumStr_);
    AddRow(grid, 1, NewLabel(QStringLiteral("lbl1stStr"), QStringLiteral("Lowest Strike:"), ed1stStr_),
           ed1stStr_);
    AddRow(grid, 2, NewLabel(QStringLiteral("lblStrIncr"), QStringLiteral("Increment:"), edStrIncr_),
           edStrIncr_);
    FinishGroupGrid(grid);
    return group;
}

QGroupBox* TdlgInputs::BuildExpiryGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Option &Expirations"), this);
    group->setObjectName(QStringLiteral("gbExpirations"));
    group->setToolTip(QStringLiteral("Futures option expiry list"));
    edNumExp_ = NewTextBox(QStringLiteral("edNumExp"), QStringLiteral("# of exp months"),
                           QStringLiteral("00000"));
    edNumExp_->setMaxLength(1);
    edNumExp_->setText(QStringLiteral("3"));

    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, NewLabel(QStringLiteral("lblNumExp"), QStringLiteral("# of Expirys:"), edNumExp_),
           edNumExp_);
    const QString captions[3] = {QStringLiteral("1st Exp:"), QStringLiteral("2nd Exp:"),
                                 QStringLiteral("3rd Exp:")};
    for (int i = 0; i < 3; ++i) {
        datePickers_[i] = NewDatePicker(QStringLiteral("DatePicker%1").arg(i + 1));
        datePickers_[i]->setToolTip(kExpiryHint);
        expiryLabels_[i] = NewLabel(QStringLiteral("lblExp%1").arg(i + 1), captions[i], datePickers_[i]);
        AddRow(grid, i + 1, expiryLabels_[i], datePickers_[i]);
    }
    FinishGroupGrid(grid);
    connect(edNumExp_, &QLineEdit::textChanged, this, &TdlgInputs::edNumExpChange);
    return group;
}

QGroupBox* TdlgInputs::BuildModelGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" &Option Model"), this);
    group->setObjectName(QStringLiteral("rgModel"));
    group->setToolTip(QStringLiteral("Option model type"));
    rgModel_ = new QButtonGroup(this);
    auto* column = new QVBoxLayout(group);
    for (int i = 0; i < static_cast<int>(ModelTable().size()); ++i) {
        const std::string name = ModelDisplayName(ModelTable()[static_cast<std::size_t>(i)]);
        auto* button = new QRadioButton(QString::fromStdString(name), group);
        button->setObjectName(QStringLiteral("rgModelItem%1").arg(i));
        rgModel_->addButton(button, i);
        column->addWidget(button);
    }
    column->addStretch(1);
    rgModel_->button(ModelIndex(kBinomial))->setChecked(true);
    connect(rgModel_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            rgModelClick(id);
    });
    return group;
}

QGroupBox* TdlgInputs::BuildAdjustmentGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" &Adjustments"), this);
    group->setObjectName(QStringLiteral("gbAdjustments"));
    edDivAmt_ = NewTextBox(QStringLiteral("edDivAmt"), QStringLiteral("$ dividend payment"),
                           QStringLiteral("0000.00"));
    lblDivAmt_ = NewLabel(QStringLiteral("lblDivAmt"), QStringLiteral("$ Div Amount:"), edDivAmt_);
    DatePickerDivDate_ = NewDatePicker(QStringLiteral("DatePickerDivDate"));
    lblDivDate_ = NewLabel(QStringLiteral("lblDivDate"), QStringLiteral("Div Date:"), DatePickerDivDate_);
    edDivYld_ = NewTextBox(QStringLiteral("edDivYld"), QStringLiteral("% Yield"), QStringLiteral("0000.00"));
    lblDivYld_ = NewLabel(QStringLiteral("lblDivYld"), kDivYieldCaption, edDivYld_);

    // The yield sits where the amount is; neither the group nor the dialog
    // moves when the contract type swaps them or hides them all.
    for (QWidget* widget : {static_cast<QWidget*>(lblDivAmt_), static_cast<QWidget*>(edDivAmt_),
                            static_cast<QWidget*>(lblDivDate_), static_cast<QWidget*>(DatePickerDivDate_)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, lblDivAmt_, edDivAmt_);
    AddRow(grid, 0, lblDivYld_, edDivYld_);
    AddRow(grid, 1, lblDivDate_, DatePickerDivDate_);
    FinishGroupGrid(grid);
    lblDivYld_->hide();
    edDivYld_->hide();
    return group;
}

QGroupBox* TdlgInputs::BuildSymbolGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" &Download Symbols"), this);
    group->setObjectName(QStringLiteral("gbSymbols"));
    edOSymbl_ = NewTextBox(
        QStringLiteral("edOSymbl"),
        QStringLiteral(
            "Underlying Symbol/ticker used by CBOE. May be different than historical EoD Symbol/ticker."),
        QStringLiteral("MMMMMMMM"));
    edUSymbl_ = NewTextBox(QStringLiteral("edUSymbl"),
                           QStringLiteral("Underlying Symbol/ticker - used to fetch historical EoD data."),
                           QStringLiteral("MMMMMMMM"));
    for (QLineEdit* box : {edOSymbl_, edUSymbl_}) {
        box->setMaxLength(8);
        box->setValidator(new UpperCaseValidator(box));
    }
    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, NewLabel(QStringLiteral("lblOSymbl"), QStringLiteral("Option:"), edOSymbl_), edOSymbl_);
    AddRow(grid, 1, NewLabel(QStringLiteral("lblUSymbl"), QStringLiteral("Underlying:"), edUSymbl_),
           edUSymbl_);
    FinishGroupGrid(grid);
    return group;
}

QGroupBox* TdlgInputs::BuildContractGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Underlying &Contract"), this);
    group->setObjectName(QStringLiteral("gbContract"));
    group->setToolTip(QStringLiteral("Contract Details"));
    rbEquity_ = new QRadioButton(QStringLiteral("Equity"), group);
    rbEquity_->setObjectName(QStringLiteral("rbEquity"));
    rbIndex_ = new QRadioButton(QStringLiteral("Index"), group);
    rbIndex_->setObjectName(QStringLiteral("rbIndex"));
    rbIndex_->setToolTip(QStringLiteral("A cash Index like OEX, SPX "));
    rbFuture_ = new QRadioButton(QStringLiteral("Future"), group);
    rbFuture_->setObjectName(QStringLiteral("rbFuture"));
    rbFuture_->setToolTip(QStringLiteral("A Futures Contract"));
    rbCurrency_ = new QRadioButton(QStringLiteral("Currency"), group);
    rbCurrency_->setObjectName(QStringLiteral("rbCurrency"));
    contractButtons_ = new QButtonGroup(this);
    contractButtons_->addButton(rbEquity_, kTagEquity);
    contractButtons_->addButton(rbIndex_, kTagIndex);
    contractButtons_->addButton(rbFuture_, kTagFuture);
    contractButtons_->addButton(rbCurrency_, kTagCurrency);
    rbEquity_->setChecked(true);
    connect(contractButtons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            ResetTypes(id);
    });

    lblCurData_ = new QLabel(group);
    lblCurData_->setObjectName(QStringLiteral("lblCurData"));
    lblCurData_->setAlignment(Qt::AlignCenter);
    lblCurData_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000.00 on 0000-00-00")));
    lblCurData_->setMinimumHeight(fontMetrics().height());
    SetFileBtn_ = new QPushButton(QStringLiteral("&Pick source "), group);
    SetFileBtn_->setObjectName(QStringLiteral("SetFileBtn"));
    SetFileBtn_->setToolTip(QStringLiteral("Set underlying historical price data"));
    connect(SetFileBtn_, &QPushButton::clicked, this, &TdlgInputs::SetFileBtnClick);

    auto* grid = new QGridLayout(group);
    grid->addWidget(rbEquity_, 0, 0);
    grid->addWidget(rbIndex_, 0, 1);
    grid->addWidget(rbFuture_, 1, 0);
    grid->addWidget(rbCurrency_, 1, 1);
    grid->addWidget(lblCurData_, 2, 0, 1, 2);
    grid->addWidget(SetFileBtn_, 3, 0, 1, 2, Qt::AlignHCenter);
    grid->setRowStretch(4, 1);
    return group;
}

void TdlgInputs::BuildControls()
{
    auto* groups = new QGridLayout;
    groups->addWidget(BuildStrikeGroup(), 0, 0);
    groups->addWidget(BuildExpiryGroup(), 0, 1);
    groups->addWidget(BuildContractGroup(), 0, 2);
    groups->addWidget(BuildModelGroup(), 1, 0);
    groups->addWidget(BuildAdjustmentGroup(), 1, 1);
    groups->addWidget(BuildSymbolGroup(), 1, 2);

    cmdOK_ = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    const int buttonWidth = std::max(cmdOK_->sizeHint().width(), cmdCancel_->sizeHint().width());
    cmdOK_->setMinimumWidth(buttonWidth);
    cmdCancel_->setMinimumWidth(buttonWidth);
    connect(cmdOK_, &QPushButton::clicked, this, &TdlgInputs::cmdOKClick);
    connect(cmdCancel_, &QPushButton::clicked, this, &TdlgInputs::cmdCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    // A fixed dialog: as large as its contents, not resizable.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    cmdOK_->setFocus();
}

}  // namespace kestrava
