// The pieces beside the grid, driven as a user drives them on the offscreen
// platform: Ctrl+C in a real page's grid and its pasted text, the grid's
// CSV against what the grid shows, the smile view of a real quote table,
// and the Position tab's table, multiplier, figures and graph.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "analysis/GridExport.h"
#include "analysis/PositionTotals.h"
#include "analysis/Smile.h"
#include "appcore/HelpPages.h"
#include "common/localeparse.h"
#include "common/numformat.h"
#include "common/numtext.h"
#include "controls/rmSpin.h"
#include "optionpage/GridCopy.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PnlTableView.h"
#include "optionpage/PositionTab.h"
#include "optionpage/RiskView.h"
#include "optionpage/SmileView.h"
#include "pricing/gridtext.h"
#include "pricing/pricing_fixtures.h"
#include "support/qt_test_main.h"
#include "support/recording_notifier.h"
#include "support/spx_quotes.h"

using namespace kestrava;

namespace {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;

QStringList Lines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// A grid cell as the pasted text should hold it: one line, no border blanks.
QString AsPasted(const QString& cell)
{
    QString text = cell;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.simplified();
}

// How many 2 x 2 blocks of a picture drawn at twice the pixels are not one
// colour: none for a picture that was only scaled up.
int FineBlocks(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int fine = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb a = image.pixel(x, y);
            fine += a != image.pixel(x + 1, y) || a != image.pixel(x, y + 1)
                    || a != image.pixel(x + 1, y + 1);
        }
    return fine;
}

int CountColour(const QImage& picture, const QColor& colour)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// The rightmost column holding colour; -1 when none does.
int RightmostColumn(const QImage& picture, const QColor& colour)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == colour)
                return x;
    return -1;
}

const QColor kCallColour(255, 255, 151);
const QColor kPutColour(128, 192, 255);

}  // namespace

// ------------------------------------------------------------------ copying

class GridCopyTest : public QObject {
    Q_OBJECT

    RecordingNotifier notifier;
    QTemporaryDir temp;

    // Three strikes of an equity, quoted: bids and asks typed into the grid.
    std::unique_ptr<TfrmOPage> QuotedPage(char decimalSeparator)
    {
        PageEnvironment environment;
        environment.tempDirectory = environment.dataDirectory = environment.seriesDirectory = temp.path();
        environment.locale = LocaleInfo::FromPattern("dd.MM.yyyy", decimalSeparator);
        SeriesSetup setup;
        const QDate today = QDate::currentDate();
        setup.expiryDates = {today.addDays(30), today.addDays(60), today.addDays(90)};
        setup.numStrikes = QStringLiteral("3");
        setup.firstStrike = QStringLiteral("20");
        setup.strikeIncrement = QStringLiteral("2") + QLatin1Char(decimalSeparator) + QStringLiteral("5");
        setup.optionSymbol = setup.symbolText = QStringLiteral("XYZ");
        setup.model = 1;
        PageSource source;
        source.setup = setup;
        std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(environment, source, notifier));
        if (!page)
            return page;
        // Typed as the cell editor hands the texts over.
        QAbstractItemModel* cells = page->Controls().TheGrid->model();
        const QString sep{QLatin1Char(decimalSeparator)};
        for (int row = 1; row <= 6; ++row) {
            cells->setData(cells->index(row - 1, 3),
                           QStringLiteral("1") + sep + QStringLiteral("0") + QString::number(row));
            cells->setData(cells->index(row - 1, 5),
                           QStringLiteral("1") + sep + QStringLiteral("9") + QString::number(row));
        }
        page->InputBar().cmdReCalc->click();
        return page;
    }

    QString Copy(TImpStrGrid* grid)
    {
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        return QGuiApplication::clipboard()->text();
    }

private slots:
    void initTestCase() { QVERIFY(temp.isValid()); }

    void ctrlCCopiesTheGridAsShown_data()
    {
        QTest::addColumn<char>("separator");
        QTest::newRow("decimal point") << '.';
        QTest::newRow("decimal comma") << ',';
    }
    // Ctrl+C in a page's grid, with option codes under the strikes: nothing
    // selected copies every row, a click one row, Shift+click a run of rows,
    // Ctrl+A all of them while the row cursor stays where it was. The side,
    // the strike and the code are columns of their own, the strike a number;
    // the percent columns say so.
    void ctrlCCopiesTheGridAsShown()
    {
        QFETCH(char, separator);
        auto page = QuotedPage(separator);
        QVERIFY(page);
        TInOutObj* p = page->CurrentSeries();
        for (int s = 1; s <= 3; ++s)
            for (int k = 1; k <= 2; ++k)
                p->OptCode(s, k) = std::string("\rXYZ") + (k == 1 ? 'C' : 'O') + char('A' + s);
        page->FillGrid();
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        TImpStrGrid* grid = page->Controls().TheGrid;
        grid->setFocus();
        grid->clearSelection();

        // Nothing selected: the headings and every row of the six options.
        const QStringList whole = Lines(Copy(grid));
        QCOMPARE(whole.size(), 1 + 6);
        const QStringList headings = whole[0].split(QLatin1Char('\t'));
        QCOMPARE(headings.mid(0, 4), (QStringList{QStringLiteral("Side"), QStringLiteral("Strike"),
                                                  QStringLiteral("Code"), QStringLiteral("Net")}));
        QCOMPARE(headings[6], QStringLiteral("Bid IV %"));
        QCOMPARE(headings[15], QStringLiteral("% Prob > Str"));
        for (int row = 1; row <= 6; ++row) {
            const QStringList cells = whole[row].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), grid->ColCount() + 2);
            const int s = (row - 1) % 3 + 1;
            const int k = row <= 3 ? 1 : 2;
            QCOMPARE(cells[0], QString::fromLatin1(k == 1 ? "C" : "P"));
            double strike = 0;
            QVERIFY(TryParseDecimal(cells[1].toStdString(), separator, strike));
            QCOMPARE(strike, double(p->Strike(s, k)));
            QCOMPARE(cells[2], QString::fromStdString(p->OptCode(s, k).substr(1)));
            for (int col = 1; col < grid->ColCount(); ++col)
                QCOMPARE(cells[col + 2], AsPasted(grid->CellText(col, row)));
        }
        QVERIFY2(whole[1].contains(QStringLiteral("\t1") + QLatin1Char(separator) + QStringLiteral("01\t")),
                 qPrintable(whole[1]));

        // A click on the second put's theoretical value marks its row.
        const auto click = [grid](int row, Qt::KeyboardModifiers modifiers) {
            const QRect cell = grid->visualRect(grid->model()->index(row, 7));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cell.center());
        };
        click(4, {});
        QCOMPARE(Lines(Copy(grid)), (QStringList{whole[0], whole[5]}));
        // Shift+click on the first call takes the rows between.
        click(0, Qt::ShiftModifier);
        QCOMPARE(Lines(Copy(grid)), whole.mid(0, 6));
        // Ctrl+A takes every row; the row cursor stays on the first call.
        const QModelIndex cursor = grid->currentIndex();
        QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex(), cursor);
        QCOMPARE(Lines(Copy(grid)), whole);

        // A bid cell alone: its heading and its text, after its option.
        click(1, {});
        grid->selectionModel()->select(grid->model()->index(1, 3), QItemSelectionModel::ClearAndSelect);
        const QStringList second = whole[2].split(QLatin1Char('\t'));
        QCOMPARE(Copy(grid), QStringLiteral("Side\tStrike\tCode\tBid $\n%1\t%2\t%3\t%4\n")
                                 .arg(second[0], second[1], second[2], AsPasted(grid->CellText(3, 2))));
    }

    void pagePositionFromTheGridIsSavedAndReadBack()
    {
        // Ctrl+B on a call row and Sell 1 on a put row, as the user picks
        // them; the Position tab shows both; the position goes beside the
        // series file and comes back with it.
        auto page = QuotedPage('.');
        QVERIFY(page);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        TImpStrGrid* grid = page->Controls().TheGrid;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(1, 7));  // strike 2, call
        QTest::keyClick(grid, Qt::Key_B, Qt::ControlModifier);
        grid->setCurrentIndex(grid->model()->index(4, 7));  // strike 2, put
        page->findChild<QAction*>(QStringLiteral("SellOneItem"))->trigger();
        auto* tab = page->findChild<PositionTab*>();
        QVERIFY(tab);
        const Position& position = tab->GetPosition();
        QCOMPARE(position.legs.size(), std::size_t{2});
        QCOMPARE(position.legs[0].quantity, 1);
        QCOMPARE(position.legs[0].side, 1);
        QCOMPARE(position.legs[0].price, 1.92);  // bought at the ask
        QCOMPARE(position.legs[1].quantity, -1);
        QCOMPARE(position.legs[1].side, 2);
        QCOMPARE(position.legs[1].price, 1.05);  // sold at the bid

        // The Position tab, beside the expiries, shows it.
        QTabBar* tabs = page->Controls().TabControl1;
        QCOMPARE(tabs->tabText(3), QStringLiteral("Position"));
        tabs->setCurrentIndex(3);
        QVERIFY(tab->isVisible());
        QCOMPARE(tab->tblLegs->model()->rowCount(), 2);
        // F1 (the main window reads the page's help keyword) opens the page
        // of the tab shown.
        const auto helpPage = [&page] { return HelpPageName(page->property("helpKeyword").toString()); };
        QCOMPARE(helpPage(), QStringLiteral("position-tab.html"));
        tabs->setCurrentIndex(4);
        QCOMPARE(helpPage(), QStringLiteral("smile-tab.html"));
        tabs->setCurrentIndex(0);
        QCOMPARE(helpPage(), QStringLiteral("option-grid.html"));

        const QString file = temp.filePath(QStringLiteral("xyz.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        QVERIFY(QFileInfo::exists(temp.filePath(QStringLiteral("xyz.position.json"))));

        PageSource reopen;
        reopen.openFromFile = true;
        reopen.openFileName = file;
        PageEnvironment environment;
        environment.tempDirectory = environment.dataDirectory = environment.seriesDirectory = temp.path();
        std::unique_ptr<TfrmOPage> again(TfrmOPage::Create(environment, reopen, notifier));
        QVERIFY(again);
        const Position& read = again->findChild<PositionTab*>()->GetPosition();
        QCOMPARE(read.legs.size(), std::size_t{2});
        QCOMPARE(read.legs[1].quantity, -1);

        // A damaged position file: a message and an empty position; the
        // series opens all the same.
        QFile damaged(temp.filePath(QStringLiteral("xyz.position.json")));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("{\"multiplier\": 100, \"legs\": [{\"strike\": ");
        damaged.close();
        notifier.messages.clear();
        std::unique_ptr<TfrmOPage> third(TfrmOPage::Create(environment, reopen, notifier));
        QVERIFY(third);
        QVERIFY(third->findChild<PositionTab*>()->GetPosition().legs.empty());
        QCOMPARE(notifier.messages.size(), std::size_t{1});
        QVERIFY2(notifier.messages[0].find("xyz.position.json") != std::string::npos,
                 notifier.messages[0].c_str());
    }

    void everyDamagedPositionFileIsKept()
    {
        // A series whose position file is damaged twice, each time opened,
        // given a leg with Buy 1 and saved: both damaged files stay.
        const QString file = temp.filePath(QStringLiteral("twice.ops"));
        const QString positionFile = temp.filePath(QStringLiteral("twice.position.json"));
        {
            auto page = QuotedPage('.');
            QVERIFY(page);
            page->SetSeriesFile(file);
            QVERIFY(page->SavePage());
        }
        PageSource reopen;
        reopen.openFromFile = true;
        reopen.openFileName = file;
        PageEnvironment environment;
        environment.tempDirectory = environment.dataDirectory = environment.seriesDirectory = temp.path();
        const QByteArray damage[] = {"{\"legs\": [", "{\"multiplier\": \"a hundred\"}"};
        for (const QByteArray& bytes : damage) {
            QFile damaged(positionFile);
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(bytes);
            damaged.close();
            std::unique_ptr<TfrmOPage> page(TfrmOPage::Create(environment, reopen, notifier));
            QVERIFY(page);
            page->show();
            QApplication::setActiveWindow(page.get());
            QVERIFY(QTest::qWaitForWindowActive(page.get()));
            TImpStrGrid* grid = page->Controls().TheGrid;
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(0, 7));
            QTest::keyClick(grid, Qt::Key_B, Qt::ControlModifier);
            QVERIFY(page->Series().PositionChanged());
            QVERIFY(page->SavePage());
        }
        const auto bytesOf = [](const QString& path) {
            QFile in(path);
            return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
        };
        QCOMPARE(bytesOf(positionFile + QStringLiteral(".damaged")), damage[0]);
        QCOMPARE(bytesOf(positionFile + QStringLiteral(".damaged-2")), damage[1]);
    }

    void smileTabShowsTheExpiryLastShown()
    {
        auto page = QuotedPage('.');
        QVERIFY(page);
        page->show();
        QTabBar* tabs = page->Controls().TabControl1;
        QCOMPARE(tabs->tabText(4), QStringLiteral("Smile"));
        auto* smile = page->findChild<SmileView*>();
        QVERIFY(smile);
        for (const int expiry : {1, 0}) {
            tabs->setCurrentIndex(expiry);
            tabs->setCurrentIndex(3);  // the Position tab between
            tabs->setCurrentIndex(4);
            QVERIFY(smile->isVisible());
            QCOMPARE(smile->Smile().expiry, page->SeriesAt(expiry)->ExpiryDate);
            QCOMPARE(smile->Smile().points.size(), SmilePoints(*page->SeriesAt(expiry)).size());
        }
        QVERIFY2(!smile->Smile().points.empty(), "the quoted first expiry has a smile");
    }

    void exportedCsvHoldsWhatTheGridShows()
    {
        auto page = QuotedPage(',');
        QVERIFY(page);
        const std::string path = temp.filePath(QStringLiteral("grid.csv")).toStdString();
        const std::vector<const TInOutObj*> expiries = page->Series().Expiries();
        WriteGridCsvFile(path, expiries);
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        QCOMPARE(QString::fromStdString(line), QString::fromLatin1(kGridCsvHeader));

        // The first expiry's rows are the shown grid's rows, in its order.
        // CSV column -> grid column; the volatilities are fractions there.
        const int csvToGrid[][2] = {{4, 3}, {5, 5},  {6, 4},   {7, 6},  {8, 7},
                                    {9, 8}, {10, 9}, {11, 10}, {12, 11}};
        TImpStrGrid* grid = page->Controls().TheGrid;
        for (int row = 1; row <= 6; ++row) {
            QVERIFY(std::getline(in, line));
            std::vector<std::string> fields;
            std::istringstream cells(line);
            for (std::string field; std::getline(cells, field, ',');)
                fields.push_back(field);
            QCOMPARE(int(fields.size()), 15);
            QCOMPARE(fields[2], std::string(row <= 3 ? "C" : "P"));
            double labelStrike = 0;
            QVERIFY(TryParseDecimal(grid->CellText(0, row).mid(4).toStdString(), ',', labelStrike));
            QCOMPARE(fields[1], FormatSig9(labelStrike));
            for (const auto& [csv, col] : csvToGrid) {
                float value = 0;
                QVERIFY(TryParseSingle(fields[static_cast<std::size_t>(csv)], '.', value));
                if (col == 4 || col == 6)
                    value *= 100;
                QCOMPARE(QString::fromStdString(FormatSingle(GridFormat(col), value, ',')),
                         grid->CellText(col, row));
            }
        }
        // Then the other two expiries, six rows each.
        int rest = 0;
        while (std::getline(in, line))
            ++rest;
        QCOMPARE(rest, 12);
    }
};

// -------------------------------------------------------------------- smile

class SmileViewTest : public QObject {
    Q_OBJECT

private slots:
    void drawsTheRealQuotesAndFollowsResizes()
    {
        const TInOutObj february = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
        SmileView view{LocaleInfo()};
        view.resize(600, 300);
        view.ShowSmile(february);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage small = view.grab().toImage();
        QCOMPARE(small.size(), QSize(600, 300));
        QVERIFY(CountColour(small, kCallColour) > 200);
        QVERIFY(CountColour(small, kPutColour) > 200);

        // Bigger: drawn again for the new size, not stretched.
        view.resize(900, 450);
        QTRY_COMPARE(view.size(), QSize(900, 450));
        const QImage big = view.grab().toImage();
        QCOMPARE(big.size(), QSize(900, 450));
        const double widthRatio = double(RightmostColumn(big, kCallColour))
                                  / RightmostColumn(small, kCallColour);
        QVERIFY2(widthRatio > 1.4 && widthRatio < 1.6, qPrintable(QString::number(widthRatio)));

        // At 200 % every pixel of the screen is drawn, not every second one.
        QImage sharp(view.size() * 2, QImage::Format_RGB32);
        sharp.setDevicePixelRatio(2);
        view.render(&sharp);
        const QImage scaled = big.scaled(big.size() * 2);
        QVERIFY(FineBlocks(sharp) > 20 * std::max(1, FineBlocks(scaled)));
    }

    void strikesWithoutAVolatilityAreLeftOut()
    {
        // The 1162.5 strike is not in the quote table: no bid, no ask, no
        // volatility. The picture is the one without that strike.
        std::vector<float> strikes = testsupport::SpxStrikes();
        const TInOutObj without = testsupport::SpxExpiry(2, strikes);
        strikes.insert(strikes.begin() + 7, 1162.5f);
        strikes.pop_back();
        strikes.pop_back();
        strikes.push_back(1475);
        const TInOutObj with = testsupport::SpxExpiry(2, strikes);
        QCOMPARE(with.NumStrikes, 20);
        QCOMPARE(with.Bid(8, 1), 0.0f);

        SmileView a{LocaleInfo()};
        SmileView b{LocaleInfo()};
        for (SmileView* view : {&a, &b})
            view->resize(700, 350);
        TInOutObj trimmed = without;
        // The same strikes but for 1162.5, and without the 1450 the other lacks.
        trimmed.Bid(19, 1) = trimmed.Ask(19, 1) = trimmed.Bid(19, 2) = trimmed.Ask(19, 2) = 0;
        RecalcExpiry(trimmed, VolSource::Flat);
        a.ShowSmile(with);
        b.ShowSmile(trimmed);
        QCOMPARE(a.Smile().points.size(), b.Smile().points.size());
        QCOMPARE(a.grab().toImage(), b.grab().toImage());
    }
};

// ----------------------------------------------------------------- position

class PositionTabTest : public QObject {
    Q_OBJECT

    // 91 and 182 days, strikes 90 to 110 by 5, quoted around the model.
    std::vector<TInOutObj> Expiries() const
    {
        std::vector<TInOutObj> expiries;
        for (int days : {91, 182}) {
            TInOutObj p = fixtures::MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, days,
                                               {90, 95, 100, 105, 110});
            RecalcExpiry(p, VolSource::Flat);
            for (int s = 1; s <= p.NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k) {
                    p.Bid(s, k) = std::round(p.Theo(s, k) * 95) / 100;
                    p.Ask(s, k) = std::round(p.Theo(s, k) * 105) / 100;
                }
            expiries.push_back(p);
        }
        return expiries;
    }

    static std::vector<const TInOutObj*> Pointers(const std::vector<TInOutObj>& expiries)
    {
        std::vector<const TInOutObj*> pointers;
        for (const TInOutObj& p : expiries)
            pointers.push_back(&p);
        return pointers;
    }

    static double Shown(const QLabel* label)
    {
        double value = 0;
        const bool read = TryParseDecimal(label->text().toStdString(), ',', value);
        return read ? value : NAN;
    }

    // Selects the cell and types over it, as a user does.
    static void EditCell(QTableView* table, int row, int column, const QString& text)
    {
        table->setFocus();
        table->setCurrentIndex(table->model()->index(row, column));
        QTest::keyClick(table, Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor && editor != table);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The view takes the text once the events of the key have run.
        QTRY_VERIFY(QApplication::focusWidget() == table);
    }

    LocaleInfo comma = LocaleInfo::FromPattern("dd.MM.yyyy", ',');

private slots:
    void legsFromTheGridAndEditsAsAUserMakesThem()
    {
        const std::vector<TInOutObj> expiries = Expiries();
        const auto pointers = Pointers(expiries);
        PositionTab tab(comma);
        // Every change of the legs and the P&L table keeps their models whole.
        const QAbstractItemModelTester legsModel(tab.tblLegs->model(),
                                                 QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QAbstractItemModelTester pnlModel(tab.tblPnl->model(),
                                                QAbstractItemModelTester::FailureReportingMode::QtTest);
        tab.resize(1000, 420);
        tab.ShowExpiries(pointers);
        tab.SetStatusText(QStringLiteral("There is no position file"));
        tab.show();
        tab.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tab));
        QSignalSpy changed(&tab, &PositionTab::positionChanged);

        // Buy 1 twice at the ask: one leg of two. Sell 1 of the later 105 call.
        const TInOutObj& near = expiries[0];
        tab.AddLeg(LegFromGrid(near, 3, 1, 1));
        tab.AddLeg(LegFromGrid(near, 3, 1, 1));
        tab.AddLeg(LegFromGrid(expiries[1], 4, 1, -1));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(tab.tblLegs->model()->rowCount(), 2);
        QCOMPARE(tab.GetPosition().legs[0].quantity, 2);
        QCOMPARE(float(tab.GetPosition().legs[0].price), near.Ask(3, 1));
        QCOMPARE(float(tab.GetPosition().legs[1].price), expiries[1].Bid(4, 1));
        QVERIFY(tab.lblStatus->text().isEmpty());
        const double delta = 2 * near.Delta(3, 1) * 100 - expiries[1].Delta(4, 1) * 100;
        QVERIFY(std::fabs(Shown(tab.lblDelta) - delta) < 0.006);
        QCOMPARE(tab.tblLegs->model()->index(0, 5).data().toString(),
                 QString::fromStdString(FormatSingle("0.#0", near.Theo(3, 1), ',')));

        // A quantity typed over: 2 becomes 3, and the cost follows.
        const double cost = Shown(tab.lblCost);
        EditCell(tab.tblLegs, 0, 3, QStringLiteral("3"));
        QCOMPARE(tab.GetPosition().legs[0].quantity, 3);
        QCOMPARE(changed.count(), 4);
        QVERIFY(std::fabs(Shown(tab.lblCost) - (cost + near.Ask(3, 1) * 100)) < 0.006);

        // A price in the locale's writing; a text that is no quantity is refused.
        EditCell(tab.tblLegs, 1, 4, QStringLiteral("1,25"));
        QCOMPARE(tab.GetPosition().legs[1].price, 1.25);
        EditCell(tab.tblLegs, 1, 3, QStringLiteral("lots"));
        QCOMPARE(tab.GetPosition().legs[1].quantity, -1);
        QCOMPARE(changed.count(), 5);
        QVERIFY(tab.lblStatus->text().contains(QStringLiteral("whole number")));

        // The multiplier typed as 50 halves every figure.
        const double value = Shown(tab.lblValue);
        tab.fseMultiplier->setFocus();
        tab.fseMultiplier->selectAll();
        QTest::keyClicks(tab.fseMultiplier, QStringLiteral("50"));
        QCOMPARE(tab.GetPosition().multiplier, 50.0);
        QVERIFY(std::fabs(Shown(tab.lblValue) - value / 2) < 0.006);

        // The graph opens on the legs, their strikes among its prices.
        const RiskGraph& graph = tab.Graph->Graph();
        for (double strike : {100.0, 105.0})
            QVERIFY(std::count(graph.prices.begin(), graph.prices.end(), strike) == 1);
        QVERIFY(graph.prices.front() < 100 && graph.prices.back() > 105);
        QCOMPARE(tab.lblBreakevens->text(), QString::fromStdString(BreakevenText(graph.breakevens, ',')));

        // Delete removes the selected leg.
        tab.tblLegs->setFocus();
        tab.tblLegs->selectRow(0);
        QTest::keyClick(tab.tblLegs, Qt::Key_Delete);
        QCOMPARE(tab.tblLegs->model()->rowCount(), 1);
        QCOMPARE(tab.GetPosition().legs[0].strike, 105.0f);

        // The P&L table names its own rows and columns and nothing past them.
        const QAbstractItemModel* pnl = tab.tblPnl->model();
        QVERIFY(pnl->rowCount() > pnl->columnCount());
        for (const Qt::Orientation side : {Qt::Horizontal, Qt::Vertical}) {
            const int count = side == Qt::Horizontal ? pnl->columnCount() : pnl->rowCount();
            QVERIFY(pnl->headerData(count - 1, side).isValid());
            QVERIFY(!pnl->headerData(count, side).isValid());
        }
    }

    // Without a leg the graph is a flat line at zero with a note in its
    // middle; the line stops short of the note instead of striking it
    // through.
    void noLegNoteStandsClearOfTheZeroLine()
    {
        const std::vector<TInOutObj> expiries = Expiries();
        PositionTab tab(comma);
        tab.resize(900, 400);
        tab.ShowExpiries(Pointers(expiries));
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        const QImage picture = tab.Graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The zero line, and the flat curves over it, in white.
        const auto onLine = [&picture](int x, int y) {
            const QColor colour = picture.pixelColor(x, y);
            return colour.red() > 200 && colour.green() > 200 && colour.blue() > 200;
        };
        int lineRow = -1;
        int mostOnARow = 0;
        for (int y = 0; y < picture.height(); ++y) {
            int count = 0;
            for (int x = 0; x < picture.width(); ++x)
                count += onLine(x, y);
            if (count > mostOnARow) {
                mostOnARow = count;
                lineRow = y;
            }
        }
        QVERIFY(mostOnARow > 40);
        int first = picture.width();
        int last = -1;
        int widestGap = 0;
        int gap = 0;
        for (int x = 0; x < picture.width(); ++x) {
            if (onLine(x, lineRow)) {
                first = std::min(first, x);
                last = x;
                widestGap = std::max(widestGap, gap);
                gap = 0;
            } else if (first < picture.width()) {
                ++gap;
            }
        }
        const int note = tab.Graph->fontMetrics().horizontalAdvance(
            QStringLiteral("The position has no leg in this series."));
        QVERIFY2(widestGap >= note / 2 && last > first + note,
                 qPrintable(QStringLiteral("gap %1, note %2").arg(widestGap).arg(note)));
    }

    void positionThatDoesNotFitTheSeries()
    {
        const std::vector<TInOutObj> expiries = Expiries();
        PositionTab tab(comma);
        Position position;
        position.multiplier = 10;
        PositionLeg stray = LegFromGrid(expiries[0], 2, 2, 1);
        stray.strike = 96;
        position.legs = {LegFromGrid(expiries[0], 2, 2, 1), stray};
        QSignalSpy changed(&tab, &PositionTab::positionChanged);
        tab.SetPosition(position);
        tab.ShowExpiries(Pointers(expiries));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tab.fseMultiplier->Value(), 10.0);
        QVERIFY2(tab.lblStatus->text().contains(QStringLiteral("Leg 2")), qPrintable(tab.lblStatus->text()));
        QCOMPARE(tab.tblLegs->model()->index(1, 5).data().toString(), QStringLiteral("-"));
        QVERIFY(std::fabs(Shown(tab.lblCost) - expiries[0].Ask(2, 2) * 10) < 0.006);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return testsupport::RunQtTests<GridCopyTest, SmileViewTest, PositionTabTest>(argc, argv);
}

#include "beyondgrid_test.moc"
