#include "app/Inputs.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QButtonGroup>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <QVBoxLayout>

#include "common/busy.h"
#include "common/dates.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numformat.h"
#include "common/qt/seriestext.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/SetupChecks.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

const QString TdlgInputs::kHelpKeyword = QStringLiteral("Option Setup");
const QString TdlgInputs::kDesignCaption = QStringLiteral("Option Series Setup");
const QString TdlgInputs::kNewCaption = QStringLiteral("New Option Series Setup");
const QString TdlgInputs::kEditCaptionPrefix = QStringLiteral("Editing Option Series for ");
const QString TdlgInputs::kNoSymbolMessage = QStringLiteral("You need to enter a Ticker/Symbol \n\ror hit Cancel.");
const QString TdlgInputs::kCannotDigestMessage = QStringLiteral("Dang! Can't digest data in file(s) ... \r\n");
const QString TdlgInputs::kBadExpiryCountMessage =
    QStringLiteral("You need to enter the # of Expirys \n\ror hit Cancel.");

namespace {

const QString kPickerTitle = QStringLiteral("Select Underlying Price File");
const QString kPickerFilter = QStringLiteral("ASCII Data Files (*.csv)");
const QString kDivYieldCaption = QStringLiteral("% Div Yield:");
const QString kForeignRateCaption = QStringLiteral("% Foreign Rate:");
const QString kExpiryHint = QStringLiteral("Expiry is usually the 3rd Saturday of the month, except for Leaps");

// Days of the volatility run that finds the last close of a price file.
constexpr std::int32_t kSigmaDays = 250;

enum ContractTag { kTagEquity = 0, kTagIndex = 1, kTagFuture = 2, kTagCurrency = 3 };
constexpr int kBlackFuturesIndex = 1;
constexpr int kBinomialIndex = 2;

// Message boxes over the dialog when the caller hands in no notifier.
class DialogNotifier : public Notifier {
public:
    explicit DialogNotifier(QWidget* parent) : parent_(parent) {}
    void Info(const std::string& text) override
    {
        QMessageBox::information(parent_, QGuiApplication::applicationDisplayName(), QString::fromStdString(text));
    }
    void Error(const std::string& text) override
    {
        QMessageBox::critical(parent_, QGuiApplication::applicationDisplayName(), QString::fromStdString(text));
    }
    bool AskYesNo(const std::string& text) override
    {
        return QMessageBox::warning(parent_, QGuiApplication::applicationDisplayName(),
                                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::Yes)
               == QMessageBox::Yes;
    }

private:
    QWidget* parent_;
};

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

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

QDate ToQDate(TDateTime date)
{
    if (date == 0)
        return {};
    const CivilDate civil = DecodeDate(date);
    return QDate(civil.year, civil.month, civil.day);
}

// The expiry as the page shows it: ExpiryDay forced onto the expiry's month
// when it is set and exists there.
QDate ExpiryOf(const TInOutObj& series)
{
    const QDate expiry = ToQDate(series.ExpiryDate);
    if (series.ExpiryDay == 0 || !expiry.isValid())
        return expiry;
    const QDate forced(expiry.year(), expiry.month(), series.ExpiryDay);
    return forced.isValid() ? forced : expiry;
}

// The file's name without folder, cut before the first occurrence of its
// extension. Series files written elsewhere may carry backslashes.
QString FileBaseName(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return name;
    return name.left(name.indexOf(name.mid(dot)));
}

// The shortest decimal text that reads back as the same single-precision
// value: a strike of 3.4 shows as 3.4, not with the float's binary tail.
QString GeneralText(float value, char decimalSeparator)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return QString::fromStdString(WithDecimalSeparator(std::string(text, result.ptr), decimalSeparator));
}

QString Picture(const char* picture, double value, char decimalSeparator)
{
    return QString::fromStdString(FormatFloat(picture, value, decimalSeparator));
}

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

TdlgInputs::TdlgInputs(Environment environment, QWidget* parent)
    : QDialog(parent),
      locale_(std::move(environment.locale)),
      tempDirectory_(std::move(environment.tempDirectory)),
      asciiDataDir_(std::move(environment.asciiDataDir)),
      notifier_(environment.notifier)
{
    if (!notifier_) {
        ownNotifier_ = std::make_unique<DialogNotifier>(this);
        notifier_ = ownNotifier_.get();
    }
    fileChooser_ = [](QWidget* owner, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(owner, title, folder, filter);
    };
    beeper_ = [] { QApplication::beep(); };

    setObjectName(QStringLiteral("dlgInputs"));
    setWindowTitle(kDesignCaption);
    BuildControls();

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit HelpRequested(kHelpKeyword); });
}

TdlgInputs::~TdlgInputs() = default;

// ---- building

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
    ed1stStr_ = NewTextBox(QStringLiteral("ed1stStr"), QStringLiteral("Lowest strike"), QStringLiteral("00000.0000"));
    ed1stStr_->setText(QStringLiteral("100"));
    edStrIncr_ = NewTextBox(QStringLiteral("edStrIncr"), QStringLiteral("Gap between strike prices"),
                            QStringLiteral("00000.0000"));
    edStrIncr_->setText(QStringLiteral("5"));

    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, NewLabel(QStringLiteral("lblNumStr"), QStringLiteral("# of Strikes:"), edNumStr_), edNumStr_);
    AddRow(grid, 1, NewLabel(QStringLiteral("lbl1stStr"), QStringLiteral("Lowest Strike:"), ed1stStr_), ed1stStr_);
    AddRow(grid, 2, NewLabel(QStringLiteral("lblStrIncr"), QStringLiteral("Increment:"), edStrIncr_), edStrIncr_);
    FinishGroupGrid(grid);
    return group;
}

QGroupBox* TdlgInputs::BuildExpiryGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Option &Expirations"), this);
    group->setObjectName(QStringLiteral("gbExpirations"));
    group->setToolTip(QStringLiteral("Futures option expiry list"));
    edNumExp_ = NewTextBox(QStringLiteral("edNumExp"), QStringLiteral("# of exp months"), QStringLiteral("00000"));
    edNumExp_->setMaxLength(1);
    edNumExp_->setText(QStringLiteral("3"));

    auto* grid = new QGridLayout(group);
    AddRow(grid, 0, NewLabel(QStringLiteral("lblNumExp"), QStringLiteral("# of Expirys:"), edNumExp_), edNumExp_);
    const QString captions[3] = {QStringLiteral("1st Exp:"), QStringLiteral("2nd Exp:"), QStringLiteral("3rd Exp:")};
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
    const QString items[4] = {QStringLiteral("Black Scholes (Euro)"), QStringLiteral("Black Futures (Euro)"),
                              QStringLiteral("Binomial (Amer)"), QStringLiteral("Whaley (Amer)")};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(items[i], group);
        button->setObjectName(QStringLiteral("rgModelItem%1").arg(i));
        rgModel_->addButton(button, i);
        column->addWidget(button);
    }
    column->addStretch(1);
    rgModel_->button(kBinomialIndex)->setChecked(true);
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
    edDivAmt_ = NewTextBox(QStringLiteral("edDivAmt"), QStringLiteral("$ dividend payment"), QStringLiteral("0000.00"));
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
        QStringLiteral("Underlying Symbol/ticker used by CBOE. May be different than historical EoD Symbol/ticker."),
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
    AddRow(grid, 1, NewLabel(QStringLiteral("lblUSymbl"), QStringLiteral("Underlying:"), edUSymbl_), edUSymbl_);
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

// ---- preparing

QDate TdlgInputs::SetOptionDates(const QDate& from)
{
    if (!from.isValid())
        return {};
    QDate date = from;
    while (date.dayOfWeek() != Qt::Saturday || date.day() < 15 || date.day() > 22)
        date = date.addDays(1);
    return date;
}

void TdlgInputs::PrepareNew(const QDate& today)
{
    mode_ = Mode::NewSeries;
    setWindowTitle(kNewCaption);
    rbEquity_->setChecked(true);
    SelectModel(kBinomialIndex);

    for (QWidget* widget : {static_cast<QWidget*>(lblDivAmt_), static_cast<QWidget*>(edDivAmt_),
                            static_cast<QWidget*>(lblDivDate_), static_cast<QWidget*>(DatePickerDivDate_)})
        widget->setEnabled(true);
    DatePickerDivDate_->setDate(today);
    lblDivYld_->setEnabled(false);
    edDivYld_->setEnabled(false);

    edNumStr_->setText(QStringLiteral("5"));
    ed1stStr_->setText(QStringLiteral("100"));
    edStrIncr_->setText(QStringLiteral("5"));

    QDate expiry = SetOptionDates(today);
    for (QDateEdit* picker : datePickers_) {
        picker->setDate(expiry);
        expiry = SetOptionDates(expiry.addDays(1));
    }
    cmdOK_->setFocus();
}

void TdlgInputs::PrepareFromPage(const std::vector<const TInOutObj*>& expiries, const QString& priceWorkFile,
                                 const QDate& today)
{
    if (expiries.empty() || !expiries.front())
        return;
    const TInOutObj& first = *expiries.front();
    const char separator = locale_.decimalSeparator;
    mode_ = Mode::EditSeries;

    // A series keeps its texts in the series file's single-byte code page.
    sourceFilePath_ = FromSeriesText(first.SourceFile);
    workFilePath_ = priceWorkFile;
    symbolText_ = FromSeriesText(first.OptSymbol);
    contractRoot_ = FromSeriesText(first.OptContract);
    SetSymbolBox(edUSymbl_, FileBaseName(sourceFilePath_));

    // A one-strike series has no second strike: the increment shows as the
    // negative of the only strike, and the page ignores it for one strike.
    const float step = first.Strike(2, 1) - first.Strike(1, 1);
    edStrIncr_->setText(Picture("#.##0", step, separator));
    ed1stStr_->setText(GeneralText(first.Strike(1, 1), separator));
    edNumStr_->setText(QString::number(first.NumStrikes));
    SetSymbolBox(edOSymbl_, symbolText_);

    CheckContractButton(first.ContractType);
    if (first.Model >= kBlackScholes && first.Model <= kWhaley)
        SelectModel(first.Model - 1);

    switch (first.ContractType) {
    case kEquity:
        if (first.Dividend != 0) {
            edDivAmt_->setText(Picture("###.#0", first.Dividend, separator));
            const QDate divDate = ToQDate(first.DivDate);
            if (divDate.isValid())
                DatePickerDivDate_->setDate(divDate);
        } else {
            edDivAmt_->clear();
        }
        break;
    case kIndex:
    case kCurrency:
        if (first.Dividend != 0)
            edDivYld_->setText(Picture("##.#0", first.Dividend * 100.0f, separator));
        else
            edDivYld_->clear();
        break;
    default:
        break;
    }

    lblCurData_->clear();
    float lastClose = 0;
    double lastDate = 0;
    if (!workFilePath_.isEmpty() && ReadLastClose(workFilePath_, lastClose, lastDate))
        lblCurData_->setText(LastCloseText(lastClose, lastDate));

    setWindowTitle(kEditCaptionPrefix + symbolText_);

    for (QDateEdit* picker : datePickers_)
        picker->setDate(today);
    int lastTab = 0;
    for (std::size_t i = 0; i < expiries.size() && i < datePickers_.size(); ++i) {
        if (!expiries[i])
            continue;
        const QDate expiry = ExpiryOf(*expiries[i]);
        if (expiry.isValid())
            datePickers_[i]->setDate(expiry);
        lastTab = static_cast<int>(i) + 1;
    }
    edNumExp_->setText(QString::number(lastTab));
    cmdOK_->setFocus();
}

void TdlgInputs::CheckContractButton(int contractType)
{
    if (QAbstractButton* button = contractButtons_->button(contractType - 1))
        button->setChecked(true);
}

void TdlgInputs::SelectModel(int index)
{
    if (QAbstractButton* button = rgModel_->button(index))
        button->setChecked(true);
}

void TdlgInputs::SetSymbolBox(QLineEdit* box, const QString& text)
{
    box->setText(text.toUpper());
}

// ---- handlers

void TdlgInputs::ResetTypes(int tag)
{
    QAbstractButton* button = contractButtons_->button(tag);
    if (!button)
        return;
    if (!button->isChecked()) {
        // Checking it unchecks the others and comes back here.
        button->setChecked(true);
        return;
    }
    const bool equity = tag == kTagEquity;
    const bool yield = tag == kTagIndex || tag == kTagCurrency;
    for (QWidget* widget : {static_cast<QWidget*>(lblDivAmt_), static_cast<QWidget*>(edDivAmt_),
                            static_cast<QWidget*>(lblDivDate_), static_cast<QWidget*>(DatePickerDivDate_)})
        widget->setVisible(equity);
    lblDivYld_->setVisible(yield);
    edDivYld_->setVisible(yield);
    if (yield) {
        lblDivYld_->setEnabled(true);
        edDivYld_->setEnabled(true);
    }
    if (tag == kTagIndex)
        lblDivYld_->setText(kDivYieldCaption);
    else if (tag == kTagCurrency)
        lblDivYld_->setText(kForeignRateCaption);
}

void TdlgInputs::rgModelClick(int index)
{
    // Black's futures model only makes sense for a futures contract.
    if (index == kBlackFuturesIndex)
        rbFuture_->setChecked(true);
}

void TdlgInputs::edNumExpChange()
{
    bool isNumber = false;
    const int count = edNumExp_->text().toInt(&isNumber);
    if (!isNumber)
        return;
    bool second = true;
    bool third = true;
    switch (count) {
    case 1:
        second = false;
        third = false;
        break;
    case 2:
        third = false;
        break;
    case 3:
        break;
    default:
        beeper_();
        return;
    }
    datePickers_[1]->setEnabled(second);
    expiryLabels_[1]->setEnabled(second);
    datePickers_[2]->setEnabled(third);
    expiryLabels_[2]->setEnabled(third);
}

void TdlgInputs::SetFileBtnClick()
{
    const QString fileName = fileChooser_(this, kPickerTitle, asciiDataDir_, kPickerFilter);
    if (!fileName.isEmpty() && !ConvertPriceFile(fileName))
        return;
    ShowPriceFileData();
}

// Turns the picked price file into a work file. False when the reader failed
// with an error; the user has then been told.
bool TdlgInputs::ConvertPriceFile(const QString& fileName)
{
    const QFileInfo picked(fileName);
    sourceFilePath_ = fileName;
    asciiDataDir_ = picked.absolutePath();

    TAsciiFileReader reader(*notifier_, locale_,
                            tempDirectory_.isEmpty() ? DefaultTempDirectory() : ToPath(tempDirectory_));
    std::string failure;
    bool usable = false;
    try {
        BusyScope busy;
        reader.Open(fileName.toStdString());
        const QString workFile = QString::fromStdString(reader.DataFileName);
        usable = reader.RecordCount > 0 && !workFile.isEmpty() && QFileInfo::exists(workFile);
        if (usable) {
            workFilePath_ = workFile;
            QString symbol = QString::fromStdString(reader.Symbol);
            while (symbol.endsWith(QLatin1Char(' ')))
                symbol.chop(1);
            symbolText_ = symbol;
        }
    } catch (const std::exception& error) {
        failure = error.what();
        if (failure.empty())
            failure = "The price file could not be read.";
    }
    if (!usable) {
        notifier_->Info((kCannotDigestMessage + picked.fileName()).toStdString());
        workFilePath_.clear();
        symbolText_.clear();
    }
    if (!failure.empty()) {
        notifier_->Info(failure);
        return false;
    }
    return true;
}

// The newest close and its date from a work file, when the volatility run
// over it gives a result.
bool TdlgInputs::ReadLastClose(const QString& workFile, float& lastClose, double& lastDate)
{
    // A page's work file may have been cleared away with the temporary
    // folder; then there is simply nothing to show.
    if (!QFileInfo::exists(workFile))
        return false;
    TSigmaObj sigma(*notifier_);
    sigma.FileName = workFile.toStdString();
    sigma.Days = kSigmaDays;
    std::string failure;
    try {
        BusyScope busy;
        sigma.Calculate();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        notifier_->Info(failure);
        return false;
    }
    if (sigma.Sigma == 0)
        return false;
    lastClose = sigma.LastClose;
    lastDate = sigma.LastDate;
    return true;
}

QString TdlgInputs::LastCloseText(float lastClose, double lastDate) const
{
    const std::string close = WithDecimalSeparator(
        QString::asprintf("%6.2f", static_cast<double>(lastClose)).toStdString(), locale_.decimalSeparator);
    return QString::fromStdString(close + " on " + FormatLocaleDate(lastDate, locale_));
}

void TdlgInputs::ShowPriceFileData()
{
    if (workFilePath_.isEmpty())
        return;
    float lastClose = 0;
    double lastDate = 0;
    if (!ReadLastClose(workFilePath_, lastClose, lastDate))
        return;
    lblCurData_->setText(LastCloseText(lastClose, lastDate));
    SetSymbolBox(edUSymbl_, symbolText_);
    // An index's history symbol carries a caret that the exchange does not use.
    const qsizetype caret = symbolText_.indexOf(QLatin1Char('^'));
    if (caret >= 0)
        symbolText_.remove(caret, 1);
    SetSymbolBox(edOSymbl_, symbolText_);
    if (mode_ == Mode::NewSeries)
        ProposeStrikes(lastClose);
}

void TdlgInputs::ProposeStrikes(float lastClose)
{
    const char separator = locale_.decimalSeparator;
    const double whole = std::trunc(static_cast<double>(lastClose));
    if (lastClose < 5.0f) {
        const float lowest = std::trunc(lastClose * 10.0f) / 10.0f;
        ed1stStr_->setText(Picture("0.###0", lowest, separator));
        edStrIncr_->setText(Picture("#.##0", 0.5, separator));
    } else if (lastClose > 5.0f && lastClose < 40.0f) {
        ed1stStr_->setText(Picture("#0.#0", whole - std::fmod(whole, 5.0), separator));
        edStrIncr_->setText(Picture("#.##0", 2.5, separator));
    } else {
        ed1stStr_->setText(Picture("#####", whole - std::fmod(whole, 5.0), separator));
        edStrIncr_->setText(Picture("#.##0", 5.0, separator));
    }
}

void TdlgInputs::cmdOKClick()
{
    if (edOSymbl_->text().trimmed().isEmpty()) {
        notifier_->Info(kNoSymbolMessage.toStdString());
        edOSymbl_->setFocus();
        return;
    }
    // No expiry at all would leave the page without a series. A count above
    // three was beeped at and gives three expiries.
    bool isNumber = false;
    const int expiries = edNumExp_->text().toInt(&isNumber);
    if (!isNumber || expiries < 1) {
        notifier_->Info(kBadExpiryCountMessage.toStdString());
        edNumExp_->setFocus();
        edNumExp_->selectAll();
        return;
    }
    // A box that holds no usable number keeps the dialog open with every
    // entry as typed, its message naming the box.
    if (const std::optional<SetupProblem> problem = CheckSetupNumbers(Values(), locale_.decimalSeparator)) {
        notifier_->Info(problem->message);
        QLineEdit* box = BoxOf(problem->box);
        box->setFocus();
        box->selectAll();
        return;
    }
    symbolText_ = edOSymbl_->text();
    accept();
}

QLineEdit* TdlgInputs::BoxOf(SetupBox box) const
{
    switch (box) {
    case SetupBox::NumStrikes:
        return edNumStr_;
    case SetupBox::FirstStrike:
        return ed1stStr_;
    case SetupBox::StrikeIncrement:
        return edStrIncr_;
    case SetupBox::DividendAmount:
        return edDivAmt_;
    case SetupBox::DividendYield:
        break;
    }
    return edDivYld_;
}

void TdlgInputs::cmdCancelClick()
{
    reject();
}

// ---- results

SeriesSetup TdlgInputs::Values() const
{
    SeriesSetup values;
    bool isNumber = false;
    const int expiries = edNumExp_->text().toInt(&isNumber);
    values.numExpiries = isNumber ? expiries : 0;
    for (std::size_t i = 0; i < datePickers_.size(); ++i)
        values.expiryDates[i] = datePickers_[i]->date();
    values.numStrikes = edNumStr_->text();
    values.firstStrike = ed1stStr_->text();
    values.strikeIncrement = edStrIncr_->text();
    values.optionSymbol = edOSymbl_->text();
    values.contractType = contractButtons_->checkedId() + 1;
    values.model = rgModel_->checkedId() + 1;
    values.dividendAmount = edDivAmt_->text();
    values.dividendDate = DatePickerDivDate_->date();
    values.dividendYield = edDivYld_->text();
    values.sourceFilePath = sourceFilePath_;
    values.workFilePath = workFilePath_;
    values.contractRoot = contractRoot_;
    values.symbolText = symbolText_;
    return values;
}

}  // namespace kestrava
