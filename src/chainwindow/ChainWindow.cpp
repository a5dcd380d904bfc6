// The chain window: its controls, the table it shows, the root and the
// inputs of the solve, and the solve's progress. The term structure, the
// surface, copying, export and the new series are ChainWindowViews.cpp's.

#include "chainwindow/ChainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/AnalysisError.h"
#include "analysis/ParityForward.h"
#include "chainwindow/ChainPictureView.h"
#include "chainwindow/ChainReadBar.h"
#include "chainwindow/ChainSolveJob.h"
#include "chainwindow/ChainTableModel.h"
#include "common/busy.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

const char* const kAllTab = "All";
// How long the inputs rest before a change of them starts a new solve.
constexpr int kRestartDelayMs = 400;
// The largest table Open reads before the window shows: every real table
// so far is under half of it and reads in a blink.
constexpr qint64 kReadAtOnceBytes = qint64{8} << 20;

QDate QDateOf(TDateTime date)
{
    const CivilDate civil = DecodeDate(date);
    return QDate(civil.year, civil.month, civil.day);
}

TDateTime DayOf(const QDate& date)
{
    return date.isValid() ? EncodeDate(date.year(), date.month(), date.day()) : 0;
}

std::string NoOptionRows(const std::string& file)
{
    return file + " holds no option rows.";
}

QString WindowTitle(const QuoteChain& chain)
{
    return QString::fromStdString(chain.symbol) + QStringLiteral(" option chain - ")
           + QFileInfo(QString::fromStdString(chain.fileName)).fileName();
}

QString Percent(double fraction, char separator)
{
    return QString::fromStdString(FormatLocaleFixed(fraction * 100, 2, separator)) + QStringLiteral(" %");
}

}  // namespace

ChainWindow* ChainWindow::Open(const QString& file, const QString& root, const ChainEnvironment& environment,
                               Notifier& notifier, QWidget* parent)
{
    if (QFileInfo(file).size() > kReadAtOnceBytes) {
        auto* window = new ChainWindow(std::make_shared<const QuoteChain>(), environment, notifier, parent);
        window->OpenTable(file, root);
        return window;
    }
    std::shared_ptr<const QuoteChain> chain;
    try {
        BusyScope busy;
        chain = std::make_shared<const QuoteChain>(ReadQuoteChain(file.toStdString()));
    } catch (const AnalysisError& error) {
        notifier.Info(error.what());
        return nullptr;
    }
    if (chain->roots.empty()) {
        notifier.Info(NoOptionRows(chain->fileName));
        return nullptr;
    }
    auto* window = new ChainWindow(chain, environment, notifier, parent);
    // A contract of the page names its exchange ("SPX-E"); the chain's root has no suffix.
    window->SelectRoot(root.section(QLatin1Char('-'), 0, 0));
    return window;
}

ChainWindow::ChainWindow(std::shared_ptr<const QuoteChain> chain, const ChainEnvironment& environment,
                         Notifier& notifier, QWidget* parent)
    : QWidget(parent, Qt::Window), chain_(std::move(chain)), environment_(environment), notifier_(notifier)
{
    setObjectName(QStringLiteral("ChainWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    model_ = new ChainTableModel(environment_.locale, this);
    filter_ = new ChainFilterModel(this);
    filter_->setSourceModel(model_);
    job_ = new ChainSolveJob(this);
    restart_ = new QTimer(this);
    restart_->setSingleShot(true);
    restart_->setInterval(kRestartDelayMs);

    BuildControls();
    ConnectControls();
    ShowRoot(chain_->DefaultRoot());
    ShowStatus();
    // Wide enough for every column of the table and the input bar.
    const int unit = fontMetrics().height();
    const int table = tblChain->horizontalHeader()->length() + 2 * tblChain->frameWidth()
                      + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * unit;
    // The input bar is the layout's first row; the expiries' tab bar scrolls.
    const QMargins margins = layout()->contentsMargins();
    const int bar = layout()->itemAt(0)->sizeHint().width() + margins.left() + margins.right();
    resize(std::max({unit * 72, table, bar}), unit * 40);
}

ChainWindow::~ChainWindow()
{
    // The read's and the solve's threads end before anything they report to goes.
    readBar->Stop();
    job_->Stop();
}

const ChainRoot* ChainWindow::Root() const
{
    return model_->Root();
}

const std::vector<std::optional<ExpiryVols>>& ChainWindow::Vols() const
{
    return model_->Vols();
}

bool ChainWindow::Solving() const
{
    return job_->Running() || restart_->isActive();
}

ChainInputs ChainWindow::Inputs() const
{
    ChainInputs inputs;
    const std::span<const ChainModelEntry> models = ChainModels();
    inputs.model = models[static_cast<std::size_t>(std::clamp<int>(cmbModel->currentIndex(), 0,
                                                                   static_cast<int>(models.size()) - 1))]
                       .model;
    inputs.steps = seSteps->value();
    inputs.rates.defaults = environment_.defaultRates;
    inputs.dividend.cash = cmbDividend->currentIndex() == 1;
    inputs.dividend.yield = fseYield->value() / 100;
    inputs.dividend.amount = fseCash->value();
    inputs.dividend.date = DayOf(dteDividend->date());
    inputs.forward = cmbForward->currentIndex() == 0 ? ForwardSource::Parity : ForwardSource::Yield;
    return inputs;
}

// ------------------------------------------------------------------ layout

void ChainWindow::BuildControls()
{
    setWindowTitle(WindowTitle(*chain_));
    auto* rows = new QVBoxLayout(this);
    rows->addWidget(BuildInputBar());

    tabViews = new QTabWidget(this);
    tabViews->setObjectName(QStringLiteral("tabViews"));
    tabViews->addTab(BuildChainView(), QStringLiteral("Chain"));
    tabViews->addTab(BuildTermView(), QStringLiteral("Term structure"));
    tabViews->addTab(BuildSurfaceView(), QStringLiteral("Surface"));
    rows->addWidget(tabViews, 1);

    auto* status = new QHBoxLayout;
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pbSolve = new QProgressBar(this);
    pbSolve->setObjectName(QStringLiteral("pbSolve"));
    pbSolve->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 16);
    pbSolve->setTextVisible(false);
    readBar = new ChainReadBar(this);
    status->addWidget(lblStatus, 1);
    status->addWidget(readBar);
    status->addWidget(pbSolve);
    rows->addLayout(status);
}

QWidget* ChainWindow::BuildInputBar()
{
    auto* bar = new QWidget(this);
    auto* lines = new QVBoxLayout(bar);
    lines->setContentsMargins(0, 0, 0, 0);
    auto* first = new QHBoxLayout;
    auto* second = new QHBoxLayout;
    lines->addLayout(first);
    lines->addLayout(second);
    const auto caption = [bar](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, bar);
        label->setBuddy(buddy);
        return label;
    };

    cmbRoot = new QComboBox(bar);
    cmbRoot->setObjectName(QStringLiteral("cmbRoot"));
    cmbRoot->setToolTip(
        QStringLiteral("The option roots of the table; adjusted and mini options are roots of "
                       "their own and are never mixed in"));
    for (const ChainRoot& root : chain_->roots)
        cmbRoot->addItem(QString::fromStdString(root.name));
    cmbModel = new QComboBox(bar);
    cmbModel->setObjectName(QStringLiteral("cmbModel"));
    for (const ChainModelEntry& model : ChainModels())
        cmbModel->addItem(QString::fromLatin1(model.shownName));
    cmbModel->setToolTip(QStringLiteral("The model the implied volatilities are solved with"));
    seSteps = new QSpinBox(bar);
    seSteps->setObjectName(QStringLiteral("seSteps"));
    seSteps->setRange(25, 400);
    seSteps->setSingleStep(10);
    seSteps->setValue(200);
    seSteps->setToolTip(QStringLiteral("Binomial Model Steps/Nodes"));
    cmbDividend = new QComboBox(bar);
    cmbDividend->setObjectName(QStringLiteral("cmbDividend"));
    cmbDividend->addItems({QStringLiteral("Dividend yield %"), QStringLiteral("Cash dividend $")});
    fseYield = new QDoubleSpinBox(bar);
    fseYield->setObjectName(QStringLiteral("fseYield"));
    fseYield->setRange(0, 20);
    fseYield->setDecimals(2);
    fseYield->setSingleStep(0.1);
    fseYield->setToolTip(QStringLiteral("The underlying's dividend yield, continuous (1.0 = 1%)"));
    fseCash = new QDoubleSpinBox(bar);
    fseCash->setObjectName(QStringLiteral("fseCash"));
    fseCash->setRange(0, 1000);
    fseCash->setDecimals(2);
    fseCash->setSingleStep(0.05);
    fseCash->setToolTip(
        QStringLiteral("One cash dividend per share, counted for the expiries after its date"));
    cmbForward = new QComboBox(bar);
    cmbForward->setObjectName(QStringLiteral("cmbForward"));
    cmbForward->addItems({QStringLiteral("Parity"), QStringLiteral("Typed dividend")});
    cmbForward->setToolTip(
        QStringLiteral("Each expiry's forward price: from the mids of its calls and puts around the money "
                       "(put-call parity; the typed dividend where no strike is quoted on both sides), or "
                       "from the typed dividend"));
    dteDividend = new QDateEdit(QDateOf(chain_->quoteDate + 30), bar);
    dteDividend->setObjectName(QStringLiteral("dteDividend"));
    dteDividend->setCalendarPopup(true);
    dteDividend->setToolTip(QStringLiteral("The cash dividend's date"));

    first->addWidget(caption(QStringLiteral("R&oot"), cmbRoot));
    first->addWidget(cmbRoot);
    first->addSpacing(fontMetrics().height());
    first->addWidget(caption(QStringLiteral("&Model"), cmbModel));
    first->addWidget(cmbModel);
    lblSteps_ = caption(QStringLiteral("&Steps"), seSteps);
    first->addWidget(lblSteps_);
    first->addWidget(seSteps);
    first->addSpacing(fontMetrics().height());
    first->addWidget(caption(QStringLiteral("&Forward"), cmbForward));
    first->addWidget(cmbForward);
    first->addWidget(cmbDividend);
    first->addWidget(fseYield);
    first->addWidget(fseCash);
    first->addWidget(dteDividend);
    first->addStretch(1);

    ckBand = new QCheckBox(QStringLiteral("Strikes within &±"), bar);
    ckBand->setObjectName(QStringLiteral("ckBand"));
    ckBand->setToolTip(QStringLiteral("Only the strikes this near the expiry's forward price"));
    fseBand = new QDoubleSpinBox(bar);
    fseBand->setObjectName(QStringLiteral("fseBand"));
    fseBand->setRange(1, 100);
    fseBand->setDecimals(0);
    fseBand->setValue(20);
    fseBand->setSuffix(QStringLiteral(" % of forward"));
    fseBand->setToolTip(QStringLiteral("The band of moneyness the table keeps and the surface shows"));
    ckBidsOnly = new QCheckBox(QStringLiteral("&Bids only"), bar);
    ckBidsOnly->setObjectName(QStringLiteral("ckBidsOnly"));
    ckBidsOnly->setToolTip(QStringLiteral("Hide the options without a bid"));
    seMarkVolume = new QSpinBox(bar);
    seMarkVolume->setObjectName(QStringLiteral("seMarkVolume"));
    seMarkVolume->setRange(0, 100000000);
    seMarkVolume->setValue(1000);
    seMarkVolume->setToolTip(QStringLiteral("Rows with a volume above this are marked"));
    seMarkOpenInterest = new QSpinBox(bar);
    seMarkOpenInterest->setObjectName(QStringLiteral("seMarkOpenInterest"));
    seMarkOpenInterest->setRange(0, 100000000);
    seMarkOpenInterest->setValue(10000);
    seMarkOpenInterest->setToolTip(QStringLiteral("Rows with an open interest above this are marked"));
    btnOpenTable = new QPushButton(QStringLiteral("Open &table..."), bar);
    btnOpenTable->setObjectName(QStringLiteral("btnOpenTable"));
    btnOpenTable->setToolTip(
        QStringLiteral("Another quote table in this window; the chain shown stays until it is read"));
    btnNewSeries = new QPushButton(QStringLiteral("&New series from selection"), bar);
    btnNewSeries->setObjectName(QStringLiteral("btnNewSeries"));
    btnNewSeries->setToolTip(
        QStringLiteral("The selected strikes (at most 20) and expiries (at most 3) as a new "
                       "option page"));
    btnExport = new QPushButton(QStringLiteral("&Export CSV..."), bar);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setToolTip(QStringLiteral("The view shown, into a comma-separated file"));

    second->addWidget(ckBand);
    second->addWidget(fseBand);
    second->addWidget(ckBidsOnly);
    second->addSpacing(fontMetrics().height());
    second->addWidget(caption(QStringLiteral("Mark &volume >"), seMarkVolume));
    second->addWidget(seMarkVolume);
    second->addWidget(caption(QStringLiteral("or open &interest >"), seMarkOpenInterest));
    second->addWidget(seMarkOpenInterest);
    second->addStretch(1);
    second->addWidget(btnOpenTable);
    second->addWidget(btnNewSeries);
    second->addWidget(btnExport);
    return bar;
}

QWidget* ChainWindow::BuildChainView()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    tabExpiries = new QTabBar(page);
    tabExpiries->setObjectName(QStringLiteral("tabExpiries"));
    tabExpiries->setExpanding(false);
    tabExpiries->setUsesScrollButtons(true);
    tblChain = new QTableView(page);
    tblChain->setObjectName(QStringLiteral("tblChain"));
    tblChain->setModel(filter_);
    tblChain->setSortingEnabled(true);
    tblChain->sortByColumn(-1, Qt::AscendingOrder);
    tblChain->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblChain->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblChain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblChain->setAlternatingRowColors(true);
    tblChain->verticalHeader()->setVisible(false);
    tblChain->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + fontMetrics().height() / 3);
    tblChain->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tblChain->horizontalHeader()->setStretchLastSection(true);
    tblChain->installEventFilter(this);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[ChainTableModel::kColumnCount] = {11, 8, 5, 18, 8, 8, 8, 8, 7, 8, 9, 8, 8, 8, 7, 9, 9};
    for (int c = 0; c < ChainTableModel::kColumnCount; ++c)
        tblChain->setColumnWidth(c, widths[c] * digit + digit);
    column->addWidget(tabExpiries);
    column->addWidget(tblChain, 1);
    return page;
}

void ChainWindow::ConnectControls()
{
    connect(cmbRoot, &QComboBox::activated, this, [this](int index) { ShowRoot(index); });
    connect(restart_, &QTimer::timeout, this, &ChainWindow::StartSolve);
    const auto restartLater = [this] {
        model_->ClearVols();
        solvedExpiries_ = 0;
        job_->Stop();
        restart_->start();
        ShowStatus();
    };
    connect(cmbModel, &QComboBox::currentIndexChanged, this, [this, restartLater] {
        seSteps->setVisible(RequireModel(ChainModelOf(Inputs().model).pricing).tree);
        lblSteps_->setVisible(seSteps->isVisibleTo(this));
        restartLater();
    });
    connect(seSteps, &QSpinBox::valueChanged, this, restartLater);
    connect(cmbDividend, &QComboBox::currentIndexChanged, this, [this, restartLater] {
        ShowDividendBoxes();
        restartLater();
    });
    connect(cmbForward, &QComboBox::currentIndexChanged, this, restartLater);
    connect(fseYield, &QDoubleSpinBox::valueChanged, this, restartLater);
    connect(fseCash, &QDoubleSpinBox::valueChanged, this, restartLater);
    connect(dteDividend, &QDateEdit::dateChanged, this, restartLater);

    const auto band = [this] {
        filter_->SetBand(ckBand->isChecked() ? fseBand->value() : 0);
        RefreshPictures();
    };
    connect(ckBand, &QCheckBox::toggled, this, band);
    connect(fseBand, &QDoubleSpinBox::valueChanged, this, band);
    connect(ckBidsOnly, &QCheckBox::toggled, filter_, &ChainFilterModel::SetBidsOnly);
    const auto marks = [this] { model_->SetMarks(seMarkVolume->value(), seMarkOpenInterest->value()); };
    connect(seMarkVolume, &QSpinBox::valueChanged, this, marks);
    connect(seMarkOpenInterest, &QSpinBox::valueChanged, this, marks);
    marks();

    connect(tabExpiries, &QTabBar::currentChanged, this, [this](int tab) {
        filter_->SetExpiry(tab - 1);
        ShowExpiryColumn();
        ShowStatus();
    });
    connect(tabViews, &QTabWidget::currentChanged, this, [this] { RefreshPictures(); });
    connect(job_, &ChainSolveJob::expiryDone, this, &ChainWindow::ExpiryDone);
    connect(job_, &ChainSolveJob::finished, this, &ChainWindow::SolveFinished);
    connect(btnOpenTable, &QPushButton::clicked, this, &ChainWindow::ChooseTable);
    connect(readBar, &ChainReadBar::read, this, &ChainWindow::ShowTable);
    connect(readBar, &ChainReadBar::failed, this, &ChainWindow::TableNotRead);
    connect(readBar, &ChainReadBar::stopped, this, [this] {
        // A window opened for that table alone has nothing to show.
        if (chain_->roots.empty())
            close();
    });
    connect(btnNewSeries, &QPushButton::clicked, this, &ChainWindow::NewSeriesFromSelection);
    connect(btnExport, &QPushButton::clicked, this, &ChainWindow::ExportView);
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, &ChainWindow::CopyView);

    seSteps->setVisible(false);
    lblSteps_->setVisible(false);
    ShowDividendBoxes();
}

void ChainWindow::ShowDividendBoxes()
{
    const bool cash = cmbDividend->currentIndex() == 1;
    fseYield->setVisible(!cash);
    fseCash->setVisible(cash);
    dteDividend->setVisible(cash);
}

// ------------------------------------------------------------------ table

void ChainWindow::OpenTable(const QString& file, const QString& root)
{
    rootToShow_ = root;
    if (chain_->roots.empty())
        setWindowTitle(QStringLiteral("Option chain - ") + QFileInfo(file).fileName());
    readBar->Start(file);
}

void ChainWindow::ChooseTable()
{
    const QString folder = chain_->fileName.empty()
                               ? environment_.exportFolder
                               : QFileInfo(QString::fromStdString(chain_->fileName)).absolutePath();
    QFileDialog dialog(this, QStringLiteral("Open an option quote table"), folder,
                       QStringLiteral("Option quote tables (*.txt *.dat *.csv);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString chosen;
    connect(&dialog, &QFileDialog::fileSelected, &dialog, [&chosen](const QString& file) { chosen = file; });
    // The dialog lets events run: the window may be closed meanwhile.
    const QPointer<ChainWindow> alive(this);
    if (dialog.exec() != QDialog::Accepted || chosen.isEmpty() || !alive)
        return;
    OpenTable(chosen, Root() ? QString::fromStdString(Root()->name) : QString());
}

void ChainWindow::ShowTable(std::shared_ptr<const QuoteChain> chain)
{
    if (chain->roots.empty()) {
        TableNotRead(QString::fromStdString(NoOptionRows(chain->fileName)));
        return;
    }
    job_->Stop();
    restart_->stop();
    chain_ = std::move(chain);
    {
        const QSignalBlocker quiet(cmbRoot);
        cmbRoot->clear();
        for (const ChainRoot& root : chain_->roots)
            cmbRoot->addItem(QString::fromStdString(root.name));
    }
    {
        // The new table's own date, as a window opened on it would take.
        const QSignalBlocker quiet(dteDividend);
        dteDividend->setDate(QDateOf(chain_->quoteDate + 30));
    }
    setWindowTitle(WindowTitle(*chain_));
    // A contract of the page names its exchange ("SPX-E"); the chain's root has no suffix.
    const int named = chain_->FindRoot(rootToShow_.section(QLatin1Char('-'), 0, 0).toStdString());
    ShowRoot(named >= 0 ? named : chain_->DefaultRoot());
    emit tableOpened();
}

void ChainWindow::TableNotRead(const QString& message)
{
    // The message box lets events run: the window may be closed meanwhile.
    const QPointer<ChainWindow> alive(this);
    notifier_.Info(message.toStdString());
    // A window opened for that table alone has nothing to show.
    if (alive && chain_->roots.empty() && !readBar->Reading())
        close();
}

// ------------------------------------------------------------ root and solve

void ChainWindow::SelectRoot(const QString& name)
{
    const int index = chain_->FindRoot(name.toStdString());
    if (index >= 0 && index != root_)
        ShowRoot(index);
}

void ChainWindow::ShowRoot(int root)
{
    if (root < 0 || static_cast<std::size_t>(root) >= chain_->roots.size())
        return;
    job_->Stop();
    restart_->stop();
    root_ = root;
    cmbRoot->setCurrentIndex(root);
    std::vector<double> forwards;
    for (const ChainExpiry& expiry : chain_->roots[static_cast<std::size_t>(root)].expiries) {
        // An expiry without days left is at the money at today's price.
        const double forward =
            ForwardOfExpiry(expiry, chain_->underlyingLast, chain_->quoteDate, Inputs()).forward;
        forwards.push_back(forward > 0 ? forward : chain_->underlyingLast);
    }
    model_->SetRoot(chain_, root, std::move(forwards));
    // Only today's delayed-quotes layout carries a volatility and delta of its own.
    const bool ownFigures = chain_->layout == QuoteLayout::DelayedQuotesCsv;
    tblChain->setColumnHidden(ChainTableModel::kFileIV, !ownFigures);
    tblChain->setColumnHidden(ChainTableModel::kFileDelta, !ownFigures);
    RebuildExpiryTabs();
    StartSolve();
}

void ChainWindow::RebuildExpiryTabs()
{
    const QSignalBlocker quiet(tabExpiries);
    while (tabExpiries->count() > 0)
        tabExpiries->removeTab(0);
    tabExpiries->addTab(QString::fromLatin1(kAllTab));
    const ChainInputs inputs = Inputs();
    for (const ChainExpiry& expiry : Root()->expiries) {
        const int days = TInOutObj::DaysBetween(chain_->quoteDate, expiry.date);
        const int tab = tabExpiries->addTab(
            QString::fromStdString(FormatLocaleDate(expiry.date, environment_.locale)));
        tabExpiries->setTabToolTip(
            tab, QStringLiteral("%1 days to expiry, rate %2")
                     .arg(days)
                     .arg(Percent(inputs.rates.RateFor(days), environment_.locale.decimalSeparator)));
    }
    tabExpiries->setCurrentIndex(0);
    // A tab bar not yet shown keeps its empty size in the layout otherwise.
    tabExpiries->updateGeometry();
    filter_->SetExpiry(-1);
    ShowExpiryColumn();
}

void ChainWindow::StartSolve()
{
    restart_->stop();
    model_->ClearVols();
    solvedExpiries_ = 0;
    job_->Start(chain_, root_, Inputs(), environment_.threads);
    ShowStatus();
    RefreshPictures();
}

void ChainWindow::ExpiryDone(int expiry, const ExpiryVols& vols)
{
    model_->SetExpiryVols(expiry, vols);
    ++solvedExpiries_;
    ShowStatus();
    if (tabViews->currentIndex() != kChainView)
        RefreshPictures();
}

void ChainWindow::SolveFinished()
{
    ShowStatus();
    RefreshPictures();
    emit solved();
}

void ChainWindow::ShowExpiryColumn()
{
    tblChain->setColumnHidden(ChainTableModel::kExpiry, tabExpiries->currentIndex() > 0);
}

void ChainWindow::ShowStatus()
{
    const ChainRoot* root = Root();
    // A window still reading its first table has no chain to tell of.
    pbSolve->setVisible(root && Solving());
    if (!root)
        return;
    const char separator = environment_.locale.decimalSeparator;
    QString text = QString::fromStdString(chain_->symbol) + QLatin1Char(' ')
                   + QString::fromStdString(FormatLocaleFixed(chain_->underlyingLast, 2, separator))
                   + QLatin1Char(' ') + QString::fromStdString(chain_->underlyingNet) + QStringLiteral(", ")
                   + QString::fromStdString(chain_->quoteTime);
    text += QStringLiteral(" | %1: %2 expiries, %3 strike rows, %4 strikes; %5 exchange copies left out")
                .arg(QString::fromStdString(root->name))
                .arg(root->expiries.size())
                .arg(root->StrikeCount())
                .arg(root->DistinctStrikeCount())
                .arg(root->exchangeCopies);
    text += QStringLiteral(" | ") + QString::fromStdString(chain_->ReadingNotes());
    const int tab = tabExpiries->currentIndex() - 1;
    if (tab >= 0 && static_cast<std::size_t>(tab) < root->expiries.size()) {
        const int days = TInOutObj::DaysBetween(chain_->quoteDate,
                                                root->expiries[static_cast<std::size_t>(tab)].date);
        text += QStringLiteral(" | %1 days, rate %2")
                    .arg(days)
                    .arg(Percent(Inputs().rates.RateFor(days), separator));
    }
    const int total = static_cast<int>(root->expiries.size());
    const bool solving = Solving();
    if (solving)
        text += QStringLiteral(" | Solving: %1 of %2 expiries").arg(solvedExpiries_).arg(total);
    lblStatus->setText(text);
    pbSolve->setVisible(solving);
    pbSolve->setRange(0, std::max(total, 1));
    pbSolve->setValue(solvedExpiries_);
}

void ChainWindow::closeEvent(QCloseEvent* event)
{
    readBar->Stop();
    job_->Stop();
    restart_->stop();
    event->accept();
}

bool ChainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The table copies its current cell by itself; the window copies the view.
    if (watched == tblChain && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopyView();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kestrava
