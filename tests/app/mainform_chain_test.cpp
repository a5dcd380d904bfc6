// The chain window in the program: File > Open chain..., its help page, a
// table it cannot read, a new page of strikes that are not evenly spaced
// from its selection, and the page's button that opens the chain of its own
// quote file.

#include <QDesktopServices>
#include <QMenu>
#include <QTabBar>

#include <QItemSelectionModel>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>

#include <algorithm>
#include <cmath>

#include "analysis/VolSurface.h"
#include "chainwindow/ChainTableModel.h"
#include "chainwindow/ChainWindow.h"
#include "mainform_fixture.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PositionFiguresBox.h"
#include "optionpage/PositionTab.h"
#include "pricing/seriesfile.h"

using namespace kestrava;
using namespace kestrava::mainformtest;

namespace {

const QString kData = QStringLiteral(KESTRAVA_TEST_DATA_DIR);

// Stands in for the browser: records the pages asked for.
class PageRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

ChainSelection SpySelection()
{
    ChainSelection selection;
    selection.symbol = "SPY";
    selection.contract = "SPY";
    selection.underlying = 221.52;
    selection.inputs.model = ChainModel::Binomial;
    selection.inputs.dividend.yield = 0.019;
    selection.expiries = {EncodeDate(2016, 12, 16), EncodeDate(2017, 1, 20)};
    selection.strikes = {213, 214, 217.5, 221};
    return selection;
}

}  // namespace

class MainFormChainTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init()
    {
        FreshFolders();
        SavePlacement(0, 10, 900);  // no first run: no sample page
    }
    void cleanup() { root_.reset(); }

    void fileMenuOpensAChainWithItsHelp();
    void unreadableTableIsReportedAndKept();
    void selectionBecomesAPageOfItsOwnStrikes();
    void pageButtonOpensTheChainOfItsQuoteFile();
    void putSpreadFromTheChainTakesItsAtTheMoneyVolatility();
    void eachDividendKindSurvivesTheSeriesFile();
};

void MainFormChainTest::fileMenuOpensAChainWithItsHelp()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    auto* action = form->findChild<QAction*>(QStringLiteral("FileOpenChainItem"));
    QVERIFY(action);
    // Its own letter and keys, above Open Recent, which an empty list disables.
    QCOMPARE(action->text(), QStringLiteral("Open &chain..."));
    QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    const QList<QAction*> file = action->associatedObjects().isEmpty()
                                     ? QList<QAction*>()
                                     : qobject_cast<QMenu*>(action->associatedObjects().front())->actions();
    auto* recent = form->findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"));
    QVERIFY(file.indexOf(action) >= 0);
    QVERIFY(file.indexOf(action) < file.indexOf(recent->menuAction()));
    WhileModal(TypeIntoFileDialog(kData, QStringLiteral("quotes-spx-2011-01-24.dat")));
    action->trigger();
    WhileModal(nullptr);
    auto* window = form->findChild<ChainWindow*>();
    QVERIFY(window);
    QCOMPARE(QString::fromStdString(window->Root()->name), QStringLiteral("SPX"));

    PageRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
    Activate(window);
    QTest::keyClick(window->tblChain, Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(browser.opened.size(), 1);
    QCOMPARE(browser.opened[0].fileName(), QStringLiteral("option-chain.html"));
}

void MainFormChainTest::unreadableTableIsReportedAndKept()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    // A table cut off in the middle of a row.
    QFile whole(kData + QStringLiteral("/quotes-spy-2016-11-25-excerpt.dat"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray cut = whole.readAll().left(700);
    const QString file = root_->filePath(QStringLiteral("SPY.txt"));
    QFile damaged(file);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(cut);
    damaged.close();
    QVERIFY(!form->OpenChain(file));
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY2(notifier_.infos[0].contains(file) && notifier_.infos[0].contains(QStringLiteral("Line ")),
             qPrintable(notifier_.infos[0]));
    QCOMPARE(FileBytes(file), cut);
    QVERIFY(!form->findChild<ChainWindow*>());
}

void MainFormChainTest::selectionBecomesAPageOfItsOwnStrikes()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    IOptionPage* page = form->NewSeriesFromChain(SpySelection());
    QVERIFY(page);
    QCOMPARE(page->SeriesFile(), QStringLiteral("SPY.ops"));
    const std::vector<const TInOutObj*> expiries = page->Expiries();
    QCOMPARE(expiries.size(), std::size_t{2});
    const TDateTime today = EncodeDate(QDate::currentDate().year(), QDate::currentDate().month(),
                                       QDate::currentDate().day());
    for (const TInOutObj* p : expiries) {
        QCOMPARE(p->NumStrikes, 4);
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(p->Strike(s, 2),
                     static_cast<float>(SpySelection().strikes[static_cast<std::size_t>(s - 1)]));
        QCOMPARE(p->Underlying, 221.52f);
        QCOMPARE(p->TodayDate, today);
        QCOMPARE(p->Model, static_cast<std::int32_t>(kBinomial));
        QCOMPARE(p->ContractType, static_cast<std::int32_t>(kIndex));
        QCOMPARE(p->Dividend, 0.019f);
    }
    QCOMPARE(expiries[1]->ExpiryDate, EncodeDate(2017, 1, 20));
    // The labels keep every strike's half: the first step (1) alone would
    // have shown 217.5 as 218.
    auto* grid = page->Window()->findChild<TImpStrGrid*>();
    QVERIFY(grid);
    QVERIFY2(grid->CellText(0, 3).contains(QStringLiteral("217.50")), qPrintable(grid->CellText(0, 3)));
    QVERIFY2(grid->CellText(0, 1).contains(QStringLiteral("213.00")), qPrintable(grid->CellText(0, 1)));
}

void MainFormChainTest::pageButtonOpensTheChainOfItsQuoteFile()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    // The downloaded quote file of the symbol: the page loads its quotes.
    QVERIFY(QFile::copy(kData + QStringLiteral("/quotes-spy-2016-11-25.dat"),
                        form->Session().Folders().DataDir + QStringLiteral("/SPY.txt")));
    IOptionPage* page = form->NewSeriesFromChain(SpySelection());
    QVERIFY(page);
    QCOMPARE(page->Expiries().front()->TodayDate, EncodeDate(2016, 11, 25));
    QCOMPARE(page->Expiries().front()->Bid(1, 1), 9.04f);  // the 16 December 213 call's composite bid
    auto* button = page->Window()->findChild<QToolButton*>(QStringLiteral("cmdChain"));
    QVERIFY(button && button->isVisible());
    button->click();
    auto* window = form->findChild<ChainWindow*>();
    QVERIFY(window);
    QCOMPARE(QString::fromStdString(window->Chain().fileName),
             form->Session().Folders().DataDir + QStringLiteral("/SPY.txt"));
    QCOMPARE(QString::fromStdString(window->Root()->name), QStringLiteral("SPY"));
}

namespace {

// The first number before " %" after `after` in text, read with a point.
double PercentAfter(const QString& text, const QString& after)
{
    const QRegularExpression number(QRegularExpression::escape(after) + QStringLiteral("([0-9.,]+) %"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() : -1;
}

double NormalCdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

}  // namespace

void MainFormChainTest::putSpreadFromTheChainTakesItsAtTheMoneyVolatility()
{
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    const QString file = form->Session().Folders().DataDir + QStringLiteral("/SPY.txt");
    QVERIFY(QFile::copy(kData + QStringLiteral("/quotes-spy-2016-11-25.dat"), file));
    ChainWindow* window = form->OpenChain(file);
    QVERIFY(window);
    QSignalSpy solved(window, &ChainWindow::solved);
    QVERIFY(solved.wait(60000));
    // Only the 210 and 215 puts of December 16: the page holds no strike
    // above the price.
    QTableView* table = window->tblChain;
    const auto cell = [table](int row, int column) {
        return table->model()->index(row, column).data().toString();
    };
    for (int row = 0; row < table->model()->rowCount(); ++row)
        if (cell(row, ChainTableModel::kExpiry) == QStringLiteral("2016-12-16")
            && cell(row, ChainTableModel::kSide) == QStringLiteral("Put")
            && (cell(row, ChainTableModel::kStrike) == QStringLiteral("210")
                || cell(row, ChainTableModel::kStrike) == QStringLiteral("215")))
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window->NewSeriesFromSelection();
    const QList<TfrmOPage*> pages = form->findChildren<TfrmOPage*>();
    QCOMPARE(pages.size(), 1);
    TfrmOPage* page = pages.front();
    const std::vector<TermPoint> term = window->TermPoints();
    const auto december = std::find_if(term.begin(), term.end(), [](const TermPoint& point) {
        return point.expiry == EncodeDate(2016, 12, 16);
    });
    QVERIFY(december != term.end() && december->atmVol > 0);

    // The series: the table's day, its at-the-money volatility to a tenth
    // of a point, the yield its forward implies.
    const TInOutObj& p = *page->Series().Expiries().front();
    QCOMPARE(p.NumStrikes, 2);
    QCOMPARE(p.PriceDate, EncodeDate(2016, 11, 25));
    QCOMPARE(p.TodayDate, EncodeDate(2016, 11, 25));
    QCOMPARE(p.Sigma, static_cast<float>(std::round(december->atmVol * 1000) / 1000));
    QCOMPARE(p.Dividend, static_cast<float>(december->impliedYield));

    // Sell the 215 put and buy the 210 at their mids: a credit of 0.455.
    Position spread;
    spread.legs = {{LegKind::Option, p.ExpiryDate, 215, 2, -1, 0.83, {}},
                   {LegKind::Option, p.ExpiryDate, 210, 2, 1, 0.375, {}}};
    auto* tab = page->findChild<PositionTab*>();
    QVERIFY(tab);
    tab->SetPosition(spread);
    const QString assumes = tab->Figures->lblAssumes->text();
    QVERIFY2(assumes.contains(QStringLiteral("quote table's at-the-money IV")), qPrintable(assumes));
    // The chain's at-the-money volatility, not the 215 put's own.
    const double vol = PercentAfter(assumes, QStringLiteral("IV: "));
    QVERIFY2(std::fabs(vol - december->atmVol * 100) <= 0.1, qPrintable(assumes));
    QVERIFY2(std::fabs(PercentAfter(tab->Figures->lblMoves->text(), QStringLiteral("(")) - vol) < 1e-9,
             qPrintable(tab->Figures->lblMoves->text()));
    // The chance of ending above the breakeven 214.545 under that lognormal
    // price, grown at the page's rate less its yield, worked here.
    const double years = 21 / 365.0;
    const double forward = 221.52 * std::exp((p.Rate - static_cast<double>(p.Dividend)) * years);
    const double deviation = december->atmVol * std::sqrt(years);
    const double chance = NormalCdf((std::log(forward / 214.545) - deviation * deviation / 2) / deviation);
    const double shown = PercentAfter(tab->Figures->lblPopExpiry->text(), QString());
    QVERIFY2(std::fabs(shown - chance * 100) <= 0.1,
             qPrintable(QStringLiteral("%1 against %2").arg(shown).arg(chance * 100)));
}

void MainFormChainTest::eachDividendKindSurvivesTheSeriesFile()
{
    // A cash dividend between the two expiries, a yield, none: what the page
    // makes of each is what its saved file holds.
    const struct {
        ChainDividend dividend;
        std::int32_t contractType;
        float amount;
        TDateTime date;
    } kinds[] = {
        {{true, 0, 1.25, EncodeDate(2016, 12, 30)}, kEquity, 1.25f, EncodeDate(2016, 12, 30)},
        {{false, 0.019, 0, 0}, kIndex, 0.019f, 0},
        {{false, 0, 0, 0}, kIndex, 0, 0},
    };
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    int saved = 0;
    for (const auto& kind : kinds) {
        auto form = NewForm();
        form->SetPageFactory(OptionPageFactory());
        QVERIFY(form->FormCreate());
        ChainSelection selection = SpySelection();
        selection.inputs.dividend = kind.dividend;
        IOptionPage* page = form->NewSeriesFromChain(selection);
        QVERIFY(page);
        const QString file = temp.filePath(QStringLiteral("kind%1.ops").arg(++saved));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        std::vector<TInOutObj> series;
        RecordingNotifier notifier;
        QVERIFY(LoadSeriesFile(file.toStdString(), series, notifier));
        QCOMPARE(series.size(), std::size_t{2});
        for (std::size_t e = 0; e < series.size(); ++e) {
            const TInOutObj& shown = *page->Expiries()[e];
            const TInOutObj* const both[] = {&shown, &series[e]};
            for (const TInOutObj* p : both) {
                QCOMPARE(p->ContractType, kind.contractType);
                QCOMPARE(p->Dividend, kind.amount);
                QCOMPARE(p->DivDate, kind.date);
            }
        }
        form->close();
    }
}

QTEST_MAIN(MainFormChainTest)
#include "mainform_chain_test.moc"
