// The option page driven through its real widgets on the offscreen platform:
// building from the setup dialog's values and from a series file, the grid's
// rows, labels, bands and display formats, the input bar's handlers, typed
// bids and asks, the volatility sources and the history button.

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/localeparse.h"
#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"
#include "support/recording_notifier.h"

using namespace kestrava;

namespace {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;

// Closes and deletes a page at the end of a test.
struct PageCloser {
    void operator()(TfrmOPage* page) const
    {
        if (page)
            delete page;
    }
};
using PagePtr = std::unique_ptr<TfrmOPage, PageCloser>;

QDate InDays(int days)
{
    return QDate::currentDate().addDays(days);
}

SeriesSetup Setup(int strikes, const QString& first, const QString& step, int model = 1)
{
    SeriesSetup setup;
    setup.numExpiries = 3;
    setup.expiryDates = {InDays(30), InDays(60), InDays(90)};
    setup.numStrikes = QString::number(strikes);
    setup.firstStrike = first;
    setup.strikeIncrement = step;
    setup.optionSymbol = QStringLiteral("XYZ");
    setup.symbolText = QStringLiteral("XYZ");
    setup.contractType = kEquity;
    setup.model = model;
    return setup;
}

// A price work file of `days` daily closes ending on `lastDate`.
void WritePriceWorkFile(const QString& path, TDateTime lastDate, int days)
{
    PriceWorkFileWriter writer(path.toStdString());
    for (int i = 0; i < days; ++i) {
        TPriceRecord record;
        record.Date = lastDate - (days - 1 - i);
        record.Close = static_cast<float>(50.0 * std::exp(0.02 * std::sin(i * 0.7) + 0.001 * i));
        writer.Append(record);
    }
    writer.Close();
}

QColor CellColour(TImpStrGrid* grid, int col, int row)
{
    const QImage image = grid->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, col));
    const QPoint at = grid->viewport()->geometry().topLeft()
                      + QPoint(cell.left() + 3, cell.center().y());
    return image.pixelColor(at);
}

// The leftmost column of dark text pixels inside rect of image; -1 when the
// rectangle holds no text.
int LeftmostInk(const QImage& image, const QRect& rect)
{
    for (int x = rect.left(); x <= rect.right(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 100)
                return x;
    return -1;
}

// A fixed-column cell's rectangle in the grid's own coordinates.
QRect FixedCellRect(TImpStrGrid* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
    return cell.translated(grid->viewport()->geometry().topLeft()).adjusted(1, 1, -2, -2);
}

TDateTime SystemToday()
{
    const QDate today = QDate::currentDate();
    return EncodeDate(today.year(), today.month(), today.day());
}

}  // namespace

class OptionPageTest : public QObject {
    Q_OBJECT

private:
    RecordingNotifier notifier;
    QTemporaryDir temp;

    PageEnvironment Environment() const
    {
        PageEnvironment environment;
        environment.defaultRates = {0.05f, 0.045f, 0.04f};
        environment.tempDirectory = temp.path();
        environment.dataDirectory = temp.path();
        environment.seriesDirectory = temp.path();
        return environment;
    }

    PagePtr Build(const SeriesSetup& setup, PageEnvironment environment)
    {
        PageSource source;
        source.setup = setup;
        return PagePtr(TfrmOPage::Create(environment, source, notifier));
    }

    PagePtr Build(const SeriesSetup& setup) { return Build(setup, Environment()); }

    PagePtr Open(const QString& fileName)
    {
        PageSource source;
        source.openFromFile = true;
        source.openFileName = fileName;
        return PagePtr(TfrmOPage::Create(Environment(), source, notifier));
    }

    // Three expiries in March, April and June 2009, valued on the price
    // file's last day, 25 March 2009: the March expiry has passed.
    PagePtr BuildFromPriceFile(int strikes = 3, int model = 1)
    {
        const QString work = temp.filePath(QStringLiteral("prices.TEM"));
        WritePriceWorkFile(work, EncodeDate(2009, 3, 25), 200);
        SeriesSetup setup = Setup(strikes, QStringLiteral("45"), QStringLiteral("5"), model);
        setup.expiryDates = {QDate(2009, 3, 20), QDate(2009, 4, 17), QDate(2009, 6, 19)};
        setup.sourceFilePath = temp.filePath(QStringLiteral("xyz.csv"));
        setup.workFilePath = work;
        return Build(setup);
    }

    static void TypeIntoCell(TfrmOPage* page, int col, int row, const QString& text, int key)
    {
        TImpStrGrid* grid = page->TheGrid;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(row - 1, col));
        QTest::keyClicks(grid, text.left(1));
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor && editor != grid);
        QTest::keyClicks(editor, text.mid(1));
        if (key > 0)
            QTest::keyClick(editor, static_cast<Qt::Key>(key));
        else if (key == 0)
            page->fseUlying->setFocus(Qt::MouseFocusReason);  // a click outside the grid
    }

private slots:
    void initTestCase() { QVERIFY(temp.isValid()); }
    void init() { notifier.messages.clear(); }

    void rowsAndBandsFollowTheStrikeCount_data()
    {
        QTest::addColumn<int>("strikes");
        QTest::addColumn<int>("rows");
        QTest::newRow("3 strikes") << 3 << 11;
        QTest::newRow("10 strikes") << 10 << 21;
        QTest::newRow("20 strikes") << 20 << 41;
    }
    void rowsAndBandsFollowTheStrikeCount()
    {
        QFETCH(int, strikes);
        QFETCH(int, rows);
        PagePtr page = Build(Setup(strikes, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        TImpStrGrid* grid = page->TheGrid;
        QCOMPARE(grid->RowCount(), rows);
        QCOMPARE(grid->ColCount(), 14);
        QCOMPARE(grid->Offset(), strikes + 1);
        QCOMPARE(page->TabControl1->count(), 5);  // expiries, Position and Smile; no price file: no Chart tab
        QCOMPARE(page->TabControl1->tabText(0),
                 QString::fromLatin1(QLocale::c().toString(InDays(30), QStringLiteral("MMM yyyy"))
                                         .toLatin1()));
        QCOMPARE(grid->CellText(0, 0), QStringLiteral("Strike\rCode"));
        QCOMPARE(grid->CellText(12, 0), QStringLiteral("% Prob\r< Str"));
        QCOMPARE(grid->CellText(0, 1), QStringLiteral(" C  100    "));
        QCOMPARE(grid->CellText(0, strikes), QStringLiteral(" C  %1 ").arg(100 + 5 * (strikes - 1), -6));
        QCOMPARE(grid->CellText(0, strikes + 1), QStringLiteral(" P  100    "));
        QVERIFY(grid->CellText(0, 2 * strikes).startsWith(QStringLiteral(" P  ")));
        for (int r = 2 * strikes + 1; r < rows; ++r)
            QVERIFY(grid->CellText(0, r).isEmpty());

        // The two-line headers make the header row at least two lines tall.
        QVERIFY(grid->RowHeight(0) >= 2 * QFontMetrics(grid->FixedFont()).lineSpacing() + 1);
        QVERIFY(grid->FixedFont().bold());

        // Calls light, puts dark, and the empty rows after them dark too.
        const QColor light(255, 255, 151), dark(192, 220, 192);
        grid->scrollToTop();
        QCOMPARE(CellColour(grid, 5, 1), light);
        QCOMPARE(CellColour(grid, 5, strikes), light);
        grid->scrollTo(grid->model()->index(rows - 2, 5));
        QCOMPARE(CellColour(grid, 5, strikes + 1), dark);
        QCOMPARE(CellColour(grid, 5, rows - 1), dark);
        QCOMPARE(CellColour(grid, 1, rows - 1), dark);  // an empty cell is still filled

        // The header row and the label column in cream, whatever the band.
        const QColor cream(255, 251, 240);
        const QImage image = grid->grab().toImage();
        QHeaderView* header = grid->horizontalHeader();
        const QPoint headerCorner = header->geometry().topLeft()
                                    + QPoint(header->sectionViewportPosition(5) + 3, 3);
        QCOMPARE(image.pixelColor(headerCorner), cream);
        const QRect label = grid->visualRect(grid->model()->index(rows - 2, 0));
        QCOMPARE(image.pixelColor(grid->viewport()->geometry().topLeft() + label.topLeft()
                                  + QPoint(3, 3)),
                 cream);
    }

    void strikeLabelsFollowTheStep_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("step");
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("secondCall");
        QTest::addColumn<QString>("secondPut");
        QTest::newRow("step 2.5") << "100" << "2.5" << '.' << " C  102.50 " << " P  102.50 ";
        QTest::newRow("step 5") << "100" << "5" << '.' << " C  105    " << " P  105    ";
        QTest::newRow("step 2,5, comma locale") << "100" << "2,5" << ',' << " C  102,50 "
                                                << " P  102,50 ";
        QTest::newRow("whole step, fractional strikes") << "97.5" << "5" << '.' << " C  102    "
                                                        << " P  102    ";
    }
    void strikeLabelsFollowTheStep()
    {
        QFETCH(QString, first);
        QFETCH(QString, step);
        QFETCH(char, separator);
        QFETCH(QString, secondCall);
        QFETCH(QString, secondPut);
        PageEnvironment environment = Environment();
        environment.locale.decimalSeparator = separator;
        PagePtr page = Build(Setup(4, first, step), environment);
        QVERIFY(page);
        QCOMPARE(page->TheGrid->CellText(0, 2), secondCall);
        QCOMPARE(page->TheGrid->CellText(0, 6), secondPut);
        // The label column is wide enough for its text.
        QVERIFY(page->TheGrid->ColWidth(0) >= page->TheGrid->FixedTextWidth(secondCall));
    }

    void gridShowsEveryColumnInItsFormat_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("positive");
        QTest::addColumn<QString>("negative");
        QTest::addColumn<QString>("zero");
        QTest::newRow("Net") << 1 << "+1.50 " << "-1.50 " << "";
        QTest::newRow("Last") << 2 << "1.50 " << "-1.50 " << "";
        QTest::newRow("Bid $") << 3 << "1.50 " << "-1.50 " << "";
        QTest::newRow("Bid IV") << 4 << "150.0 " << "-150.0 " << "";
        QTest::newRow("Ask $") << 5 << "1.50 " << "-1.50 " << "";
        QTest::newRow("Ask IV") << 6 << "150.0 " << "-150.0 " << "";
        QTest::newRow("Theo $") << 7 << "1.50 " << "-1.50 " << "";
        QTest::newRow("Delta") << 8 << "+1.50 " << "-1.50 " << "";
        QTest::newRow("Gamma") << 9 << "1.500 " << "1.500 " << "";
        QTest::newRow("Decay") << 10 << "1.500 " << "-1.500 " << " ";
        QTest::newRow("Vega") << 11 << "1.500 " << "-1.500 " << " ";
        QTest::newRow("% Prob < Str") << 12 << "150.0 " << "-150.0 " << "";
        QTest::newRow("% Prob > Str") << 13 << "150.0 " << "-150.0 " << "";
    }
    void gridShowsEveryColumnInItsFormat()
    {
        QFETCH(int, column);
        QFETCH(QString, positive);
        QFETCH(QString, negative);
        QFETCH(QString, zero);
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        TInOutObj* p = page->CurrentSeries();
        QVERIFY(p);
        // Strike 1 positive, strike 2 negative, strike 3 zero, on the call side.
        for (int s = 1; s <= 3; ++s) {
            const float value = s == 1 ? 1.5f : s == 2 ? -1.5f : 0.0f;
            PerStrike<float>* table = nullptr;
            switch (column) {
            case 1: table = &p->NetChange; break;
            case 2: table = &p->Last; break;
            case 3: table = &p->Bid; break;
            case 4: table = &p->BidIV; break;
            case 5: table = &p->Ask; break;
            case 6: table = &p->AskIV; break;
            case 7: table = &p->Theo; break;
            case 8: table = &p->Delta; break;
            case 9: table = &p->Gamma; break;
            case 10: table = &p->Decay; break;
            case 11: table = &p->Vega; break;
            case 12: table = &p->ProbBelow; break;
            default: table = &p->ProbAbove; break;
            }
            (*table)(s, 1) = value;
        }
        page->FillGrid();
        QCOMPARE(page->TheGrid->CellText(column, 1), positive);
        QCOMPARE(page->TheGrid->CellText(column, 2), negative);
        QCOMPARE(page->TheGrid->CellText(column, 3), zero);
    }

    void expiredExpiryShowsEmptyResults()
    {
        PagePtr page = BuildFromPriceFile();
        QVERIFY(page);
        QCOMPARE(page->TabControl1->count(), 6);
        QCOMPARE(page->TabControl1->tabText(0), QStringLiteral("Mar 2009"));
        QCOMPARE(page->TabControl1->tabText(1), QStringLiteral("Apr 2009"));
        QCOMPARE(page->TabControl1->tabText(3), QStringLiteral("Position"));
        QCOMPARE(page->TabControl1->tabText(4), QStringLiteral("Smile"));
        QCOMPARE(page->TabControl1->tabText(5), QStringLiteral("Chart"));
        QCOMPARE(page->PageToday(), EncodeDate(2009, 3, 25));
        TInOutObj* march = page->CurrentSeries();
        QCOMPARE(march->DaysToExpiry(), 0);
        march->Last(1, 1) = 2.5f;
        march->NetChange(1, 1) = -0.25f;
        page->cmdReCalc->click();

        TImpStrGrid* grid = page->TheGrid;
        for (int row = 1; row <= 6; ++row) {
            for (const int col : {7, 8, 9, 12, 13})
                QCOMPARE(grid->CellText(col, row), QString());
            for (const int col : {10, 11})
                QCOMPARE(grid->CellText(col, row), QStringLiteral(" "));
        }
        QCOMPARE(grid->CellText(2, 1), QStringLiteral("2.50 "));
        QCOMPARE(grid->CellText(1, 1), QStringLiteral("-0.25 "));

        // A bid typed on the passed expiry is kept, and implies nothing.
        grid->SetCellText(3, 1, QStringLiteral("1.25"));
        QVERIFY(page->ReadQuoteCells());
        QCOMPARE(march->Bid(1, 1), 1.25f);
        QCOMPARE(march->BidIV(1, 1), 0.0f);
        QCOMPARE(grid->CellText(4, 1), QString());

        // Looking at the passed expiry again does not move the valuation date.
        page->show();
        page->TabControl1->setCurrentIndex(1);
        page->TabControl1->setCurrentIndex(0);
        QCOMPARE(page->PageToday(), EncodeDate(2009, 3, 25));
        QCOMPARE(page->seExpDays->text(), QStringLiteral("1"));

        // The April expiry still has days left and is priced.
        page->TabControl1->setCurrentIndex(1);
        QVERIFY(!grid->CellText(7, 1).isEmpty());
        QVERIFY(!grid->CellText(10, 1).trimmed().isEmpty());
        QVERIFY(notifier.messages.empty());
    }

    void indexLevelTypedAndTwoEntersCalculate()
    {
        // An index level with two decimals fits the box; Enter moves to
        // Calculate and a second Enter (also the keypad's) calculates.
        PagePtr page = Build(Setup(3, QStringLiteral("6100"), QStringLiteral("25")));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        const QString before = page->TheGrid->CellText(7, 2);
        for (const Qt::Key secondEnter : {Qt::Key_Return, Qt::Key_Enter}) {
            QLineEdit* edit = page->fseUlying;
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, secondEnter == Qt::Key_Return ? QStringLiteral("6123.45") : QStringLiteral("6098.76"));
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), page->cmdReCalc);
            QTest::keyClick(page->cmdReCalc, secondEnter);
            const float typed = secondEnter == Qt::Key_Return ? 6123.45f : 6098.76f;
            QCOMPARE(page->CurrentSeries()->Underlying, typed);
            QVERIFY(page->TheGrid->CellText(7, 2) != before);
        }
    }

    void defaultRateOutsideTheBoxIsWhatTheBoxShows()
    {
        // 99 % and 0 % are beyond the box's 0.05 to 50: each expiry is priced
        // at the rate its box shows.
        PageEnvironment environment = Environment();
        environment.defaultRates = {0.99f, 0.0f, 0.02f};
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        page->show();
        const QString shown[] = {QStringLiteral("50.00"), QStringLiteral("0.05"), QStringLiteral("2.00")};
        for (int tab = 0; tab < 3; ++tab) {
            page->TabControl1->setCurrentIndex(tab);
            QCOMPARE(page->fseRate->text(), shown[tab]);
            QCOMPARE(page->SeriesAt(tab)->Rate, static_cast<float>(shown[tab].toDouble() / 100.0));
        }
    }

    void rateBoxRoundsOnATabChange()
    {
        PageEnvironment environment = Environment();
        environment.defaultRates = {0.01f, 0.0049999f, 0.00005f};
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        page->show();
        QCOMPARE(page->fseRate->text(), QStringLiteral("1.00"));
        // A default rate of nearly nothing is taken at the box's least rate.
        QCOMPARE(page->SeriesAt(2)->Rate, 0.0005f);
        QCOMPARE(page->SeriesAt(1)->Rate, 0.0049999f);
        page->TabControl1->setCurrentIndex(1);
        QCOMPARE(page->fseRate->text(), QStringLiteral("0.50"));
        QCOMPARE(page->SeriesAt(1)->Rate, 0.005f);
        QCOMPARE(page->SeriesAt(0)->Rate, 0.01f);

        // The volatility box changes only the shown expiry.
        page->fseSigma->SetValue(33.0);
        QCOMPARE(page->SeriesAt(1)->Sigma, 0.33f);
        QCOMPARE(page->SeriesAt(0)->Sigma, 0.25f);
        // Calculate prices every expiry with its own rate and volatility.
        page->cmdReCalc->click();
        QCOMPARE(page->SeriesAt(0)->Vol(2, 1), 0.25f);
        QCOMPARE(page->SeriesAt(1)->Vol(2, 1), 0.33f);
        QCOMPARE(page->SeriesAt(2)->Vol(2, 1), 0.25f);
        QCOMPARE(page->SeriesAt(0)->Rate, 0.01f);
        QCOMPARE(page->SeriesAt(2)->Rate, 0.0005f);
    }

    void volatilitySourceChoosesTheVolatility()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5"), 1));
        QVERIFY(page);
        page->show();
        TImpStrGrid* grid = page->TheGrid;
        TInOutObj* p = page->CurrentSeries();
        // Bids and asks typed into the grid, below and above the flat value.
        for (int s = 1; s <= 3; ++s) {
            const double theo = p->Theo(s, 1);
            grid->SetCellText(3, s, QString::number(theo * 0.9, 'f', 2));
            grid->SetCellText(5, s, QString::number(theo * 1.1, 'f', 2));
        }

        page->rbtnBid->click();
        QVERIFY(!page->fseSigma->isEnabled());
        QVERIFY(!page->seSigDays->isEnabled());
        QVERIFY(page->ReadQuoteCells());
        page->cmdReCalc->click();
        QCOMPARE(p->SkewMode, std::uint8_t(1));
        for (int s = 1; s <= 3; ++s) {
            QVERIFY(p->BidIV(s, 1) > 0);
            QCOMPARE(p->Vol(s, 1), p->BidIV(s, 1));
            QVERIFY(std::fabs(p->Theo(s, 1) - p->Bid(s, 1)) < 0.01);
        }

        page->rbtnAsk->click();
        QVERIFY(!page->fseSigma->isEnabled());
        QVERIFY(!page->seSigDays->isEnabled());
        page->cmdReCalc->click();
        QCOMPARE(p->SkewMode, std::uint8_t(2));
        for (int s = 1; s <= 3; ++s) {
            QCOMPARE(p->Vol(s, 1), p->AskIV(s, 1));
            QVERIFY(std::fabs(p->Theo(s, 1) - p->Ask(s, 1)) < 0.01);
        }

        page->rbtnLevel->click();
        QVERIFY(page->fseSigma->isEnabled());
        QVERIFY(page->seSigDays->isEnabled());
        page->cmdReCalc->click();
        QCOMPARE(p->SkewMode, std::uint8_t(0));
        QCOMPARE(p->Vol(2, 2), p->Sigma);
        // The flat mode solves the implied volatilities again and shows them.
        QCOMPARE(grid->CellText(4, 1), QString::number(p->BidIV(1, 1) * 100.0, 'f', 1) + u' ');
    }

    void typedBidUpdatesItsVolatility_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
        QTest::newRow("click outside") << 0;
    }
    void typedBidUpdatesItsVolatility()
    {
        QFETCH(int, key);
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5"), 1));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        TInOutObj* p = page->CurrentSeries();
        const float theoBefore = p->Theo(2, 2);
        QVERIFY(page->TheGrid->CellText(4, 5).isEmpty());

        // The put of strike 2 (row 5) gets a bid of 6.10; the editor hands
        // its text over once the key has been processed.
        TypeIntoCell(page.get(), 3, 5, QStringLiteral("6.10"), key);
        QTRY_COMPARE(p->Bid(2, 2), 6.1f);
        QVERIFY(p->BidIV(2, 2) > 0);
        QCOMPARE(page->TheGrid->CellText(4, 5),
                 QString::number(p->BidIV(2, 2) * 100.0, 'f', 1) + u' ');
        // No model ran: the value changes on Calculate only.
        QCOMPARE(p->Theo(2, 2), theoBefore);
        QVERIFY(notifier.messages.empty());
    }

    void bidBeingTypedBelongsToItsExpiry_data()
    {
        QTest::addColumn<bool>("clickTab");
        QTest::newRow("another tab clicked") << true;
        QTest::newRow("Calculate by its shortcut") << false;
    }
    void bidBeingTypedBelongsToItsExpiry()
    {
        QFETCH(bool, clickTab);
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5"), 1));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        TInOutObj* first = page->SeriesAt(0);
        TInOutObj* second = page->SeriesAt(1);
        // The editor is still open when the user acts elsewhere.
        TypeIntoCell(page.get(), 3, 5, QStringLiteral("6.10"), -1);
        QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        if (clickTab) {
            QTabBar* tabs = page->TabControl1;
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            QCOMPARE(tabs->currentIndex(), 1);
        } else {
            // As its Alt+C shortcut does: the focus stays in the editor.
            page->cmdReCalc->click();
        }
        QCOMPARE(first->Bid(2, 2), 6.1f);
        QVERIFY(first->BidIV(2, 2) > 0);
        QCOMPARE(second->Bid(2, 2), 0.0f);
        // No editor is left open over another expiry's cell.
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QCOMPARE(page->TheGrid->CellText(3, 5), clickTab ? QString() : QStringLiteral("6.10 "));
        QVERIFY(notifier.messages.empty());
    }

    void calculateWithNothingChangedKeepsTheValues()
    {
        // A volatility and a price with more decimals than the boxes show.
        const QString work = temp.filePath(QStringLiteral("again.TEM"));
        WritePriceWorkFile(work, EncodeDate(2009, 3, 25), 200);
        SeriesSetup setup = Setup(5, QStringLiteral("57.5"), QStringLiteral("2.5"));
        setup.expiryDates = {QDate(2009, 4, 17), QDate(2009, 5, 15), QDate(2009, 6, 19)};
        setup.workFilePath = work;
        setup.sourceFilePath = temp.filePath(QStringLiteral("again.csv"));
        PagePtr page = Build(setup);
        QVERIFY(page);
        std::vector<float> before;
        for (const TInOutObj* p : page->Expiries())
            for (int s = 1; s <= p->NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k)
                    before.push_back(p->Theo(s, k));
        page->cmdReCalc->click();
        std::size_t i = 0;
        for (const TInOutObj* p : page->Expiries())
            for (int s = 1; s <= p->NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k)
                    QVERIFY2(p->Theo(s, k) == before[i++],
                             qPrintable(QStringLiteral("strike %1 side %2: %3 then %4")
                                            .arg(s).arg(k).arg(double(before[i - 1]), 0, 'g', 9)
                                            .arg(double(p->Theo(s, k)), 0, 'g', 9)));
    }

    void typedTextThatIsNoNumberIsNamed()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5"), 1));
        QVERIFY(page);
        TInOutObj* p = page->CurrentSeries();
        TImpStrGrid* grid = page->TheGrid;
        grid->SetCellText(3, 1, QStringLiteral(" 4.20 "));
        grid->SetCellText(5, 1, QStringLiteral("4.60"));
        grid->SetCellText(3, 2, QStringLiteral("4,2x"));
        QVERIFY(!page->ReadQuoteCells());
        QCOMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(notifier.messages.front(), std::string("'4,2x' is not a valid floating point value"));
        // Rows before the bad cell are stored; nothing is solved.
        QCOMPARE(p->Bid(1, 1), 4.2f);
        QCOMPARE(p->Ask(1, 1), 4.6f);
        QCOMPARE(p->BidIV(1, 1), 0.0f);
        QCOMPARE(grid->CellText(3, 2), QStringLiteral("4,2x"));

        // Calculate stops at the same cell and prices nothing.
        notifier.messages.clear();
        const float theo = p->Theo(1, 1);
        page->fseUlying->SetValue(120.0);
        page->cmdReCalc->click();
        QCOMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(p->Theo(1, 1), theo);
    }

    void daysToExpirySnapBeforeTheFirstExpiry()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        const TDateTime first = page->FirstExpiry();
        QCOMPARE(page->seExpDays->text(), QStringLiteral("30"));

        page->seExpDays->SetValue(5);
        QCOMPARE(page->PageToday(), first - 5);
        for (const TInOutObj* p : page->Expiries())
            QCOMPARE(p->TodayDate, first - 5);

        // On the second expiry (60 days) a day count of 10 would value past
        // the first expiry: it snaps to the day before it, 31 days out.
        page->TabControl1->setCurrentIndex(1);
        QCOMPARE(page->seExpDays->text(), QStringLiteral("35"));
        page->seExpDays->SetValue(10);
        QCOMPARE(page->PageToday(), first - 1);
        QCOMPARE(page->seExpDays->text(), QStringLiteral("31"));
        QVERIFY(page->lblToday->text().startsWith(QStringLiteral("Today: ")));

        // The Chart-less page has no Chart tab; moving the days back out works.
        page->seExpDays->SetValue(50);
        QCOMPARE(page->PageToday(), first - 20);
        QCOMPARE(page->SeriesAt(0)->DaysToExpiry(), 20);
    }

    void daysTypedOnALaterExpiryKeepTheirDigits()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        const TDateTime first = page->FirstExpiry();
        page->TabControl1->setCurrentIndex(1);  // 60 days out; 31 at the least
        TrmSpinEdit* days = page->seExpDays;

        // 45 typed digit by digit: the 4 alone would value past the first
        // expiry, and must not turn the box into 31 under the user's hands.
        days->setFocus();
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("45"));
        QCOMPARE(days->text(), QStringLiteral("45"));
        QCOMPARE(page->PageToday(), first + 30 - 45);
        page->cmdReCalc->setFocus();
        QCOMPARE(days->text(), QStringLiteral("45"));

        // A count that snaps shows the snapped count once the typing ends.
        days->setFocus();
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("20"));
        QCOMPARE(page->PageToday(), first - 1);
        QCOMPARE(days->text(), QStringLiteral("20"));
        QTest::keyClick(days, Qt::Key_Return);
        QCOMPARE(days->text(), QStringLiteral("31"));
        for (const TInOutObj* p : page->Expiries())
            QCOMPARE(p->TodayDate, first - 1);

        // Stepping below the least count snaps back at once.
        QVERIFY(days->hasFocus());
        QTest::keyClick(days, Qt::Key_Down);
        QCOMPARE(days->text(), QStringLiteral("31"));
        QTest::keyClick(days, Qt::Key_End);  // a step selects the whole text
        QTest::keyClicks(days, QStringLiteral("5"));  // 315: far before the first expiry
        QCOMPARE(days->text(), QStringLiteral("315"));
        QTest::keyClick(days, Qt::Key_Up);
        QCOMPARE(days->text(), QStringLiteral("316"));
        QCOMPARE(page->PageToday(), first + 30 - 316);

        // So does a click on the spin buttons after typing.
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("2"));
        QCOMPARE(days->text(), QStringLiteral("2"));
        QWidget* up = days->Button()->UpButton();
        QTest::mouseClick(up, Qt::LeftButton, {}, up->rect().center());
        QCOMPARE(days->text(), QStringLiteral("31"));
        QCOMPARE(page->PageToday(), first - 1);
    }

    void historyButtonUsesTheVolatilityDays_data()
    {
        QTest::addColumn<int>("boxDays");
        QTest::addColumn<int>("usedDays");
        QTest::newRow("V Days 5") << 5 << 90;
        QTest::newRow("V Days 10") << 10 << 10;
        QTest::newRow("V Days 250") << 250 << 200;  // the file holds 200 days
    }
    void historyButtonUsesTheVolatilityDays()
    {
        QFETCH(int, boxDays);
        QFETCH(int, usedDays);
        PagePtr page = BuildFromPriceFile();
        QVERIFY(page);
        QVERIFY(page->cmdCalcSig->isVisibleTo(page.get()));
        page->seExpDays->SetValue(40);  // the valuation date moves away from the file's
        page->seSigDays->SetValue(boxDays);
        const QString sigmaShownBefore = page->fseSigma->text();
        page->cmdCalcSig->click();

        TSigmaObj expected(notifier);
        expected.FileName = page->PriceWorkFile().toStdString();
        expected.Days = usedDays;
        expected.Calculate();
        QCOMPARE(page->seSigDays->text(), QString::number(usedDays));
        QCOMPARE(page->fseSigma->text(), QString::number(expected.Sigma * 100.0, 'f', 2));
        QCOMPARE(page->fseUlying->text(), QString::number(expected.LastClose, 'f', 2));
        // The boxes' handlers store what the boxes show when their text
        // changes: the price in every expiry, the volatility in the shown one;
        // the others keep the exact volatility.
        const bool sigmaTextChanged = page->fseSigma->text() != sigmaShownBefore;
        const float shownPrice = QString::number(expected.LastClose, 'f', 2).toFloat();
        const float shownSigma =
            static_cast<float>(QString::number(expected.Sigma * 100.0, 'f', 2).toDouble() / 100.0);
        for (int i = 0; i < page->ExpiryCount(); ++i) {
            const TInOutObj* p = page->SeriesAt(i);
            QCOMPARE(p->SigmaDays, usedDays);
            QCOMPARE(p->Sigma, i == 0 && sigmaTextChanged ? shownSigma : expected.Sigma);
            QCOMPARE(p->Underlying, shownPrice);
            QCOMPARE(p->PriceDate, EncodeDate(2009, 3, 25));
            QCOMPARE(p->TodayDate, EncodeDate(2009, 3, 25));
        }
        QVERIFY(notifier.messages.empty());
    }

    void historyButtonShowsTheDaysLeftFromItsDate()
    {
        const QString work = temp.filePath(QStringLiteral("days.TEM"));
        WritePriceWorkFile(work, EncodeDate(2009, 3, 25), 200);
        SeriesSetup setup = Setup(3, QStringLiteral("45"), QStringLiteral("5"));
        setup.expiryDates = {QDate(2009, 4, 17), QDate(2009, 5, 15), QDate(2009, 6, 19)};
        setup.workFilePath = work;
        setup.sourceFilePath = temp.filePath(QStringLiteral("days.csv"));
        PagePtr page = Build(setup);
        QVERIFY(page);
        page->show();
        // April 17 is 23 days after March 25, the file's last day.
        QCOMPARE(page->seExpDays->text(), QStringLiteral("23"));
        page->seExpDays->SetValue(10);
        QCOMPARE(page->PageToday(), EncodeDate(2009, 4, 7));
        // The button values the series on the price file's last day again;
        // the days left say so.
        page->cmdCalcSig->click();
        QCOMPARE(page->PageToday(), EncodeDate(2009, 3, 25));
        QCOMPARE(page->seExpDays->text(), QStringLiteral("23"));
        QCOMPARE(page->SeriesAt(0)->DaysToExpiry(), 23);
        QVERIFY(notifier.messages.empty());
    }

    void zeroStrikeFromAFileLeavesItsRowsBlank()
    {
        // A damaged or hand-made file with a strike of 0: the page shows the
        // other strikes priced and names the bad one once.
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5")));
        QVERIFY(page);
        for (int e = 0; e < page->ExpiryCount(); ++e)
            page->SeriesAt(e)->Strike(2, 1) = page->SeriesAt(e)->Strike(2, 2) = 0;
        const QString file = temp.filePath(QStringLiteral("zero-strike.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        notifier = RecordingNotifier();

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(notifier.infos.size(), std::size_t{1});
        QCOMPARE(notifier.infos[0], std::string("Strike 2 (0) cannot be priced: a strike price must be above 0. "
                                                "Its rows are left blank."));
        TImpStrGrid* grid = reopened->TheGrid;
        for (const int row : {1, 3, 4, 6})
            QVERIFY2(!grid->CellText(7, row).trimmed().isEmpty(), qPrintable(QString::number(row)));
        for (const int row : {2, 5})
            for (int column = 7; column < 14; ++column)
                QVERIFY2(grid->CellText(column, row).trimmed().isEmpty(), qPrintable(QString::number(column)));
    }

    void savedPageReopensTheSame()
    {
        SeriesSetup setup = Setup(4, QStringLiteral("97.5"), QStringLiteral("2.5"), 3);
        setup.dividendAmount = QStringLiteral("0.75");
        setup.dividendDate = InDays(45);
        setup.contractRoot = QStringLiteral("XYZ-E");
        PagePtr page = Build(setup);
        QVERIFY(page);
        page->seSteps->SetValue(350);
        page->SeriesAt(0)->Last(2, 1) = 3.25f;
        page->SeriesAt(1)->NetChange(3, 2) = -0.5f;
        page->cmdReCalc->click();
        const QString file = temp.filePath(QStringLiteral("saved.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(reopened->SeriesFile(), file);
        QCOMPARE(reopened->ExpiryCount(), 3);
        QCOMPARE(reopened->PageToday(), page->PageToday());
        QCOMPARE(reopened->Title(), QStringLiteral("XYZ"));
        for (int i = 0; i < 3; ++i) {
            const TInOutObj& a = *page->SeriesAt(i);
            const TInOutObj& b = *reopened->SeriesAt(i);
            QCOMPARE(reopened->TabControl1->tabText(i), page->TabControl1->tabText(i));
            QCOMPARE(b.ContractType, a.ContractType);
            QCOMPARE(b.Model, a.Model);
            QCOMPARE(b.Steps, 350);
            QCOMPARE(b.ExpiryMonth, a.ExpiryMonth);
            QCOMPARE(b.NumStrikes, a.NumStrikes);
            QCOMPARE(b.SigmaDays, a.SigmaDays);
            QCOMPARE(b.Dividend, 0.75f);
            QCOMPARE(b.DivDate, a.DivDate);
            QCOMPARE(b.Rate, a.Rate);
            QCOMPARE(b.Underlying, a.Underlying);
            QCOMPARE(b.Sigma, a.Sigma);
            QCOMPARE(b.PriceDate, a.PriceDate);
            QCOMPARE(b.TodayDate, a.TodayDate);
            QCOMPARE(b.ExpiryDate, a.ExpiryDate);
            QCOMPARE(b.OptSymbol, a.OptSymbol);
            QCOMPARE(b.SourceFile, a.SourceFile);
            QCOMPARE(b.OptContract, std::string("XYZ-E"));
            QCOMPARE(b.SourceFileType, a.SourceFileType);
            for (int s = 1; s <= a.NumStrikes; ++s) {
                for (int k = 1; k <= 2; ++k) {
                    QCOMPARE(b.Strike(s, k), a.Strike(s, k));
                    QCOMPARE(b.Last(s, k), a.Last(s, k));
                    QCOMPARE(b.NetChange(s, k), a.NetChange(s, k));
                    QCOMPARE(b.Theo(s, k), a.Theo(s, k));
                }
            }
        }
        QCOMPARE(reopened->TheGrid->CellText(0, 2), QStringLiteral(" C  100.00 "));
        QCOMPARE(reopened->TheGrid->CellText(2, 2), QStringLiteral("3.25 "));
        QVERIFY(reopened->seSteps->isVisibleTo(reopened.get()));
        QCOMPARE(reopened->seSteps->text(), QStringLiteral("350"));
        QVERIFY(reopened->lblCntrMdl->text().endsWith(QStringLiteral("Binomial")));
        QVERIFY(reopened->lblDiv->text().startsWith(QStringLiteral("$ Div:  0.75 on ")));
        QVERIFY(notifier.messages.empty());
    }

    void openingASeriesConvertsItsPriceFile_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::newRow("daily prices") << true;
        QTest::newRow("not a price file") << false;
    }
    void openingASeriesConvertsItsPriceFile()
    {
        QFETCH(bool, readable);
        const QString prices = temp.filePath(readable ? QStringLiteral("XYZ.csv")
                                                      : QStringLiteral("junk.csv"));
        {
            QFile out(prices);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (readable) {
                out.write("Date,Open,High,Low,Close,Volume\n");
                const QDate first(2008, 6, 2);
                for (int i = 0; i < 150; ++i) {
                    const double close = 40.0 + 3.0 * std::sin(i * 0.3) + 0.01 * i;
                    out.write(QStringLiteral("%1,%2,%3,%4,%5,1000\n")
                                  .arg(first.addDays(i).toString(QStringLiteral("yyyy-MM-dd")))
                                  .arg(close, 0, 'f', 2)
                                  .arg(close + 0.5, 0, 'f', 2)
                                  .arg(close - 0.5, 0, 'f', 2)
                                  .arg(close, 0, 'f', 2)
                                  .toLatin1());
                }
            } else {
                out.write("<html><body>Not found</body></html>\n");
            }
        }
        PagePtr page = Build(Setup(3, QStringLiteral("40"), QStringLiteral("2.5")));
        QVERIFY(page);
        for (int i = 0; i < page->ExpiryCount(); ++i)
            page->SeriesAt(i)->SourceFile = prices.toStdString();
        const QString file = temp.filePath(QStringLiteral("withprices.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QTabBar* tabs = reopened->TabControl1;
        if (readable) {
            QCOMPARE(tabs->count(), 6);
            QCOMPARE(tabs->tabText(5), QStringLiteral("Chart"));
            QVERIFY(QFileInfo::exists(reopened->PriceWorkFile()));
            QVERIFY(reopened->ChartImage);
            QVERIFY(reopened->cmdCalcSig->isVisibleTo(reopened.get()));
            // The history button ran over the whole price file's window.
            QCOMPARE(reopened->SeriesAt(0)->SigmaDays, 90);
            QCOMPARE(reopened->PageToday(), EncodeDate(2008, 10, 29));
            QVERIFY(notifier.messages.empty());
        } else {
            // The page stands without its chart and history button.
            QCOMPARE(tabs->count(), 5);
            QVERIFY(!reopened->ChartImage);
            QVERIFY(reopened->PriceWorkFile().isEmpty());
            QVERIFY(!reopened->cmdCalcSig->isVisibleTo(reopened.get()));
            QVERIFY(!notifier.messages.empty());
            QCOMPARE(notifier.messages.back(), std::string("Dang! Can't digest source data from junk.csv"));
            QVERIFY(!reopened->TheGrid->CellText(7, 1).isEmpty());
        }
    }

    void tabsWithoutAnExpiryTakeNoInput()
    {
        PagePtr page = BuildFromPriceFile();
        QVERIFY(page);
        page->show();
        const float rate = page->SeriesAt(2)->Rate;
        const float sigma = page->SeriesAt(2)->Sigma;
        const TDateTime today = page->PageToday();
        // Position, Smile and Chart.
        for (const int tab : {3, 4, 5}) {
            page->TabControl1->setCurrentIndex(tab);
            QVERIFY(!page->TheGrid->isVisible());
            page->fseRate->SetValue(7.5 + tab);
            page->fseSigma->SetValue(55.0 + tab);
            page->seExpDays->SetValue(3 + tab);
        }
        QVERIFY(page->ChartImage->isVisible());
        QVERIFY(!page->ChartImage->pixmap().isNull());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(page->SeriesAt(i)->Rate < 0.07f);
            QVERIFY(page->SeriesAt(i)->Sigma < 0.5f);
        }
        QCOMPARE(page->SeriesAt(2)->Rate, rate);
        QCOMPARE(page->SeriesAt(2)->Sigma, sigma);
        QCOMPARE(page->PageToday(), today);
        // Back on an expiry, the boxes show that expiry again.
        page->TabControl1->setCurrentIndex(2);
        QVERIFY(page->TheGrid->isVisible());
        QCOMPARE(page->fseRate->text(), QString::number(rate * 100.0, 'f', 2));
    }

    void unusableInputBuildsNoPage_data()
    {
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<QString>("firstStrike");
        QTest::addColumn<int>("expiries");
        QTest::addColumn<QString>("message");  // what it begins with
        const QString none = QStringLiteral("There is no option series in bad.ops.");
        QTest::newRow("empty series file") << QByteArray("") << QString() << 0
                                           << none + QStringLiteral(" Stream read error");
        QTest::newRow("series file of text") << QByteArray("hello, world\n") << QString() << 0
                                             << none + QStringLiteral(" Invalid property value");
        QTest::newRow("list without expiries") << QByteArray("\x01\x00", 2) << QString() << 0 << none;
        QTest::newRow("no series file") << QByteArray() << QString() << 0
                                        << QStringLiteral("There is no option series in gone.ops. Cannot open file");
        QTest::newRow("first strike not a number") << QByteArray() << QStringLiteral("1OO") << 3
                                                   << "Lowest Strike: '1OO' is not a number.";
        QTest::newRow("no expiry") << QByteArray() << QStringLiteral("100") << 0
                                   << "The series has no expiry date.";
    }
    void unusableInputBuildsNoPage()
    {
        QFETCH(QByteArray, fileBytes);
        QFETCH(QString, firstStrike);
        QFETCH(int, expiries);
        QFETCH(QString, message);
        PagePtr page;
        if (firstStrike.isEmpty() && fileBytes.isNull()) {
            page = Open(temp.filePath(QStringLiteral("gone.ops")));
        } else if (firstStrike.isEmpty()) {
            const QString file = temp.filePath(QStringLiteral("bad.ops"));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(fileBytes);
            out.close();
            page = Open(file);
        } else {
            SeriesSetup setup = Setup(3, firstStrike, QStringLiteral("5"));
            setup.numExpiries = expiries;
            page = Build(setup);
        }
        QVERIFY(!page);
        // One message that says what is wrong, and with a file, which file.
        QCOMPARE(notifier.messages.size(), std::size_t(1));
        const QString shown = QString::fromStdString(notifier.messages.front());
        QVERIFY2(shown.startsWith(message), qPrintable(shown));
    }

    void damagedFileKeepsTheExpiriesBeforeTheDamage()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        const QString file = temp.filePath(QStringLiteral("cut.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        // Cut in the middle of the second of three records.
        QVERIFY(QFile::resize(file, QFileInfo(file).size() / 2));
        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(reopened->ExpiryCount(), 1);
        QCOMPARE(reopened->TabControl1->count(), 3);
        QCOMPARE(reopened->TabControl1->tabText(0), page->TabControl1->tabText(0));
        QCOMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(notifier.messages.front(), std::string("Trouble reading saved Option Grid."));
        QVERIFY(!reopened->TheGrid->CellText(7, 1).isEmpty());
    }

    void seriesWithoutPriceFileStartsTodayAtTwentyFivePercent()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("42.5"), QStringLiteral("2.5")));
        QVERIFY(page);
        page->show();
        QCOMPARE(page->TabControl1->count(), 5);
        QVERIFY(!page->ChartImage);
        QVERIFY(page->PriceTextFile().isEmpty());
        QVERIFY(page->PriceWorkFile().isEmpty());
        QVERIFY(!page->cmdCalcSig->isVisible());
        QVERIFY(!page->seSigDays->isVisible());
        QVERIFY(!page->lblSigDays->isVisible());
        const TDateTime today = SystemToday();
        QCOMPARE(page->PageToday(), today);
        QCOMPARE(page->lblToday->text(),
                 QStringLiteral("Today: ")
                     + QString::fromStdString(FormatLocaleDate(today, LocaleInfo())));
        QCOMPARE(page->fseSigma->text(), QStringLiteral("25.00"));
        QCOMPARE(page->fseUlying->text(), QStringLiteral("42.50"));
        QCOMPARE(page->seExpDays->text(), QStringLiteral("30"));
        for (const TInOutObj* p : page->Expiries()) {
            QCOMPARE(p->Sigma, 0.25f);
            QCOMPARE(p->Underlying, 42.5f);
            QCOMPARE(p->TodayDate, today);
            QCOMPARE(p->PriceDate, today);
            QVERIFY(p->SourceFile.empty());
        }
        // Calculated at once: the first call is priced.
        QVERIFY(!page->TheGrid->CellText(7, 1).isEmpty());
        QVERIFY(notifier.messages.empty());
    }

    void contractLabelsNameModelAndDividend_data()
    {
        QTest::addColumn<int>("contract");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("yield");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("dividend");  // empty: the label is hidden
        QTest::newRow("equity with dividend") << int(kEquity) << 1 << "0.75" << "" << "Equity: Black-Scholes"
                                              << "$ Div:  0.75 on ";
        QTest::newRow("equity without") << int(kEquity) << 2 << "" << "" << "Equity: Black" << "$ Div: None";
        QTest::newRow("index with yield") << int(kIndex) << 4 << "" << "2.1" << "Index: Whaley"
                                          << "Div Yield: 2.10%";
        QTest::newRow("index without") << int(kIndex) << 3 << "" << "" << "Index: Binomial"
                                       << "Div Yield: None";
        QTest::newRow("future") << int(kFuture) << 2 << "" << "" << "Future: Black" << "";
        QTest::newRow("currency with rate") << int(kCurrency) << 1 << "" << "3.5"
                                            << "Currency: Black-Scholes" << "Foreign RF Rate: 3.50";
        QTest::newRow("currency without") << int(kCurrency) << 1 << "" << ""
                                          << "Currency: Black-Scholes" << "Foreign RF Rate: ???";
    }
    void contractLabelsNameModelAndDividend()
    {
        QFETCH(int, contract);
        QFETCH(int, model);
        QFETCH(QString, amount);
        QFETCH(QString, yield);
        QFETCH(QString, kind);
        QFETCH(QString, dividend);
        SeriesSetup setup = Setup(3, QStringLiteral("100"), QStringLiteral("5"), model);
        setup.contractType = contract;
        setup.dividendAmount = amount;
        setup.dividendDate = InDays(45);  // after the first expiry, before the second
        setup.dividendYield = yield;
        PagePtr page = Build(setup);
        QVERIFY(page);
        page->show();
        QCOMPARE(page->lblCntrMdl->text(), kind);
        QCOMPARE(page->lblDiv->isVisible(), !dividend.isEmpty());
        if (!dividend.isEmpty())
            QVERIFY2(page->lblDiv->text().startsWith(dividend), qPrintable(page->lblDiv->text()));
        QCOMPARE(page->seSteps->isVisible(), model == kBinomial);
        QCOMPARE(page->lblSteps->isVisible(), model == kBinomial);
        if (contract != kEquity || amount.isEmpty())
            return;
        // A dividend paid after an expiry shows in grey on that expiry's tab,
        // and in the usual colour on the tab of an expiry it comes before.
        const QColor normal = page->palette().color(QPalette::WindowText);
        QCOMPARE(page->lblDiv->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
        page->TabControl1->setCurrentIndex(1);
        QCOMPARE(page->lblDiv->palette().color(QPalette::WindowText), normal);
        QVERIFY(page->lblDiv->text().startsWith(dividend));
        QCOMPARE(page->lblCntrMdl->text(), kind);
    }

    void closedPageLeavesItsFileAlone()
    {
        QPointer<TfrmOPage> page(Build(Setup(3, QStringLiteral("100"), QStringLiteral("5"))).release());
        QVERIFY(page);
        const QString file = temp.filePath(QStringLiteral("closed.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        const qint64 size = QFileInfo(file).size();
        QVERIFY(size > 0);
        page->show();
        page->close();
        // Closing gave up the series and the tabs; a save asked for before
        // the page is gone writes nothing.
        QVERIFY(page);
        QCOMPARE(page->TabControl1->count(), 0);
        QCOMPARE(page->ExpiryCount(), 0);
        QVERIFY(page->SavePage());
        QCOMPARE(QFileInfo(file).size(), size);
        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(reopened->ExpiryCount(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(page.isNull());
    }

    void seriesChangeKeepsThePriceFiles()
    {
        const QString work = temp.filePath(QStringLiteral("change.TEM"));
        WritePriceWorkFile(work, EncodeDate(2009, 3, 25), 200);
        const QString text = temp.filePath(QStringLiteral("change.csv"));
        {
            QFile out(text);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write("Date,Open,High,Low,Close,Volume\n");
        }
        SeriesSetup setup = Setup(3, QStringLiteral("45"), QStringLiteral("5"));
        setup.expiryDates = {QDate(2009, 4, 17), QDate(2009, 5, 15), QDate(2009, 6, 19)};
        setup.sourceFilePath = text;
        setup.workFilePath = work;
        QPointer<TfrmOPage> first(Build(setup).release());
        QVERIFY(first);
        QCOMPARE(first->PriceWorkFile(), work);

        // The setup dialog in edit mode hands the old page's work file on;
        // the old page closes once the new one stands.
        setup.workFilePath = first->PriceWorkFile();
        setup.numStrikes = QStringLiteral("4");
        PagePtr second = Build(setup);
        QVERIFY(second);
        first->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(QFileInfo::exists(work));
        QVERIFY(QFileInfo::exists(text));

        QVERIFY(second->ChartImage);
        QVERIFY(!second->ChartImage->pixmap().isNull());
        TSigmaObj expected(notifier);
        expected.FileName = work.toStdString();
        expected.Days = 90;
        expected.Calculate();
        QCOMPARE(second->PageToday(), EncodeDate(2009, 3, 25));
        QCOMPARE(second->SeriesAt(2)->Sigma, expected.Sigma);
        QCOMPARE(second->SeriesAt(2)->SigmaDays, 90);
        // Every expiry is priced at the underlying price the box shows.
        for (const TInOutObj* p : second->Expiries())
            QCOMPARE(p->Underlying, static_cast<float>(second->fseUlying->Value()));
        second->cmdCalcSig->click();
        QVERIFY(notifier.messages.empty());
    }

    void savedStepsBeyondTheBoxAreTheBoxs_data()
    {
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("used");
        QTest::newRow("3 steps") << 3 << 25;
        QTest::newRow("100000 steps") << 100000 << 400;
        QTest::newRow("250 steps") << 250 << 250;
    }
    void savedStepsBeyondTheBoxAreTheBoxs()
    {
        QFETCH(int, saved);
        QFETCH(int, used);
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5"), kBinomial));
        QVERIFY(page);
        for (int i = 0; i < page->ExpiryCount(); ++i) {
            page->SeriesAt(i)->Steps = saved;
            page->SeriesAt(i)->SigmaDays = 60;
        }
        const QString file = temp.filePath(QStringLiteral("steps.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        // The page prices with the steps its box shows.
        QCOMPARE(reopened->seSteps->text(), QString::number(used));
        for (const TInOutObj* p : reopened->Expiries())
            QCOMPARE(p->Steps, used);
    }

    void inputBarOffersItsRangesAndHints_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("label");
        QTest::newRow("fseUlying") << "fseUlying" << 0.001 << 100000.0 << 1.0 << "Set Underlying price" << "&Ulying";
        QTest::newRow("fseSigma") << "fseSigma" << 1.0 << 200.0 << 0.1 << "Set Volatility %  (10.0 = 10%)"
                                  << "&Volatility";
        QTest::newRow("fseRate") << "fseRate" << 0.05 << 50.0 << 0.1 << "Risk Free interest rate (1.0 = 1%)"
                                 << "&Rate";
        QTest::newRow("seSigDays") << "seSigDays" << 1.0 << 250.0 << 1.0
                                   << "Days to calculate hiistorical volatility of Underlying" << "V &Days";
        QTest::newRow("seExpDays") << "seExpDays" << 1.0 << 1000.0 << 1.0 << "Days to expiry" << "Days left";
        QTest::newRow("seSteps") << "seSteps" << 25.0 << 400.0 << 10.0 << "Binomial Model Steps/Nodes"
                                 << "&Steps";
    }
    void inputBarOffersItsRangesAndHints()
    {
        QFETCH(QString, name);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, step);
        QFETCH(QString, hint);
        QFETCH(QString, label);
        PagePtr page = BuildFromPriceFile(3, kBinomial);  // every box shown
        QVERIFY(page);
        auto* box = page->findChild<TrmCustomSpinEdit*>(name);
        QVERIFY(box);
        QCOMPARE(box->toolTip(), hint);
        if (auto* floatBox = qobject_cast<TrmFloatSpinEdit*>(box)) {
            QCOMPARE(floatBox->MinValue(), low);
            QCOMPARE(floatBox->MaxValue(), high);
            QCOMPARE(floatBox->Increment(), step);
        } else {
            auto* intBox = qobject_cast<TrmSpinEdit*>(box);
            QVERIFY(intBox);
            QCOMPARE(double(intBox->MinValue()), low);
            QCOMPARE(double(intBox->MaxValue()), high);
            QCOMPARE(double(intBox->Increment()), step);
        }
        QLabel* caption = nullptr;
        for (QLabel* candidate : page->findChildren<QLabel*>())
            if (candidate->buddy() == box)
                caption = candidate;
        QVERIFY(caption);
        QCOMPARE(caption->text(), label);
        // A value beyond the range is brought into it.
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        box->setFocus();
        box->setText(QString::number(high * 2));
        page->cmdReCalc->setFocus();
        QCOMPARE(box->text(), qobject_cast<TrmFloatSpinEdit*>(box) ? QString::number(high, 'f', 2)
                                                                 : QString::number(high));
    }

    void buttonsAndChoicesSayWhatTheyDo()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        QCOMPARE(page->cmdCalcSig->toolTip(), QStringLiteral("Calculate historical volatility of Underlying"));
        QCOMPARE(page->cmdReCalc->text(), QStringLiteral("&Calculate"));
        QCOMPARE(page->cmdReCalc->toolTip(), QStringLiteral("Figure model  values"));
        QCOMPARE(page->cmboOptSymbols->toolTip(), QStringLiteral("Available option contracts"));
        QVERIFY(!page->cmboOptSymbols->isVisibleTo(page.get()));  // no quote file
        QCOMPARE(page->rbtnLevel->text(), QStringLiteral("Use Flat V"));
        QCOMPARE(page->rbtnLevel->toolTip(), QStringLiteral("Price with no skew"));
        QVERIFY(page->rbtnLevel->isChecked());
        QCOMPARE(page->rbtnBid->text(), QStringLiteral("Use Bid IVs"));
        QCOMPARE(page->rbtnBid->toolTip(), QStringLiteral("Price with Bid IV skew"));
        QCOMPARE(page->rbtnAsk->text(), QStringLiteral("Use Ask IVs"));
        QCOMPARE(page->rbtnAsk->toolTip(), QStringLiteral("Price with Ask IV skew"));
        QCOMPARE(page->lblToday->toolTip(), QStringLiteral("Calculation Date"));
        QCOMPARE(page->lblExpDate->toolTip(), QStringLiteral("Expiry Date"));
        QVERIFY(page->lblExpDate->text().startsWith(QStringLiteral("Expiry: ")));
        const QStringList headers = {
            QStringLiteral("Strike\rCode"), QStringLiteral("Net"),    QStringLiteral("Last"),
            QStringLiteral("Bid $"),        QStringLiteral("Bid IV"), QStringLiteral("Ask $"),
            QStringLiteral("Ask IV"),       QStringLiteral("Theo $"), QStringLiteral("Delta"),
            QStringLiteral("Gamma"),        QStringLiteral("Decay\r$ / Day"), QStringLiteral("Vega"),
            QStringLiteral("% Prob\r< Str"), QStringLiteral("% Prob\r> Str")};
        for (int c = 0; c < 14; ++c)
            QCOMPARE(page->TheGrid->CellText(c, 0), headers[c]);
    }

    void onlyBidAndAskCellsTakeTyping()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        TImpStrGrid* grid = page->TheGrid;
        grid->setFocus();
        for (const int col : {1, 2, 4, 6, 7, 13}) {
            const QString before = grid->CellText(col, 2);
            grid->setCurrentIndex(grid->model()->index(1, col));
            QTest::keyClicks(grid, QStringLiteral("7"));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
            QCOMPARE(grid->CellText(col, 2), before);
            // A click outside the quote cells marks the whole row.
            QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 13);
        }
        grid->setCurrentIndex(grid->model()->index(1, 5));
        QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 1);
        QTest::keyClicks(grid, QStringLiteral("7"));
        QVERIFY(QApplication::focusWidget() != grid);
    }

    void strikeLabelsLineUp()
    {
        PagePtr page = Build(Setup(4, QStringLiteral("90"), QStringLiteral("5")));
        QVERIFY(page);
        TInOutObj* p = page->CurrentSeries();
        p->OptCode(3, 1) = "\rXYZCT";
        page->FillGrid();
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        TImpStrGrid* grid = page->TheGrid;
        QCOMPARE(grid->CellText(0, 1), QStringLiteral(" C  90     "));
        QCOMPARE(grid->CellText(0, 3), QStringLiteral(" C  100    \rXYZCT"));
        const QImage image = grid->grab().toImage();
        const QRect ninety = FixedCellRect(grid, 1);
        const QRect hundred = FixedCellRect(grid, 3);
        const int c90 = LeftmostInk(image, ninety);
        const int c100 = LeftmostInk(image, hundred.adjusted(0, 0, 0, -hundred.height() / 2));
        QVERIFY(c90 > ninety.left());
        // The C of every call sits in one place, and the option code below it.
        QCOMPARE(c100, c90);
        const int code = LeftmostInk(image, hundred.adjusted(0, hundred.height() / 2, 0, 0));
        QVERIFY2(std::abs(code - c100) <= 2, qPrintable(QStringLiteral("%1 %2").arg(code).arg(c100)));
        // The numbers begin in one place too, give or take the digits' own
        // side bearings: the first ink right of the C.
        auto numberStart = [&](const QRect& rect) {
            int x = LeftmostInk(image, rect);
            while (x <= rect.right() && LeftmostInk(image, QRect(x, rect.top(), 1, rect.height())) >= 0)
                ++x;  // through the C
            return LeftmostInk(image, QRect(x, rect.top(), rect.right() - x, rect.height()));
        };
        const int from100 = numberStart(hundred.adjusted(0, 0, 0, -hundred.height() / 2));
        const int from90 = numberStart(ninety);
        QVERIFY2(from90 > c90 && std::abs(from100 - from90) <= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(from100).arg(from90)));
    }

    void columnsFillTheGridWidth_data()
    {
        QTest::addColumn<int>("mainWidth");
        QTest::newRow("900") << 900;
        QTest::newRow("1040") << 1040;
        QTest::newRow("1111") << 1111;
        QTest::newRow("1203") << 1203;
    }
    void columnsFillTheGridWidth()
    {
        QFETCH(int, mainWidth);
        PageEnvironment environment = Environment();
        environment.mainWindowGeometry = QRect(0, 0, mainWidth, 60);
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        auto columnsWidth = [&] {
            int sum = 0;
            for (int c = 0; c < page->TheGrid->ColCount(); ++c)
                sum += page->TheGrid->ColWidth(c);
            return sum;
        };
        // The last column ends at the grid's right edge: no strip of
        // background beside it, and no column cut off.
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        QTRY_COMPARE(columnsWidth(), page->TheGrid->viewport()->width());
        page->resize(page->width() + 37, page->height());
        QTRY_COMPARE(columnsWidth(), page->TheGrid->viewport()->width());
    }

    void pageSitsBelowTheMainWindow()
    {
        PageEnvironment environment = Environment();
        environment.mainWindowGeometry = QRect(40, 30, 900, 80);
        PagePtr page = Build(Setup(20, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        QCOMPARE(page->pos(), QPoint(40, 110));
        QVERIFY(page->width() >= 900);
        QCOMPARE(page->minimumWidth(), 900);
        QCOMPARE(page->maximumHeight(), page->height());
        // Every header text fits its column unwrapped.
        for (int c = 1; c < 14; ++c)
            QVERIFY(page->TheGrid->ColWidth(c)
                    >= page->TheGrid->FixedTextWidth(page->TheGrid->CellText(c, 0)));
    }
};

class TwoToneGridTest : public QObject {
    Q_OBJECT
private slots:
    void fixedCellsGrowTheirRows()
    {
        TImpStrGrid grid;
        grid.SetColCount(3);
        grid.SetRowCount(4);
        grid.SetDefaultRowHeight(10);
        const int lines = QFontMetrics(grid.FixedFont()).lineSpacing();
        grid.SetCellText(0, 0, QStringLiteral("Strike\rCode"));
        QVERIFY(grid.RowHeight(0) >= 2 * lines + 1);
        grid.SetCellText(0, 2, QStringLiteral(" C  100    \rXYZCT"));
        QVERIFY(grid.RowHeight(2) >= 2 * lines + 1);
        QCOMPARE(grid.RowHeight(1), 10);
        // Rows grown by their text stay grown.
        const int grown = grid.RowHeight(2);
        grid.SetCellText(0, 2, QStringLiteral("x"));
        QCOMPARE(grid.RowHeight(2), grown);
    }

    void offsetSplitsTheBands()
    {
        TImpStrGrid grid;
        grid.SetColCount(3);
        grid.SetRowCount(5);
        grid.resize(300, 300);
        grid.SetLightColor(QColor(255, 255, 151));
        grid.SetDarkColor(QColor(192, 220, 192));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.SetOffset(0);
        for (int r = 1; r < 5; ++r)
            QCOMPARE(CellColour(&grid, 1, r), QColor(192, 220, 192));
        grid.SetOffset(100);
        for (int r = 1; r < 5; ++r)
            QCOMPARE(CellColour(&grid, 2, r), QColor(255, 255, 151));
        grid.SetOffset(3);
        QCOMPARE(CellColour(&grid, 1, 2), QColor(255, 255, 151));
        QCOMPARE(CellColour(&grid, 1, 3), QColor(192, 220, 192));
        // Only a change repaints.
        const int repaints = grid.RepaintRequests();
        grid.SetOffset(3);
        grid.SetLightColor(QColor(255, 255, 151));
        QCOMPARE(grid.RepaintRequests(), repaints);
        grid.SetJustify(1);
        QCOMPARE(grid.RepaintRequests(), repaints + 1);
    }
    void justifyAndLineColourDrawNothingNew()
    {
        TImpStrGrid grid;
        grid.SetColCount(3);
        grid.SetRowCount(4);
        grid.resize(300, 200);
        grid.SetLightColor(QColor(255, 255, 151));
        grid.SetDarkColor(QColor(192, 220, 192));
        grid.SetOffset(2);
        grid.SetCellText(1, 0, QStringLiteral("Bid $"));
        grid.SetCellText(0, 1, QStringLiteral(" C  100   "));
        grid.SetCellText(1, 1, QStringLiteral("1.50 "));
        grid.SetCellText(2, 2, QStringLiteral("-0.25 "));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QImage before = grid.grab().toImage();
        const int repaints = grid.RepaintRequests();
        grid.SetJustify(1);
        grid.SetFixedJustify(2);
        grid.SetGridLineColor(QColor(255, 0, 0));
        QCOMPARE(grid.RepaintRequests(), repaints + 3);
        QCOMPARE(grid.grab().toImage(), before);
    }

    void dataTextIsRightAlignedOnOneLine()
    {
        TImpStrGrid grid;
        grid.SetColCount(2);
        grid.SetRowCount(3);
        grid.SetColWidth(1, 120);
        grid.resize(300, 200);
        grid.SetLightColor(QColor(255, 255, 255));
        grid.SetDarkColor(QColor(255, 255, 255));
        grid.SetCellText(1, 1, QStringLiteral("1.50 "));
        grid.SetCellText(1, 2, QStringLiteral("-100.50 "));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QImage image = grid.grab().toImage();
        auto rightmostInk = [&](int row) {
            const QRect cell = grid.visualRect(grid.model()->index(row - 1, 1))
                                   .translated(grid.viewport()->geometry().topLeft())
                                   .adjusted(1, 1, -2, -2);
            for (int x = cell.right(); x >= cell.left(); --x)
                for (int y = cell.top(); y <= cell.bottom(); ++y)
                    if (qGray(image.pixel(x, y)) < 100)
                        return x;
            return -1;
        };
        QVERIFY(rightmostInk(1) > 0);
        // Both numbers end at the same place near the right border.
        QVERIFY(std::abs(rightmostInk(1) - rightmostInk(2)) <= 1);
        QVERIFY(rightmostInk(1) > grid.ColWidth(0) + 120 - 20);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TwoToneGridTest gridTest;
        status |= QTest::qExec(&gridTest, argc, argv);
    }
    {
        OptionPageTest pageTest;
        status |= QTest::qExec(&pageTest, argc, argv);
    }
    return status;
}

#include "optionpage_test.moc"
