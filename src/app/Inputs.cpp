#include "app/Inputs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include <QApplication>
#include <QButtonGroup>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include "app/GuiSeams.h"
#include "app/InputsParts.h"
#include "appcore/SetupRules.h"
#include "common/dates.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numformat.h"
#include "common/qt/seriestext.h"
#include "optionpage/SetupChecks.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

const QString TdlgInputs::kHelpKeyword = QStringLiteral("Option Setup");
const QString TdlgInputs::kDesignCaption = QStringLiteral("Option Series Setup");
const QString TdlgInputs::kNewCaption = QStringLiteral("New Option Series Setup");
const QString TdlgInputs::kEditCaptionPrefix = QStringLiteral("Editing Option Series for ");
const QString TdlgInputs::kNoSymbolMessage = QStringLiteral(
    "You need to enter a Ticker/Symbol \n\ror hit Cancel.");
const QString TdlgInputs::kCannotDigestMessage = QStringLiteral(
    "Dang! Can't digest data in file(s) ... \r\n");
const QString TdlgInputs::kBadExpiryCountMessage = QStringLiteral(
    "You need to enter the # of Expirys \n\ror hit Cancel.");

namespace {

using namespace inputsparts;

const QString kPickerTitle = QStringLiteral("Select Underlying Price File");
const QString kPickerFilter = QStringLiteral("ASCII Data Files (*.csv)");
const QString kForeignRateCaption = QStringLiteral("% Foreign Rate:");

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

}  // namespace

TdlgInputs::TdlgInputs(Environment environment, QWidget* parent)
    : QDialog(parent),
      locale_(std::move(environment.locale)),
      tempDirectory_(std::move(environment.tempDirectory)),
      asciiDataDir_(std::move(environment.asciiDataDir)),
      notifier_(environment.notifier)
{
    if (!notifier_) {
        ownNotifier_ = std::make_unique<MessageBoxNotifier>(this);
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

// ---- preparing

QDate TdlgInputs::SetOptionDates(const QDate& from)
{
    return NextExpiryOnOrAfter(from);
}

void TdlgInputs::PrepareNew(const QDate& today)
{
    mode_ = Mode::NewSeries;
    listedStrikes_.clear();
    setWindowTitle(kNewCaption);
    rbEquity_->setChecked(true);
    SelectModel(ModelIndex(kBinomial));

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
    SetSymbolBox(edUSymbl_, PriceFileBase(sourceFilePath_));

    // A one-strike series has no second strike: the increment shows as the
    // negative of the only strike, and the page ignores it for one strike.
    const float step = first.Strike(2, 1) - first.Strike(1, 1);
    edStrIncr_->setText(Picture("#.##0", step, separator));
    ed1stStr_->setText(GeneralText(first.Strike(1, 1), separator));
    edNumStr_->setText(QString::number(first.NumStrikes));
    SetSymbolBox(edOSymbl_, symbolText_);

    // Strikes taken one by one from a chain are not a first strike and an
    // increment: they stay as they are unless the boxes are changed.
    listedStrikes_.clear();
    QString listedText;
    bool even = true;
    for (int s = 1; s <= first.NumStrikes && s <= kMaxStrikes; ++s) {
        const float strike = first.Strike(s, 1);
        const float spaced = first.Strike(1, 1) + static_cast<float>(s - 1) * step;
        even = even && std::fabs(strike - spaced) <= 1e-5f * std::max(1.0f, std::fabs(strike));
        listedStrikes_.push_back(strike);
        listedText += (s > 1 ? QStringLiteral(", ") : QString()) + GeneralText(strike, separator);
    }
    if (even)
        listedStrikes_.clear();
    listedBoxes_ = {edNumStr_->text(), ed1stStr_->text(), edStrIncr_->text()};
    const QString listedNote = QStringLiteral("The strikes were chosen one by one (%1); changing "
                                              "these boxes spaces them evenly.")
                                   .arg(listedText);
    for (QLineEdit* box : {edNumStr_, ed1stStr_, edStrIncr_}) {
        const QString hint = box->property("hint").toString();
        box->setToolTip(even ? hint : hint + QLatin1Char('\n') + listedNote);
    }

    CheckContractButton(first.ContractType);
    if (ModelIndex(first.Model) >= 0)
        SelectModel(ModelIndex(first.Model));

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
    if (index == ModelIndex(kBlackFutures))
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

void TdlgInputs::ProposeStrikes(float lastClose)
{
    const ProposedStrikes proposed = kestrava::ProposeStrikes(lastClose);
    ed1stStr_->setText(Picture(proposed.lowestPicture, proposed.lowest, locale_.decimalSeparator));
    edStrIncr_->setText(Picture("#.##0", proposed.increment, locale_.decimalSeparator));
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
    if (!listedStrikes_.empty()
        && listedBoxes_
               == std::array<QString, 3>{values.numStrikes, values.firstStrike, values.strikeIncrement})
        values.strikes = listedStrikes_;
    values.optionSymbol = edOSymbl_->text();
    values.contractType = contractButtons_->checkedId() + 1;
    const int model = rgModel_->checkedId();
    values.model = model >= 0 ? ModelTable()[static_cast<std::size_t>(model)].number : 0;
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
