#include "optionpage/Opage27.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QStyle>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "common/busy.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/qt/keepinside.h"
#include "common/qt/seriestext.h"
#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ChartTab.h"
#include "optionpage/ImprStrGrid.h"
#include "pricing/Models.h"
#include "pricing/gridtext.h"
#include "pricing/recalc.h"
#include "pricing/seriesfile.h"

namespace kestrava {
namespace {

// The messages of the page.
const char* const kCantDigestSource = "Dang! Can't digest source data from ";
const char* const kNoExpiry = "The series has no expiry date.";
const char* const kNoSeriesInFile = "There is no option series in ";

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* const kModelNames[4] = {"Black-Scholes", "Black", "Binomial", "Whaley"};

const QColor kLightColor(255, 255, 151);
const QColor kDarkColor(192, 220, 192);  // money green
const QColor kFixedColor(255, 251, 240);  // cream
const QColor kPastDividendColor(0x80, 0x80, 0x80);

constexpr int kChartTabMarker = -1;  // tab data of the Chart tab
constexpr int kMoveSizeSettleMs = 150;

// A problem that ends the building of a page; what() is the text to show.
class PageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string InvalidFloat(const QString& text)
{
    return "'" + text.toStdString() + "' is not a valid floating point value";
}

std::string InvalidInteger(const QString& text)
{
    return "'" + text.toStdString() + "' is not a valid integer value";
}

TDateTime DayNumber(const QDate& date)
{
    return EncodeDate(date.year(), date.month(), date.day());
}

TDateTime SystemToday()
{
    return DayNumber(QDate::currentDate());
}

// "Mar 2009": the program's month abbreviation and the year.
QString ExpiryTabText(TDateTime expiry)
{
    const CivilDate civil = DecodeDate(expiry);
    return QString::fromLatin1(kMonthNames[civil.month - 1])
           + QString::asprintf(" %4d", civil.year);
}

float ParseFloatBox(const QString& text, char decimalSeparator)
{
    float value = 0;
    if (!TryParseSingle(text.toStdString(), decimalSeparator, value))
        throw PageError(InvalidFloat(text));
    return value;
}

int ParseIntBox(const QString& text)
{
    std::int32_t value = 0;
    if (!TryParseInt32(text.toStdString(), value))
        throw PageError(InvalidInteger(text));
    return value;
}

// The volatility window of the chart and of the history button.
int WindowDays(int boxDays, int longest)
{
    return boxDays < 10 || boxDays > longest ? 90 : boxDays;
}

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

// ------------------------------------------------------------------ creation

TfrmOPage* TfrmOPage::Create(const PageEnvironment& environment, const PageSource& source,
                             Notifier& notifier, QWidget* parent)
{
    auto* page = new TfrmOPage(environment, notifier, parent);
    if (!page->FormCreate(source)) {
        delete page;
        return nullptr;
    }
    return page;
}

TfrmOPage::TfrmOPage(const PageEnvironment& environment, Notifier& notifier, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      environment_(environment),
      notifier_(notifier)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmOPage"));
    setProperty("helpKeyword", QStringLiteral("Option Series Grid"));
    setProperty("helpContext", 2080);
    QFont formFont(QStringLiteral("Tahoma"));
    formFont.setPixelSize(13);
    setFont(formFont);
    BuildControls();
    ConnectControls();
}

TfrmOPage::~TfrmOPage()
{
    // The children outlive this body; none of their signals may reach a page
    // whose series are gone.
    closed_ = true;
    TabControl1->removeEventFilter(this);
    fseUlying->removeEventFilter(this);
    seExpDays->removeEventFilter(this);
    seExpDays->Button()->UpButton()->removeEventFilter(this);
    seExpDays->Button()->DownButton()->removeEventFilter(this);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->removeEventFilter(this);
    TabControl1->disconnect(this);
    TheGrid->disconnect(this);
    TheGrid->selectionModel()->disconnect(this);
}

void TfrmOPage::BuildControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    TabControl1 = new QTabBar(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    QFont tabFont = font();
    tabFont.setBold(true);
    TabControl1->setFont(tabFont);
    TabControl1->setExpanding(false);
    TabControl1->setDrawBase(true);
    layout->addWidget(TabControl1);

    pages_ = new QStackedLayout;
    TheGrid = new TImpStrGrid(this);
    TheGrid->setObjectName(QStringLiteral("TheGrid"));
    TheGrid->setFrameShape(QFrame::NoFrame);
    TheGrid->setProperty("helpContext", 2100);
    pages_->addWidget(TheGrid);
    layout->addLayout(pages_, 1);

    Panel1 = qobject_cast<QFrame*>(BuildInputBar());
    layout->addWidget(Panel1);
}

QWidget* TfrmOPage::BuildInputBar()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    const QFontMetrics metrics(font());

    // A spin edit as wide as its longest text plus one digit and its buttons.
    auto boxWidth = [&](int characters) {
        return metrics.horizontalAdvance(QString(characters + 1, QLatin1Char('0')))
               + TrmSpinButton::DefaultWidth(metrics) + 2 * metrics.averageCharWidth();
    };
    const QChar separator = QLatin1Char(environment_.locale.decimalSeparator);
    auto floatBox = [&](const char* name, double low, double high, double value, double step,
                        int maxLength, const char* hint) {
        auto* box = new TrmFloatSpinEdit(panel);
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
        auto* box = new TrmSpinEdit(panel);
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
        auto* result = new QLabel(text, panel);
        result->setObjectName(QString::fromLatin1(name));
        if (buddy)
            result->setBuddy(buddy);
        return result;
    };

    // Room for the largest price with two decimals: index levels such as 6123.45.
    fseUlying = floatBox("fseUlying", 0.001, 100000.0, 100.0, 1.0, 9, "Set Underlying price");
    fseSigma = floatBox("fseSigma", 1.0, 200.0, 10.0, 0.1, 0, "Set Volatility %  (10.0 = 10%)");
    fseRate = floatBox("fseRate", 0.05, 50.0, 1.0, 0.1, 5, "Risk Free interest rate (1.0 = 1%)");
    seSigDays = intBox("seSigDays", 1, 250, 90, 1,
                       "Days to calculate hiistorical volatility of Underlying");
    seExpDays = intBox("seExpDays", 1, 1000, 1, 1, "Days to expiry");
    seSteps = intBox("seSteps", 25, 400, 200, 10, "Binomial Model Steps/Nodes");
    lblUlying = label("lblUlying", QStringLiteral("&Ulying"), fseUlying);
    lblSigma = label("lblSigma", QStringLiteral("&Volatility"), fseSigma);
    lblRate = label("lblRate", QStringLiteral("&Rate"), fseRate);
    lblSigDays = label("lblSigDays", QStringLiteral("V &Days"), seSigDays);
    lblExpDays = label("lblExpDays", QStringLiteral("Days left"), seExpDays);
    lblSteps = label("lblSteps", QStringLiteral("&Steps"), seSteps);

    cmdCalcSig = new QToolButton(panel);
    cmdCalcSig->setObjectName(QStringLiteral("cmdCalcSig"));
    cmdCalcSig->setIcon(CalcSigIcon());
    cmdCalcSig->setAutoRaise(true);
    cmdCalcSig->setToolTip(QStringLiteral("Calculate historical volatility of Underlying"));

    cmdReCalc = new QPushButton(QStringLiteral("&Calculate"), panel);
    cmdReCalc->setObjectName(QStringLiteral("cmdReCalc"));
    cmdReCalc->setToolTip(QStringLiteral("Figure model  values"));

    cmboOptSymbols = new QComboBox(panel);
    cmboOptSymbols->setObjectName(QStringLiteral("cmboOptSymbols"));
    cmboOptSymbols->setToolTip(QStringLiteral("Available option contracts"));
    cmboOptSymbols->setMinimumContentsLength(7);
    cmboOptSymbols->hide();

    rbtnLevel = new QRadioButton(QStringLiteral("Use Flat V"), panel);
    rbtnLevel->setObjectName(QStringLiteral("rbtnLevel"));
    rbtnLevel->setToolTip(QStringLiteral("Price with no skew"));
    rbtnLevel->setChecked(true);
    rbtnBid = new QRadioButton(QStringLiteral("Use Bid IVs"), panel);
    rbtnBid->setObjectName(QStringLiteral("rbtnBid"));
    rbtnBid->setToolTip(QStringLiteral("Price with Bid IV skew"));
    rbtnAsk = new QRadioButton(QStringLiteral("Use Ask IVs"), panel);
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

    auto* rows = new QVBoxLayout(panel);
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
    return panel;
}

void TfrmOPage::ConnectControls()
{
    connect(TabControl1, &QTabBar::currentChanged, this, [this](int index) {
        if (closed_)
            return;
        if (building_) {
            currentTab_ = index;
            return;
        }
        TabControl1Changing(currentTab_);
        currentTab_ = index;
        PageChanged(index);
    });
    TabControl1->installEventFilter(this);
    connect(TheGrid, &TImpStrGrid::exited, this, [this] { ReadQuoteCells(); });
    connect(TheGrid, &TImpStrGrid::cellEditCommitted, this, [this] { ReadQuoteCells(); });
    connect(TheGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    TheGridSelectCell(current.column(), current.row() + 1);
            });
    TheGrid->Cells()->SetEditableColumns({kBidColumn, kAskColumn});

    connect(fseUlying, &TrmCustomSpinEdit::changed, this, &TfrmOPage::fseUlyingChange);
    fseUlying->installEventFilter(this);
    connect(fseRate, &TrmCustomSpinEdit::changed, this, &TfrmOPage::fseRateChange);
    connect(fseSigma, &TrmCustomSpinEdit::changed, this, &TfrmOPage::fseSigmaChange);
    connect(seSigDays, &TrmCustomSpinEdit::changed, this, &TfrmOPage::PushInputs);
    connect(seSteps, &TrmCustomSpinEdit::changed, this, &TfrmOPage::PushInputs);
    connect(seExpDays, &TrmCustomSpinEdit::changed, this, &TfrmOPage::seExpDaysChange);
    seExpDays->installEventFilter(this);
    seExpDays->Button()->UpButton()->installEventFilter(this);
    seExpDays->Button()->DownButton()->installEventFilter(this);
    connect(cmdCalcSig, &QToolButton::clicked, this, &TfrmOPage::CalcSig);
    connect(cmdReCalc, &QPushButton::clicked, this, &TfrmOPage::ReCalc);
    connect(cmboOptSymbols, &QComboBox::activated, this, [this] {
        cmboOptSymbolsChange();
        cmboOptSymbols->setFocus();
    });
    connect(volatilitySource_, &QButtonGroup::idClicked, this, &TfrmOPage::ToggleButtons);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->installEventFilter(this);

    moveSizeTimer_ = new QTimer(this);
    moveSizeTimer_->setSingleShot(true);
    moveSizeTimer_->setInterval(kMoveSizeSettleMs);
    connect(moveSizeTimer_, &QTimer::timeout, this, &TfrmOPage::EndOfMoveOrResize);
}

bool TfrmOPage::FormCreate(const PageSource& source)
{
    scrollBarWidth_ = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, TheGrid);

    // The grid: rows and columns measured from the font, so they keep their
    // proportions at any screen scaling.
    const QFontMetrics metrics(TheGrid->font());
    TheGrid->SetColCount(kColumns);
    TheGrid->SetRowCount(kMinRows);
    TheGrid->SetDefaultRowHeight(metrics.height() * 7 / 4);
    TheGrid->SetDefaultColWidth(metrics.horizontalAdvance(QStringLiteral("-0000.00 "))
                                + 2 * TImpStrGrid::kTextMargin + 2);
    TheGrid->SetLightColor(kLightColor);
    TheGrid->SetDarkColor(kDarkColor);
    TheGrid->SetFixedColor(kFixedColor);
    QFont fixedFont = TheGrid->font();
    fixedFont.setBold(true);
    TheGrid->SetFixedFont(fixedFont);

    building_ = true;
    try {
        if (source.openFromFile) {
            seriesFile_ = source.openFileName;
            if (!OpenSeriesFile())
                return false;
            if (!priceWorkFile_.isEmpty())
                CalcSig();
        } else {
            BuildFromSetup(source.setup);
        }

        PlaceBelowMainWindow();
        FitRows();
        FitColumns();
        if (ChartImage) {
            SizeChartImage();
            DrawChart();
        }

        // The boxes show the first expiry before anything is priced: showing
        // stores their rounded values, so that a Calculate with nothing
        // changed gives the same numbers as the first one.
        ShowSeriesLabels();

        // Quotes when the symbol has a quote file, else a plain Calculate:
        // the same as after a download.
        RefreshAfterDownload();

        TabControl1->setCurrentIndex(0);
        currentTab_ = 0;
        ShowSeriesLabels();
        FitHeightToRows();
        FitColumns();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        building_ = false;
        return false;
    }
    building_ = false;
    return true;
}

int TfrmOPage::AddExpiryTab(std::unique_ptr<TInOutObj> series)
{
    const QString text = ExpiryTabText(series->GetExpiry());
    series_.push_back(std::move(series));
    const int index = static_cast<int>(series_.size()) - 1;
    // Expiry tabs come before the Chart tab.
    const int tab = TabControl1->insertTab(index, text);
    TabControl1->setTabData(tab, index);
    if (currentTab_ < 0)
        currentTab_ = TabControl1->currentIndex();
    return tab;
}

void TfrmOPage::BuildFromSetup(const SeriesSetup& setup)
{
    const int count = std::min(setup.numExpiries, 3);
    if (count < 1)
        throw PageError(kNoExpiry);
    for (int k = 0; k < count; ++k) {
        if (!setup.expiryDates[static_cast<std::size_t>(k)].isValid())
            throw PageError(kNoExpiry);
    }
    // Convert the number boxes before anything is built, so a bad one builds
    // nothing.
    (void)ParseIntBox(setup.numStrikes);
    (void)ParseFloatBox(setup.firstStrike, environment_.locale.decimalSeparator);
    (void)ParseFloatBox(setup.strikeIncrement, environment_.locale.decimalSeparator);

    for (int k = 0; k < count; ++k) {
        auto series = std::make_unique<TInOutObj>();
        series->ExpiryDate = DayNumber(setup.expiryDates[static_cast<std::size_t>(k)]);
        AddExpiryTab(std::move(series));
    }
    firstExpiry_ = DayNumber(setup.expiryDates[0]);
    priceTextFile_ = setup.sourceFilePath;
    priceWorkFile_ = setup.workFilePath;
    title_ = setup.symbolText;

    std::optional<TSigmaObj> sigma;
    if (!priceWorkFile_.isEmpty()) {
        sigma.emplace(notifier_);
        sigma->FileName = priceWorkFile_.toStdString();
        sigma->Days = 90;
        try {
            sigma->Calculate();
        } catch (const MarketDataError& error) {
            notifier_.Info(error.what());
            sigma->Sigma = 0;
        }
    }
    FillSeriesFromSetup(setup, sigma ? &*sigma : nullptr);

    SetHeaders();
    SetRowLabels();
    update();

    BusyScope busy;
    if (!priceTextFile_.isEmpty())
        OpenChartTab();
    else
        HidePriceFileControls();
}

void TfrmOPage::FillSeriesFromSetup(const SeriesSetup& setup, const TSigmaObj* sigma)
{
    const char separator = environment_.locale.decimalSeparator;
    const float first = ParseFloatBox(setup.firstStrike, separator);
    const float step = ParseFloatBox(setup.strikeIncrement, separator);
    // The series has room for 20 strikes; the dialog's box takes two digits.
    const int strikes = std::clamp(ParseIntBox(setup.numStrikes), 1, kMaxStrikes);
    const bool haveSigma = sigma && sigma->Sigma > 0;
    if (!sigma) {
        priceTextFile_.clear();
        priceWorkFile_.clear();
    }

    for (std::size_t i = 0; i < series_.size(); ++i) {
        TInOutObj& p = *series_[i];
        p.NumStrikes = strikes;
        for (int s = 1; s <= strikes; ++s) {
            const float strike = static_cast<float>(s - 1) * step + first;
            p.Strike(s, 1) = strike;
            p.Strike(s, 2) = strike;
        }
        p.Underlying = first;
        p.OptSymbol = ToSeriesText(setup.optionSymbol);
        p.OptContract = ToSeriesText(setup.contractRoot);

        // The rate box shows what is priced: a default outside its range is
        // taken at the nearest end, and (nearly) nothing at its smallest rate.
        const float lowest = static_cast<float>(fseRate->MinValue() / 100.0);
        const float highest = static_cast<float>(fseRate->MaxValue() / 100.0);
        const float rate = environment_.defaultRates[i];
        p.Rate = rate < 0.0001f || std::isnan(rate) ? lowest : std::clamp(rate, lowest, highest);

        p.ContractType = setup.contractType >= kEquity && setup.contractType <= kFuture
                             ? setup.contractType
                             : kCurrency;
        p.Model = setup.model;
        p.Steps = 200;

        if (haveSigma) {
            p.Sigma = sigma->Sigma;
            p.SigmaDays = sigma->Days;
            p.Underlying = sigma->LastClose;
            p.PriceDate = sigma->LastDate;
            pageToday_ = sigma->LastDate;
            p.TodayDate = pageToday_;
            p.SourceFile = ToSeriesText(setup.sourceFilePath);
            p.SourceFileType = environment_.sourceFileType;
            seSigDays->SetValue(p.SigmaDays);
            ShowUnderlying(p.Underlying);
            // The box's handler has given the expiries before this one the
            // price as shown; this one takes it too, so one page prices at one
            // underlying price.
            p.Underlying = static_cast<float>(fseUlying->Value());
        } else {
            // No price history, or none that gives a volatility: the series
            // starts today at 25 %, priced at its first strike.
            ShowUnderlying(p.Underlying);
            p.Sigma = 0.25f;
            p.PriceDate = SystemToday();
            p.SourceFile = sigma ? ToSeriesText(setup.sourceFilePath) : std::string();
            if (sigma)
                p.SourceFileType = environment_.sourceFileType;
            pageToday_ = SystemToday();
            p.TodayDate = pageToday_;
        }

        const CivilDate expiry = DecodeDate(p.ExpiryDate);
        p.ExpiryMonth = expiry.month;
        p.ExpiryDay = static_cast<std::uint16_t>(expiry.day);

        p.Dividend = 0;
        p.DivDate = 0;
        switch (p.ContractType) {
        case kEquity:
            if (!setup.dividendAmount.trimmed().isEmpty()) {
                p.Dividend = ParseFloatBox(setup.dividendAmount, separator);
                p.DivDate = setup.dividendDate.isValid() ? DayNumber(setup.dividendDate) : 0;
            }
            break;
        case kIndex:
        case kCurrency:
            if (!setup.dividendYield.trimmed().isEmpty())
                p.Dividend = ParseFloatBox(setup.dividendYield, separator) / 100.0f;
            break;
        default:
            break;
        }
    }
}

bool TfrmOPage::OpenSeriesFile()
{
    std::vector<TInOutObj> loaded;
    bool reported = false;
    std::string failure;
    try {
        reported = !LoadSeriesFile(seriesFile_.toStdString(), loaded, notifier_);
    } catch (const SeriesFileError& error) {
        failure = error.what();
    }
    if (loaded.empty()) {
        // The reader's words alone ("Stream read error") say neither which
        // file failed nor that nothing could be shown.
        if (!reported) {
            std::string message =
                kNoSeriesInFile + QFileInfo(seriesFile_).fileName().toStdString() + ".";
            if (!failure.empty())
                message += " " + failure;
            notifier_.Error(message);
        }
        return false;
    }
    if (!failure.empty())
        notifier_.Error(failure);
    for (TInOutObj& series : loaded)
        AddExpiryTab(std::make_unique<TInOutObj>(std::move(series)));

    TInOutObj& p = *series_.front();
    firstExpiry_ = p.ExpiryDate;
    pageToday_ = p.TodayDate;
    title_ = FromSeriesText(p.OptSymbol);
    setWindowTitle(title_);

    // The input bar starts from the saved series, so that the first push of
    // its values keeps the saved steps, days and price.
    {
        const QSignalBlocker steps(seSteps);
        const QSignalBlocker days(seSigDays);
        const QSignalBlocker price(fseUlying);
        seSteps->SetValue(p.Steps);
        if (p.SigmaDays >= 1)
            seSigDays->SetValue(p.SigmaDays);
        ShowUnderlying(p.Underlying);
    }
    // A file may hold any step count; the tree keeps to the range of the
    // box that shows it.
    for (const auto& series : series_) {
        if (series->Model == kBinomial)
            series->Steps = std::clamp(series->Steps, seSteps->MinValue(), seSteps->MaxValue());
    }

    const QString sourceFile = FromSeriesText(p.SourceFile);
    if (!sourceFile.isEmpty() && QFileInfo::exists(sourceFile)) {
        priceTextFile_ = sourceFile;
        environment_.sourceFileType = p.SourceFileType;
        if (environment_.takeSourceFileType)
            environment_.takeSourceFileType(p.SourceFileType);
    } else {
        priceTextFile_.clear();
        priceWorkFile_.clear();
        HidePriceFileControls();
        ShowUnderlying(p.Underlying);
    }

    SetHeaders();
    SetRowLabels();
    FillGrid();

    if (!priceTextFile_.isEmpty()) {
        update();
        BusyScope busy;
        OpenChartTab();
    }
    return true;
}

void TfrmOPage::HidePriceFileControls()
{
    cmdCalcSig->hide();
    seSigDays->hide();
    lblSigDays->hide();
}

void TfrmOPage::SetHeaders()
{
    for (int c = 0; c < kColumns; ++c)
        TheGrid->SetCellText(c, 0, QString::fromLatin1(GridHeader(c)));
}

void TfrmOPage::SetRowLabels()
{
    if (series_.empty())
        return;
    const TInOutObj& p = *series_.front();
    const int n = p.NumStrikes;
    TheGrid->SetRowCount(std::max(2 * n + 1, kMinRows));
    TheGrid->SetOffset(n + 1);

    strikeStep_ = p.Strike(2, 1) - p.Strike(1, 1);
    int widest = TheGrid->ColWidth(0);
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const QString label = QString::fromStdString(WithDecimalSeparator(
                StrikeLabel(p.Strike(s, k), k == 1, strikeStep_), environment_.locale.decimalSeparator));
            widest = std::max(widest, TheGrid->FixedTextWidth(label));
            TheGrid->SetCellText(0, k == 1 ? s : s + n, label);
        }
    }
    TheGrid->SetColWidth(0, widest);
}

void TfrmOPage::ShowDividend(const TInOutObj& p, bool strictlyPositive)
{
    const bool paid = strictlyPositive ? p.Dividend > 0 : p.Dividend != 0;
    const char separator = environment_.locale.decimalSeparator;
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

void TfrmOPage::ShowSeriesLabels()
{
    if (series_.empty())
        return;
    TInOutObj& p = *series_.front();
    strikeStep_ = p.Strike(2, 1) - p.Strike(1, 1);
    title_ = FromSeriesText(p.OptSymbol);

    QString kind;
    switch (p.ContractType) {
    case kEquity: kind = QStringLiteral("Equity: "); break;
    case kIndex: kind = QStringLiteral("Index:"); break;
    case kFuture: kind = QStringLiteral("Future:"); break;
    default: kind = QStringLiteral("Currency:"); break;
    }
    ShowDividend(p, false);
    if (p.Model >= 1 && p.Model <= 4) {
        // The kind and the model read as two words.
        if (!kind.endsWith(QLatin1Char(' ')))
            kind += QLatin1Char(' ');
        kind += QString::fromLatin1(kModelNames[p.Model - 1]);
    }
    lblCntrMdl->setText(kind);

    const bool binomial = p.Model == kBinomial;
    lblSteps->setVisible(binomial);
    seSteps->setVisible(binomial);
    if (binomial)
        seSteps->SetValue(p.Steps);

    p.TodayDate = pageToday_;
    lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
    lblExpDate->setText(QStringLiteral("Expiry: ") + DateText(p.GetExpiry()));
    ShowExpiryDays(p.DaysToExpiry());

    ShowUnderlying(p.Underlying);
    ShowPercent(fseRate, p.Rate);
    ShowPercent(fseSigma, p.Sigma);
    seSigDays->SetValue(p.SigmaDays);

    if (!windowTitle().contains(title_))
        setWindowTitle(title_);
}

void TfrmOPage::PlaceBelowMainWindow()
{
    // Show every row: the grid as tall as its rows, the tab bar and the
    // input bar at their natural heights.
    int rowsHeight = 0;
    for (int r = 0; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int frame = 2 * TheGrid->frameWidth();
    int height = TabControl1->sizeHint().height() + rowsHeight + frame
                 + Panel1->sizeHint().height();

    int columnsWidth = 0;
    for (int c = 0; c < TheGrid->ColCount(); ++c)
        columnsWidth += TheGrid->ColWidth(c);
    const int naturalWidth = std::max(columnsWidth + frame, Panel1->sizeHint().width());

    const QRect main = environment_.mainWindowGeometry;
    int width = naturalWidth;
    if (main.isValid()) {
        width = std::max(main.width(), naturalWidth);
        QPoint topLeft(main.left(), main.top() + main.height());
        setMinimumWidth(main.width());
        if (const QScreen* screen = QGuiApplication::screenAt(main.center())) {
            // A page taller than the room below the main window scrolls; one
            // wider than the screen is narrowed to it.
            const QRect area = screen->availableGeometry();
            const int room = area.bottom() - topLeft.y();
            if (room > 200)
                height = std::min(height, room);
            const QRect inside = KeepInside(topLeft, QSize(width, height), area);
            topLeft = inside.topLeft();
            width = inside.width();
            setMinimumWidth(std::min(main.width(), width));
        }
        move(topLeft);
    }
    resize(width, height);
    setMaximumHeight(height);
    if (layout())
        layout()->activate();
}

void TfrmOPage::FitRows()
{
    const int count = TheGrid->RowCount();
    if (count <= 0)
        return;
    int sum = 0;
    for (int r = 0; r < count; ++r)
        sum += TheGrid->RowHeight(r);
    const int gridHeight = TheGrid->height() - 2 * TheGrid->frameWidth();
    const int extra = static_cast<int>(
        std::nearbyint(static_cast<double>(gridHeight - sum) / count));
    if (extra == 0)
        return;
    for (int r = 0; r < count; ++r)
        TheGrid->SetRowHeight(r, std::max(TheGrid->RowHeight(r) + extra, 1));
    // A row never gets lower than its fixed text needs.
    TheGrid->GrowFixedRows();
}

void TfrmOPage::FitColumns()
{
    const int count = TheGrid->ColCount();
    int sum = 0;
    for (int c = 0; c < count; ++c)
        sum += TheGrid->ColWidth(c);
    int rowsHeight = 0;
    for (int r = 1; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int dataHeight = TheGrid->height() - 2 * TheGrid->frameWidth() - TheGrid->RowHeight(0);
    if (rowsHeight > dataHeight)
        sum += scrollBarWidth_;
    const int gridWidth = TheGrid->width() - 2 * TheGrid->frameWidth();
    // Columns 1 to 13 share the room; the pixels that do not divide evenly
    // go one each to the first columns, so the last column ends at the
    // grid's edge rather than short of it or beyond it.
    const int spare = gridWidth - sum;
    const int shared = count - 1;
    const int extra = spare / shared;
    const int remainder = spare - extra * shared;
    // A column never gets narrower than its header or a number needs.
    const QFontMetrics metrics(TheGrid->font());
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("-000.000 "))
                            + 2 * TImpStrGrid::kTextMargin;
    for (int c = 1; c < count; ++c) {
        const int least = std::max(numberWidth, TheGrid->FixedTextWidth(TheGrid->CellText(c, 0)));
        const int share = extra + (c <= std::abs(remainder) ? (remainder > 0 ? 1 : -1) : 0);
        TheGrid->SetColWidth(c, std::max(TheGrid->ColWidth(c) + share, least));
    }
}

// ---------------------------------------------------------- window events

void TfrmOPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        emit activated();
}

void TfrmOPage::closeEvent(QCloseEvent* event)
{
    // FormClose: the chart, the series and the tabs go; the price work file
    // stays on disk for a page that replaces this one.
    closed_ = true;
    moveSizeTimer_->stop();
    if (ChartImage) {
        pages_->removeWidget(ChartImage);
        delete ChartImage;
        ChartImage = nullptr;
    }
    while (TabControl1->count() > 0)
        TabControl1->removeTab(TabControl1->count() - 1);
    series_.clear();
    event->accept();
}

void TfrmOPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!closed_ && moveSizeTimer_)
        moveSizeTimer_->start();
}

void TfrmOPage::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (!closed_ && moveSizeTimer_)
        moveSizeTimer_->start();
}

void TfrmOPage::EndOfMoveOrResize()
{
    if (closed_)
        return;
    FitHeightToRows();
    FitColumns();
    if (ChartImage) {
        SizeChartImage();
        // A move alone leaves the picture as it is.
        if (ChartImage->NeedsPicture())
            DrawChart();
    }
}

bool TfrmOPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QPushButton*>(watched)) {
        // Enter on a focused button of the page clicks it, as Space does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = static_cast<QPushButton*>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    } else if (watched == fseUlying && event->type() == QEvent::KeyRelease) {
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
        if (!editing && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && !closed_ && !ChartTabSelected())
            ShowDaysLeft();
    } else if (watched == seExpDays && event->type() == QEvent::FocusOut) {
        typingExpiryDays_ = false;
        if (!closed_ && !ChartTabSelected())
            ShowDaysLeft();
    } else if ((watched == seExpDays->Button()->UpButton()
                || watched == seExpDays->Button()->DownButton())
               && event->type() == QEvent::MouseButtonPress) {
        typingExpiryDays_ = false;
    } else if (watched == TabControl1 && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            ReadQuoteCells();
    }
    return QWidget::eventFilter(watched, event);
}

// ------------------------------------------------------------ tabs and bar

bool TfrmOPage::IsChartTab(int index) const
{
    if (index < 0 || index >= TabControl1->count())
        return false;
    return TabControl1->tabData(index).toInt() == kChartTabMarker;
}

TInOutObj* TfrmOPage::SeriesAt(int tab) const
{
    if (tab < 0 || tab >= TabControl1->count() || IsChartTab(tab))
        return nullptr;
    const int index = TabControl1->tabData(tab).toInt();
    if (index < 0 || index >= static_cast<int>(series_.size()))
        return nullptr;
    return series_[static_cast<std::size_t>(index)].get();
}

TInOutObj* TfrmOPage::CurrentSeries() const
{
    return SeriesAt(currentTab_);
}

std::vector<const TInOutObj*> TfrmOPage::Expiries() const
{
    std::vector<const TInOutObj*> result;
    for (const auto& series : series_)
        result.push_back(series.get());
    return result;
}

void TfrmOPage::TabControl1Changing(int index)
{
    if (index >= 0 && !IsChartTab(index))
        ReadQuoteCells();
}

void TfrmOPage::PageChanged(int index)
{
    if (IsChartTab(index)) {
        if (ChartImage)
            pages_->setCurrentWidget(ChartImage);
        return;
    }
    pages_->setCurrentWidget(TheGrid);
    TInOutObj* p = SeriesAt(index);
    if (!p)
        return;
    try {
        p->TodayDate = pageToday_;
        ShowExpiryDays(p->DaysToExpiry());
        lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
        lblExpDate->setText(QStringLiteral("Expiry: ") + DateText(p->GetExpiry()));
        ShowPercent(fseRate, p->Rate);
        ShowPercent(fseSigma, p->Sigma);
        ShowUnderlying(p->Underlying);
        ShowDividend(*p, true);
        FillGrid();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

void TfrmOPage::TheGridSelectCell(int col, int)
{
    // Only bids and asks are typed; everywhere else a click marks the row.
    const bool quoteCell = col == kBidColumn || col == kAskColumn;
    if (quoteCell) {
        TheGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                                 | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::SelectedClicked);
        TheGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    } else {
        TheGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        TheGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    }
    // The view chose the selection before the switch; mark what the new
    // behaviour marks.
    const QModelIndex current = TheGrid->currentIndex();
    if (current.isValid())
        TheGrid->selectionModel()->select(
            current, quoteCell ? QItemSelectionModel::ClearAndSelect
                               : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TfrmOPage::ToggleButtons(int tag)
{
    const bool flat = tag == 1;
    fseSigma->setEnabled(flat);
    seSigDays->setEnabled(flat);
}

void TfrmOPage::fseUlyingChange()
{
    if (fseUlying->Value() > fseUlying->MinValue())
        PushInputs();
}

void TfrmOPage::fseRateChange()
{
    if (ChartTabSelected())
        return;
    if (TInOutObj* p = CurrentSeries())
        p->Rate = static_cast<float>(fseRate->Value() / 100.0);
}

void TfrmOPage::fseSigmaChange()
{
    if (ChartTabSelected())
        return;
    if (TInOutObj* p = CurrentSeries())
        p->Sigma = static_cast<float>(fseSigma->Value() / 100.0);
}

void TfrmOPage::seExpDaysChange()
{
    // Showing a tab writes its day count; that moves no date, so an expired
    // expiry stays expired when it is looked at.
    if (showingExpiryDays_ || ChartTabSelected())
        return;
    TInOutObj* p = CurrentSeries();
    if (!p)
        return;
    try {
        const TDateTime expiry = p->GetExpiry();
        const TDateTime moved = expiry - seExpDays->Value();
        // The valuation date stays at least a day before the first expiry.
        pageToday_ = moved >= firstExpiry_ ? firstExpiry_ - 1 : moved;
        // While the user types, the box keeps the digits typed so far (the
        // 4 of 45 would otherwise become 31 and the 5 make it 315); a count
        // that had to move shows once the typing ends.
        if (!typingExpiryDays_)
            ShowExpiryDays(static_cast<int>(std::trunc(expiry - pageToday_)));
        lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
        PushInputs();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

void TfrmOPage::ShowDaysLeft()
{
    TInOutObj* p = CurrentSeries();
    if (!p)
        return;
    try {
        ShowExpiryDays(static_cast<int>(std::trunc(p->GetExpiry() - pageToday_)));
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

void TfrmOPage::ShowExpiryDays(int days)
{
    showingExpiryDays_ = true;
    seExpDays->SetValue(days);
    showingExpiryDays_ = false;
}

void TfrmOPage::ShowUnderlying(double value)
{
    // As "%6.2f" shows it: the box and the series agree to the cent.
    fseUlying->SetValue(QString::number(value, 'f', 2).toDouble());
}

void TfrmOPage::ShowPercent(TrmFloatSpinEdit* box, double fraction)
{
    box->SetValue(QString::number(fraction * 100.0, 'f', 2).toDouble());
}

QString TfrmOPage::DateText(TDateTime date) const
{
    return QString::fromStdString(FormatLocaleDate(date, environment_.locale));
}

// ------------------------------------------------------------ recalculation

void TfrmOPage::PushInputs()
{
    for (const auto& series : series_) {
        TInOutObj& p = *series;
        if (fseUlying->Value() > fseUlying->MinValue())
            p.Underlying = static_cast<float>(fseUlying->Value());
        p.TodayDate = pageToday_;
        if (seSigDays->Value() > seSigDays->MinValue())
            p.SigmaDays = seSigDays->Value();
        if (p.Model == kBinomial)
            p.Steps = seSteps->Value();
    }
}

bool TfrmOPage::ReadQuoteCells()
{
    if (closed_ || readingQuotes_)
        return true;
    TInOutObj* p = CurrentSeries();
    if (!p)
        return true;
    readingQuotes_ = true;
    // A bid or ask still being typed counts: the tab may change or Calculate
    // run by its shortcut while the cell editor holds the text.
    TheGrid->CommitEdit();
    const char separator = environment_.locale.decimalSeparator;
    const int n = p->NumStrikes;
    auto read = [&](int col, int row, float& value) {
        const QString text = TheGrid->CellText(col, row).trimmed();
        if (text.isEmpty()) {
            value = 0;
            return true;
        }
        if (TryParseSingle(text.toStdString(), separator, value))
            return true;
        notifier_.Info(InvalidFloat(text));
        return false;
    };
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            if (!read(kBidColumn, row, p->Bid(s, k)) || !read(kAskColumn, row, p->Ask(s, k))) {
                readingQuotes_ = false;
                return false;
            }
        }
    }
    try {
        if (p->DaysToExpiry() > 0) {
            SolveBidIV(*p);
            SolveAskIV(*p);
        } else {
            // An expired option has no volatility to imply.
            for (int s = 1; s <= n; ++s)
                for (int k = 1; k <= 2; ++k)
                    p->BidIV(s, k) = p->AskIV(s, k) = 0;
        }
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        readingQuotes_ = false;
        return false;
    }
    TheGrid->Cells()->BeginBatch();
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            for (const int col : {4, 6})
                TheGrid->SetCellText(col, row,
                                     QString::fromStdString(GridCellText(*p, s, k, col, separator)));
        }
    }
    TheGrid->Cells()->EndBatch();
    readingQuotes_ = false;
    return true;
}

bool TfrmOPage::ReCalcAllIvs()
{
    // The typed bids and asks of the shown expiry count; one reading of the
    // grid serves every expiry.
    bool typedRead = false;
    for (const auto& series : series_) {
        if (series->DaysToExpiry() <= 0)
            continue;
        if (!typedRead) {
            if (!ReadQuoteCells())
                return false;
            typedRead = true;
        }
        SolveBidIV(*series);
        SolveAskIV(*series);
    }
    return true;
}

void TfrmOPage::ReCalc()
{
    if (recalculating_ || closed_)
        return;
    std::string message;
    {
        QScopedValueRollback guard(recalculating_, true);
        message = RecalcAllExpiries();
    }
    // Last of all: the page may be closed while the message is shown.
    if (!message.empty())
        notifier_.Info(message);
}

std::string TfrmOPage::RecalcAllExpiries()
{
    const int mode = volatilitySource_->checkedId();
    const VolSource source = mode == 2   ? VolSource::BidIVs
                             : mode == 3 ? VolSource::AskIVs
                                         : VolSource::Flat;
    try {
        // ReadQuoteCells tells the user itself which cell holds no number.
        if (source == VolSource::Flat && !ReCalcAllIvs())
            return {};
        // The expiries share their strikes: a bad strike is named once.
        std::string unpriced;
        for (const auto& series : series_) {
            std::vector<int> strikes;
            if (series->Model == kBinomial && series->DaysToExpiry() > 0) {
                BusyScope busy;
                strikes = RecalcExpiry(*series, source);
            } else {
                strikes = RecalcExpiry(*series, source);
            }
            if (unpriced.empty())
                unpriced = UnpricedStrikesMessage(*series, strikes);
        }
        FillGrid();
        return unpriced;
    } catch (const std::exception& error) {
        return error.what();
    }
}

void TfrmOPage::FillGrid()
{
    const TInOutObj* p = CurrentSeries();
    if (!p)
        return;
    const char separator = environment_.locale.decimalSeparator;
    const int n = p->NumStrikes;
    GridCells* cells = TheGrid->Cells();
    cells->BeginBatch();
    int widest = 0;
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const int row = k == 1 ? s : s + n;
            const QString labelText = QString::fromStdString(
                WithDecimalSeparator(StrikeLabel(p->Strike(s, k), k == 1, strikeStep_), separator)
                + p->OptCode(s, k));
            cells->SetCell(0, row, labelText);
            widest = std::max(widest, TheGrid->FixedTextWidth(labelText));
            for (int col = 1; col < kColumns; ++col)
                cells->SetCell(col, row,
                               QString::fromStdString(GridCellText(*p, s, k, col, separator)));
        }
    }
    cells->EndBatch();
    if (widest > TheGrid->ColWidth(0))
        TheGrid->SetColWidth(0, widest);
    if (!building_)
        FitHeightToRows();
}

void TfrmOPage::FitHeightToRows()
{
    // Option codes make their rows taller; the page grows with them, as far
    // as the screen allows, so that every row stays in sight.
    int rowsHeight = 0;
    for (int r = 0; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int missing = rowsHeight + 2 * TheGrid->frameWidth() - TheGrid->height();
    if (missing <= 0)
        return;
    int grown = height() + missing;
    if (const QScreen* screen = this->screen()) {
        const int room = screen->availableGeometry().bottom() - geometry().top();
        if (room > 200)
            grown = std::min(grown, room);
    }
    if (grown <= height())
        return;
    setMaximumHeight(grown);
    resize(width(), grown);
    if (layout())
        layout()->activate();
}

void TfrmOPage::CalcSig()
{
    if (priceWorkFile_.isEmpty())
        return;
    BusyScope busy;
    TSigmaObj sigma(notifier_);
    sigma.Days = WindowDays(seSigDays->Value(), 400);
    sigma.FileName = priceWorkFile_.toStdString();
    try {
        sigma.Calculate();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return;
    }
    // No volatility (the reader has said why): the series keep their values.
    if (!(sigma.Sigma > 0))
        return;
    for (const auto& series : series_) {
        series->Underlying = sigma.LastClose;
        series->PriceDate = sigma.LastDate;
        series->Sigma = sigma.Sigma;
        series->SigmaDays = sigma.Days;
    }
    pageToday_ = sigma.LastDate;
    ShowUnderlying(sigma.LastClose);
    ShowPercent(fseSigma, sigma.Sigma);
    seSigDays->SetValue(sigma.Days);
    lblToday->setText(QStringLiteral("Today: ") + DateText(pageToday_));
    // The boxes' handlers have pushed the date; make sure every expiry has it
    // even when no box text changed.
    PushInputs();
    // The valuation date is now the file's last day; the days left count
    // from there.
    if (const TInOutObj* p = CurrentSeries())
        ShowExpiryDays(p->DaysToExpiry());
    DrawChart();
}

// ------------------------------------------------------------ the chart tab

void TfrmOPage::OpenChartTab()
{
    try {
        ChartImage = new TChartImage(this);
        connect(ChartImage, &TChartImage::pictureWanted, this, &TfrmOPage::DrawChart);
        pages_->addWidget(ChartImage);
        const int tab = TabControl1->addTab(QStringLiteral("Chart"));
        TabControl1->setTabData(tab, kChartTabMarker);
        SizeChartImage();

        if (priceWorkFile_.isEmpty()) {
            BusyScope busy;
            const std::filesystem::path temp =
                environment_.tempDirectory.isEmpty()
                    ? DefaultTempDirectory()
                    : std::filesystem::path(environment_.tempDirectory.toStdString());
            TAsciiFileReader reader(notifier_, environment_.locale, temp);
            reader.Open(priceTextFile_.toStdString());
            if (reader.RecordCount == 0 || reader.DataFileName.empty())
                throw PageError(kCantDigestSource + QFileInfo(priceTextFile_).fileName().toStdString());
            priceWorkFile_ = QString::fromStdString(reader.DataFileName);
            title_ = QString::fromStdString(reader.Symbol);
            while (title_.endsWith(QLatin1Char(' ')))
                title_.chop(1);
        }
        DrawChart();
    } catch (const std::exception& error) {
        // A price file that cannot be read costs the chart and the history
        // button, not the page.
        notifier_.Info(error.what());
        if (ChartImage) {
            pages_->removeWidget(ChartImage);
            delete ChartImage;
            ChartImage = nullptr;
        }
        for (int t = TabControl1->count() - 1; t >= 0; --t) {
            if (IsChartTab(t))
                TabControl1->removeTab(t);
        }
        priceTextFile_.clear();
        priceWorkFile_.clear();
        HidePriceFileControls();
    }
}

void TfrmOPage::SizeChartImage()
{
    if (!ChartImage)
        return;
    // The picture fills the tab. While it is shown the tab's layout sizes it;
    // otherwise it takes the area the grid has on the other tabs, laid out
    // first when the page is still being built.
    if (layout())
        layout()->activate();
    if (pages_->currentWidget() != ChartImage)
        ChartImage->setGeometry(TheGrid->geometry());
}

ChartRequest TfrmOPage::MakeChartRequest(int width, int height, bool printing) const
{
    ChartRequest request;
    request.workFile = priceWorkFile_;
    request.volDays = WindowDays(seSigDays->Value(), 250);
    request.width = width;
    request.height = height;
    request.printing = printing;
    if (printing)
        request.titleSymbol = title_;
    return request;
}

void TfrmOPage::DrawChart()
{
    if (!ChartImage)
        return;
    const QSize size = ChartImage->size();
    ChartRequest request = MakeChartRequest(size.width(), size.height(), false);
    request.pixelRatio = ChartImage->devicePixelRatioF();
    QImage picture;
    if (environment_.drawChart && !priceWorkFile_.isEmpty()) {
        try {
            picture = environment_.drawChart(request);
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
        }
    }
    // The page may have closed while a message was up.
    if (ChartImage)
        ChartImage->ShowPicture(picture);
}

// ------------------------------------------------------------ entry points

bool TfrmOPage::SavePage()
{
    // A closed page holds no series; it must not empty its file.
    if (seriesFile_.isEmpty() || closed_)
        return true;
    std::vector<TInOutObj> expiries;
    for (const auto& series : series_)
        expiries.push_back(*series);
    try {
        SaveSeriesFile(seriesFile_.toStdString(), expiries);
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    return true;
}

void TfrmOPage::PrintPage(QPrinter& printer)
{
    try {
        if (!ChartTabSelected()) {
            if (const TInOutObj* p = CurrentSeries(); p && environment_.printGrid)
                environment_.printGrid(printer, *p);
        } else if (environment_.printChart) {
            environment_.printChart(printer, MakeChartRequest(0, 0, true));
        }
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
    }
}

}  // namespace kestrava
