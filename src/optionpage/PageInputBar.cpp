// The page's input bar: its boxes and buttons, what they show of the
// current expiry and how a change reaches the series.

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "common/localeparse.h"
#include "common/qt/seriestext.h"
#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"
#include "marketdata/OptPriceReader.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PageMessages.h"
#include "pricing/gridtext.h"
#include "pricing/IORecObj1.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

const QColor kPastDividendColor(0x80, 0x80, 0x80);

QIcon CalcSigIcon()
{
    static const QByteArray svg = QByteArrayLiteral(
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>"
        "<rect x='0.5' y='0.5' width='15' height='15' rx='2' fill='#1a1a1a' stroke='#555'/>"
        "<polyline points='2,12 5,9 7,11 10,5 14,3' fill='none' stroke='#c0dcc0' stroke-width='1.5'/>"
        "<polyline points='2,7 5,8 8,6 11,9 14,8' fill='none' stroke='#ffff97' stroke-width='1.2'/>"
        "</svg>");
    QSvgRenderer renderer(svg);
    QIcon icon;
    for (const int scale : {1, 2, 3}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

PageInputBar::PageInputBar(const LocaleInfo& locale, PageSeries& series, PageMessages& messages,
                           CurrentExpiry currentExpiry, QWidget* page)
    : QFrame(page),
      locale_(locale),
      series_(series),
      messages_(messages),
      currentExpiry_(std::move(currentExpiry))
{
    setObjectName(QStringLiteral("Panel1"));
    setFrameShape(QFrame::StyledPanel);
    // The page's font sizes the boxes.
    if (page)
        setFont(page->font());
    BuildBoxes();
    LayOut();
    ConnectBoxes();
}

void PageInputBar::BuildBoxes()
{
    const QFontMetrics metrics(font());

    // A spin edit as wide as its longest text plus one digit and its buttons.
    auto boxWidth = [&](int characters) {
        return metrics.horizontalAdvance(QString(characters + 1, QLatin1Char('0')))
               + TrmSpinButton::DefaultWidth(metrics) + 2 * metrics.averageCharWidth();
    };
    const QChar separator = QLatin1Char(locale_.decimalSeparator);
    auto floatBox = [&](const char* name, double low, double high, double value, double step, int maxLength,
                        const char* hint) {
        auto* box = new TrmFloatSpinEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->SetDecimalSeparator(separator);
        box->SetMaxValue(high);
        box->SetMinValue(low);
        box->SetIncrement(step);
        box->SetMaxLength(maxLength);
        box->SetUseRanges(true);
        box->SetValue(value);
        box->setToolTip(QString::fromLatin1(hint));
        box->setFixedWidth(boxWidth(maxLength > 0 ? maxLength : 6));
        return box;
    };
    auto intBox = [&](const char* name, int low, int high, int value, int step, const char* hint) {
        auto* box = new TrmSpinEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->SetMaxValue(high);
        box->SetMinValue(low);
        box->SetIncrement(step);
        box->SetMaxLength(3);
        box->SetUseRanges(true);
        box->SetValue(value);
        box->setToolTip(QString::fromLatin1(hint));
        box->setFixedWidth(boxWidth(3));
        return box;
    };
    auto label = [&](const char* name, const QString& text, QWidget* buddy) {
        auto* result = new QLabel(text, this);
        result->setObjectName(QString::fromLatin1(name));
        if (buddy)
            result->setBuddy(buddy);
        return result;
    };

    // Room for the largest price with two decimals: index levels such as 6123.45.
    fseUlying = floatBox("fseUlying", 0.001, 100000.0, 100.0, 1.0, 9, "Set Underlying price");
    fseSigma = floatBox("fseSigma", 1.0, 200.0, 10.0, 0.1, 0, "Set Volatility %  (10.0 = 10%)");
    fseRate = floatBox("fseRate", 0.05, 50.0, 1.0, 0.1, 5, "Risk Free interest rate (1.0 = 1%)");
    seSigDays = intBox("seSigDays", 1, 250, 90, 1, "Days to calculate hiistorical volatility of Underlying");
    seExpDays = intBox("seExpDays", 1, 1000, 1, 1, "Days to expiry");
    seSteps = intBox("seSteps", 25, 400, 200, 10, "Binomial Model Steps/Nodes");
    lblUlying = label("lblUlying", QStringLiteral("&Ulying"), fseUlying);
    lblSigma = label("lblSigma", QStringLiteral("&Volatility"), fseSigma);
    lblRate = label("lblRate", QStringLiteral("&Rate"), fseRate);
    lblSigDays = label("lblSigDays", QStringLiteral("V &Days"), seSigDays);
    lblExpDays = label("lblExpDays", QStringLiteral("Days left"), seExpDays);
    lblSteps = label("lblSteps", QStringLiteral("&Steps"), seSteps);

    cmdCalcSig = new QToolButton(this);
    cmdCalcSig->setObjectName(QStringLiteral("cmdCalcSig"));
    cmdCalcSig->setIcon(CalcSigIcon());
    cmdCalcSig->setAutoRaise(true);
    cmdCalcSig->setToolTip(QStringLiteral("Calculate historical volatility of Underlying"));

    cmdReCalc = new QPushButton(QStringLiteral("&Calculate"), this);
    cmdReCalc->setObjectName(QStringLiteral("cmdReCalc"));
    cmdReCalc->setToolTip(QStringLiteral("Figure model  values"));

    cmboOptSymbols = new QComboBox(this);
    cmboOptSymbols->setObjectName(QStringLiteral("cmboOptSymbols"));
    cmboOptSymbols->setToolTip(QStringLiteral("Available option contracts"));
    cmboOptSymbols->setMinimumContentsLength(7);
    cmboOptSymbols->hide();
    // The whole chain of the quote file, in a window of its own; shown with
    // the contract list.
    cmdChain = new QToolButton(this);
    cmdChain->setObjectName(QStringLiteral("cmdChain"));
    cmdChain->setText(QStringLiteral("Chain..."));
    cmdChain->setToolTip(QStringLiteral("Open the whole option chain of the quote file"));
    cmdChain->hide();

    rbtnLevel = new QRadioButton(QStringLiteral("Use Flat V"), this);
    rbtnLevel->setObjectName(QStringLiteral("rbtnLevel"));
    rbtnLevel->setToolTip(QStringLiteral("Price with no skew"));
    rbtnLevel->setChecked(true);
    rbtnBid = new QRadioButton(QStringLiteral("Use Bid IVs"), this);
    rbtnBid->setObjectName(QStringLiteral("rbtnBid"));
    rbtnBid->setToolTip(QStringLiteral("Price with Bid IV skew"));
    rbtnAsk = new QRadioButton(QStringLiteral("Use Ask IVs"), this);
    rbtnAsk->setObjectName(QStringLiteral("rbtnAsk"));
    rbtnAsk->setToolTip(QStringLiteral("Price with Ask IV skew"));
    volatilitySource_ = new QButtonGroup(this);
    volatilitySource_->addButton(rbtnLevel, 1);
    volatilitySource_->addButton(rbtnBid, 2);
    volatilitySource_->addButton(rbtnAsk, 3);

    lblToday = label("lblToday", QStringLiteral("Today: "), nullptr);
    lblToday->setToolTip(QStringLiteral("Calculation Date"));
    lblExpDate = label("lblExpDate", QStringLiteral("Expiry: "), nullptr);
    lblExpDate->setToolTip(QStringLiteral("Expiry Date"));
    lblCntrMdl = label("lblCntrMdl", QString(), nullptr);
    lblDiv = label("lblDiv", QString(), nullptr);
    lblDiv->hide();
}

void PageInputBar::LayOut()
{
    const QFontMetrics metrics(font());
    auto* rows = new QVBoxLayout(this);
    const int gap = metrics.averageCharWidth();
    rows->setContentsMargins(gap, gap / 2, gap, gap / 2);
    rows->setSpacing(gap / 2);

    auto* inputs = new QHBoxLayout;
    inputs->setSpacing(gap / 2);
    auto addPair = [&](QLabel* caption, QWidget* box) {
        inputs->addWidget(caption);
        inputs->addWidget(box);
        inputs->addSpacing(gap);
    };
    addPair(lblUlying, fseUlying);
    addPair(lblSigma, fseSigma);
    addPair(lblRate, fseRate);
    inputs->addWidget(lblSigDays);
    inputs->addWidget(seSigDays);
    inputs->addWidget(cmdCalcSig);
    inputs->addSpacing(gap);
    addPair(lblSteps, seSteps);
    inputs->addStretch(1);
    inputs->addWidget(cmboOptSymbols);
    inputs->addWidget(cmdChain);
    inputs->addSpacing(gap);
    inputs->addWidget(cmdReCalc);
    rows->addLayout(inputs);

    auto* status = new QHBoxLayout;
    status->setSpacing(gap);
    status->addWidget(lblExpDays);
    status->addWidget(seExpDays);
    status->addSpacing(gap);
    status->addWidget(rbtnLevel);
    status->addWidget(rbtnBid);
    status->addWidget(rbtnAsk);
    status->addSpacing(2 * gap);
    status->addWidget(lblToday);
    status->addSpacing(gap);
    status->addWidget(lblExpDate);
    status->addStretch(1);
    rows->addLayout(status);

    auto* series = new QHBoxLayout;
    series->setSpacing(2 * gap);
    series->addWidget(lblCntrMdl);
    series->addWidget(lblDiv);
    series->addStretch(1);
    rows->addLayout(series);
}

void PageInputBar::ConnectBoxes()
{
    connect(fseUlying, &TrmCustomSpinEdit::changed, this, [this] {
        if (fseUlying->Value() > fseUlying->MinValue())
            emit inputsChanged();
    });
    fseUlying->installEventFilter(this);
    connect(fseRate, &TrmCustomSpinEdit::changed, this, &PageInputBar::RateChanged);
    connect(fseSigma, &TrmCustomSpinEdit::changed, this, &PageInputBar::SigmaChanged);
    connect(seSigDays, &TrmCustomSpinEdit::changed, this, &PageInputBar::inputsChanged);
    connect(seSteps, &TrmCustomSpinEdit::changed, this, &PageInputBar::inputsChanged);
    connect(seExpDays, &TrmCustomSpinEdit::changed, this, &PageInputBar::ExpiryDaysChanged);
    seExpDays->installEventFilter(this);
    seExpDays->Button()->UpButton()->installEventFilter(this);
    seExpDays->Button()->DownButton()->installEventFilter(this);
    connect(volatilitySource_, &QButtonGroup::idClicked, this, &PageInputBar::ToggleButtons);
}

void PageInputBar::Detach()
{
    currentExpiry_ = nullptr;
    fseUlying->removeEventFilter(this);
    seExpDays->removeEventFilter(this);
    seExpDays->Button()->UpButton()->removeEventFilter(this);
    seExpDays->Button()->DownButton()->removeEventFilter(this);
    disconnect(this, &PageInputBar::inputsChanged, nullptr, nullptr);
}

bool PageInputBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fseUlying && event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter goes to Calculate, so a second Enter calculates.
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            cmdReCalc->setFocus();
    } else if (watched == seExpDays && event->type() == QEvent::KeyPress) {
        // Digits and their corrections are typing; the arrows and Enter
        // step or finish, and the box then shows the days as they are.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool editing = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete
                             || (!key->text().isEmpty() && key->text().at(0).isPrint());
        typingExpiryDays_ = editing;
        if (!editing && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            ShowDaysLeft();
    } else if (watched == seExpDays && event->type() == QEvent::FocusOut) {
        typingExpiryDays_ = false;
        ShowDaysLeft();
    } else if ((watched == seExpDays->Button()->UpButton() || watched == seExpDays->Button()->DownButton())
               && event->type() == QEvent::MouseButtonPress) {
        typingExpiryDays_ = false;
    }
    return QFrame::eventFilter(watched, event);
}

void PageInputBar::HidePriceFileControls()
{
    cmdCalcSig->hide();
    seSigDays->hide();
    lblSigDays->hide();
}

void PageInputBar::FillContractList(const QString& file, const QString& saved)
{
    TCboePriceReader reader(messages_, locale_);
    reader.FileName = file.toStdString();
    // An unusable file is reported and moved aside by the reader.
    const QPointer<PageInputBar> alive(this);
    reader.ListRoots();
    if (!alive || reader.Roots.empty())
        return;
    const QSignalBlocker quiet(cmboOptSymbols);
    cmboOptSymbols->clear();
    for (const std::string& root : reader.Roots)
        cmboOptSymbols->addItem(QString::fromStdString(root));
    // A saved contract the file no longer offers selects nothing.
    cmboOptSymbols->setCurrentIndex(cmboOptSymbols->findText(
        saved.isEmpty() ? QString::fromStdString(reader.DefaultRoot) : saved, Qt::MatchFixedString));
    cmboOptSymbols->setToolTip(
        QStringLiteral("Available option contracts of %1 (%2)")
            .arg(QFileInfo(file).fileName(), QString::fromStdString(QuoteLayoutText(reader.Layout))));
    cmboOptSymbols->show();
    cmdChain->show();
}

void PageInputBar::ShowDividend(const TInOutObj& p, bool strictlyPositive)
{
    const bool paid = strictlyPositive ? p.Dividend > 0 : p.Dividend != 0;
    const char separator = locale_.decimalSeparator;
    auto number = [&](const char* format, double value) {
        return QString::fromStdString(
            WithDecimalSeparator(QString::asprintf(format, value).toStdString(), separator));
    };
    lblDiv->setPalette(palette());
    switch (p.ContractType) {
    case kEquity:
        lblDiv->show();
        if (paid) {
            lblDiv->setText(number("$ Div: %5.2f on ", static_cast<double>(p.Dividend))
                            + DateText(p.DivDate));
            // A dividend after the expiry does not touch this expiry's options.
            if (p.ExpiryDate < p.DivDate) {
                QPalette grey = lblDiv->palette();
                grey.setColor(QPalette::WindowText, kPastDividendColor);
                lblDiv->setPalette(grey);
            }
        } else {
            lblDiv->setText(QStringLiteral("$ Div: None"));
        }
        break;
    case kIndex:
        lblDiv->show();
        lblDiv->setText(paid ? number("Div Yield: %4.2f", p.Dividend * 100.0) + QStringLiteral("%")
                             : QStringLiteral("Div Yield: None"));
        break;
    case kFuture:
        lblDiv->hide();
        break;
    default:
        lblDiv->show();
        lblDiv->setText(paid ? number("Foreign RF Rate: %4.2f", p.Dividend * 100.0)
                             : QStringLiteral("Foreign RF Rate: ???"));
        break;
    }
}

void PageInputBar::ShowSeries(TInOutObj& p, TDateTime today)
{
    QString kind;
    switch (p.ContractType) {
    case kEquity:
        kind = QStringLiteral("Equity: ");
        break;
    case kIndex:
        kind = QStringLiteral("Index:");
        break;
    case kFuture:
        kind = QStringLiteral("Future:");
        break;
    default:
        kind = QStringLiteral("Currency:");
        break;
    }
    ShowDividend(p, false);
    const ModelEntry* model = FindModel(p.Model);
    if (model) {
        // The kind and the model read as two words.
        if (!kind.endsWith(QLatin1Char(' ')))
            kind += QLatin1Char(' ');
        kind += QString::fromLatin1(model->shortName);
    }
    lblCntrMdl->setText(kind);

    const bool binomial = model && model->tree;
    lblSteps->setVisible(binomial);
    seSteps->setVisible(binomial);
    if (binomial)
        seSteps->SetValue(p.Steps);

    ShowToday(today);
    lblExpDate->setText(QStringLiteral("Expiry: ") + DateText(p.GetExpiry()));
    ShowExpiryDays(p.DaysToExpiry());

    ShowUnderlying(p.Underlying);
    ShowPercent(fseRate, p.Rate);
    ShowPercent(fseSigma, p.Sigma);
    seSigDays->SetValue(p.SigmaDays);
}

void PageInputBar::ShowExpiry(TInOutObj& p, TDateTime today)
{
    ShowExpiryDays(p.DaysToExpiry());
    ShowToday(today);
    lblExpDate->setText(QStringLiteral("Expiry: ") + DateText(p.GetExpiry()));
    ShowPercent(fseRate, p.Rate);
    ShowPercent(fseSigma, p.Sigma);
    ShowUnderlying(p.Underlying);
    ShowDividend(p, true);
}

void PageInputBar::StartFrom(const TInOutObj& p)
{
    const QSignalBlocker steps(seSteps);
    const QSignalBlocker days(seSigDays);
    const QSignalBlocker price(fseUlying);
    seSteps->SetValue(p.Steps);
    if (p.SigmaDays >= 1)
        seSigDays->SetValue(p.SigmaDays);
    ShowUnderlying(p.Underlying);
}

void PageInputBar::ShowToday(TDateTime today)
{
    lblToday->setText(QStringLiteral("Today: ") + DateText(today));
}

void PageInputBar::ShowSigma(double fraction)
{
    ShowPercent(fseSigma, fraction);
}

SeriesInputs PageInputBar::Inputs() const
{
    SeriesInputs inputs;
    if (fseUlying->Value() > fseUlying->MinValue())
        inputs.underlying = static_cast<float>(fseUlying->Value());
    if (seSigDays->Value() > seSigDays->MinValue())
        inputs.sigmaDays = seSigDays->Value();
    inputs.steps = seSteps->Value();
    return inputs;
}

VolSource PageInputBar::SelectedVolSource() const
{
    const int mode = volatilitySource_->checkedId();
    return mode == 2 ? VolSource::BidIVs : mode == 3 ? VolSource::AskIVs : VolSource::Flat;
}

void PageInputBar::ToggleButtons(int tag)
{
    const bool flat = tag == 1;
    fseSigma->setEnabled(flat);
    seSigDays->setEnabled(flat);
}

void PageInputBar::RateChanged()
{
    if (TInOutObj* p = currentExpiry_ ? currentExpiry_() : nullptr)
        p->Rate = static_cast<float>(fseRate->Value() / 100.0);
}

void PageInputBar::SigmaChanged()
{
    if (TInOutObj* p = currentExpiry_ ? currentExpiry_() : nullptr)
        p->Sigma = static_cast<float>(fseSigma->Value() / 100.0);
}

void PageInputBar::ExpiryDaysChanged()
{
    const PageCommand command(messages_);
    // Showing a tab writes its day count; that moves no date, so an expired
    // expiry stays expired when it is looked at.
    if (showingExpiryDays_)
        return;
    TInOutObj* p = currentExpiry_ ? currentExpiry_() : nullptr;
    if (!p)
        return;
    try {
        const TDateTime expiry = p->GetExpiry();
        const TDateTime today = series_.MoveToday(expiry, seExpDays->Value());
        // While the user types, the box keeps the digits typed so far (the
        // 4 of 45 would otherwise become 31 and the 5 make it 315); a count
        // that had to move shows once the typing ends.
        if (!typingExpiryDays_)
            ShowExpiryDays(static_cast<int>(std::trunc(expiry - today)));
        ShowToday(today);
        emit inputsChanged();
    } catch (const std::exception& error) {
        messages_.Info(error.what());
    }
}

void PageInputBar::ShowDaysLeft()
{
    const PageCommand command(messages_);
    TInOutObj* p = currentExpiry_ ? currentExpiry_() : nullptr;
    if (!p)
        return;
    try {
        ShowExpiryDays(static_cast<int>(std::trunc(p->GetExpiry() - series_.Today())));
    } catch (const std::exception& error) {
        messages_.Info(error.what());
    }
}

void PageInputBar::ShowExpiryDays(int days)
{
    const QScopedValueRollback showing(showingExpiryDays_, true);
    seExpDays->SetValue(days);
}

void PageInputBar::ShowUnderlying(double value)
{
    // As "%6.2f" shows it: the box and the series agree to the cent.
    fseUlying->SetValue(QString::number(value, 'f', 2).toDouble());
}

void PageInputBar::ShowPercent(TrmFloatSpinEdit* box, double fraction)
{
    box->SetValue(QString::number(fraction * 100.0, 'f', 2).toDouble());
}

QString PageInputBar::DateText(TDateTime date) const
{
    return QString::fromStdString(FormatLocaleDate(date, locale_));
}

}  // namespace kestrava
