// Quotes in the option page, driven through the page's own widgets on the
// offscreen platform: the contract list from the quote file, each expiry
// taking only its own rows, the caption, the underlying box and the
// valuation date after a load, and the files that go wrong.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include <memory>
#include <string>

#include "common/localeparse.h"
#include "controls/rmSpin.h"
#include "marketdata/OptPriceReader.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"
#include "support/recording_notifier.h"

using namespace kestrava;

namespace {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;
using PagePtr = std::unique_ptr<TfrmOPage>;

const QByteArray kHead =
    "SPX (S&P 500 INDEX),1290.50,+7.24,\r\n"
    "Jan 24 2011 @ 14:03 ET,\r\n"
    "Calls,Last Sale,Net,Bid,Ask,Vol,Open Int,Puts,Last Sale,Net,Bid,Ask,Vol,Open Int,\r\n";

// A row whose call last is `last` and whose other prices follow from it;
// day is the expiry's day of month, month the code letter month.
QByteArray Row(const char* yearMonth, int strike, const char* root, const char* day, char callLetter,
               char putLetter, const char* suffix, double last)
{
    const QByteArray code = QByteArray(root) + "11" + day;
    const QByteArray price = QByteArray::number(strike) + ".00";
    const auto money = [](double value) { return QByteArray::number(value, 'f', 2); };
    return QByteArray(yearMonth) + " " + price + " (" + code + callLetter + QByteArray::number(strike)
           + suffix + ")," + money(last) + ",+0.10," + money(last - 0.5) + "," + money(last + 0.5) + ",0,0,"
           + yearMonth + " " + price + " (" + code + putLetter + QByteArray::number(strike) + suffix + "),"
           + money(last / 10) + ",-0.20," + money(last / 10 - 0.1) + "," + money(last / 10 + 0.1)
           + ",0,0,\r\n";
}

// March (19th) and June (18th) 2011 rows of SPX, its -E copies at other
// prices, a March weekly under the same root (11th) and the weekly root SPXW.
QByteArray MarchAndJuneTable()
{
    QByteArray table = kHead;
    for (int strike : {1250, 1275, 1300}) {
        table += Row("11 Mar", strike, "SPX", "11", 'C', 'O', "", 900 + strike / 25);
        table += Row("11 Mar", strike, "SPX", "19", 'C', 'O', "", 100 + strike / 25);
        table += Row("11 Mar", strike, "SPX", "19", 'C', 'O', "-E", 200 + strike / 25);
        table += Row("11 Mar", strike, "SPXW", "25", 'C', 'O', "", 800 + strike / 25);
    }
    for (int strike : {1250, 1275, 1300}) {
        table += Row("11 Jun", strike, "SPX", "18", 'F', 'R', "", 300 + strike / 25);
        table += Row("11 Jun", strike, "SPX", "18", 'F', 'R', "-E", 400 + strike / 25);
    }
    return table;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TDateTime Day(int year, int month, int day)
{
    return EncodeDate(year, month, day);
}

}  // namespace

class PageQuotesTest : public QObject {
    Q_OBJECT

private:
    RecordingNotifier notifier;
    std::unique_ptr<QTemporaryDir> data;

    PagePtr Build(const QString& symbol, int kind, std::initializer_list<QDate> expiries, int strikes,
                  const QString& first, const QString& step, const QString& contract = QString(),
                  char decimalSeparator = '.')
    {
        PageEnvironment environment;
        environment.dataDirectory = data->path();
        environment.tempDirectory = data->path();
        environment.locale = LocaleInfo::FromPattern("dd.MM.yyyy", decimalSeparator);
        PageSource source;
        SeriesSetup& setup = source.setup;
        setup.numExpiries = static_cast<int>(expiries.size());
        std::copy(expiries.begin(), expiries.end(), setup.expiryDates.begin());
        setup.numStrikes = QString::number(strikes);
        setup.firstStrike = first;
        setup.strikeIncrement = step;
        setup.optionSymbol = setup.symbolText = symbol;
        setup.contractType = kind;
        setup.model = kBlackScholes;
        setup.contractRoot = contract;
        return PagePtr(TfrmOPage::Create(environment, source, notifier));
    }

    PagePtr BuildSpx(const QString& contract = QString(), char decimalSeparator = '.')
    {
        return Build(QStringLiteral("SPX"), kIndex, {QDate(2011, 3, 19), QDate(2011, 6, 18)}, 3,
                     QStringLiteral("1250"), QStringLiteral("25"), contract, decimalSeparator);
    }

    QString QuoteFile(const QString& symbol = QStringLiteral("SPX")) const
    {
        return data->filePath(symbol + QStringLiteral(".txt"));
    }

    // The user picks a contract from the list with the keyboard.
    static void Choose(TfrmOPage* page, const QString& contract)
    {
        QComboBox* list = page->InputBar().cmboOptSymbols;
        const int target = list->findText(contract);
        QVERIFY(target >= 0);
        list->setFocus();
        while (list->currentIndex() != target)
            QTest::keyClick(list, list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }

private slots:
    void init()
    {
        data = std::make_unique<QTemporaryDir>();
        notifier.messages.clear();
        notifier.infos.clear();
    }

    void eachExpiryTakesItsOwnRowsOfTheChosenContract()
    {
        WriteFile(QuoteFile(), MarchAndJuneTable());
        PagePtr page = BuildSpx();
        QVERIFY(page);
        QVERIFY(notifier.messages.empty());
        QComboBox* list = page->InputBar().cmboOptSymbols;
        QVERIFY(!list->isHidden());
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(0), QStringLiteral("SPX"));
        QCOMPARE(list->itemText(1), QStringLiteral("SPX-E"));
        QCOMPARE(list->itemText(2), QStringLiteral("SPXW"));
        QCOMPARE(list->currentText(), QStringLiteral("SPX"));

        // Strike s has the prices 100 + s (March) and 300 + s (June) of the
        // plain root; the weekly of the 11th and the -E copies stay out.
        const auto check = [&](double march, double june, const char* contract) {
            for (int tab = 0; tab < 2; ++tab) {
                const TInOutObj* p = page->SeriesAt(tab);
                QVERIFY(p);
                QCOMPARE(QString::fromStdString(p->OptContract), QLatin1String(contract));
                for (int s = 1; s <= 3; ++s) {
                    const double last = (tab == 0 ? march : june) + 49 + s;
                    QCOMPARE(p->Last(s, 1), static_cast<float>(last));
                    QCOMPARE(p->Bid(s, 1), static_cast<float>(last - 0.5));
                    QCOMPARE(p->Ask(s, 2), static_cast<float>(last / 10 + 0.1));
                    QCOMPARE(p->NetChange(s, 2), -0.2f);
                }
            }
        };
        check(100, 300, "SPX");
        QCOMPARE(page->SeriesAt(0)->OptCode(1, 1), std::string("\rSPX C"));
        QCOMPARE(page->SeriesAt(1)->OptCode(3, 2), std::string("\rSPX R"));
        // The grid shows the code below the strike, and the bids as loaded.
        QCOMPARE(page->Controls().TheGrid->CellText(0, 1), QStringLiteral(" C  1250   \rSPX C"));
        QCOMPARE(page->Controls().TheGrid->CellText(3, 1), QStringLiteral("149.50 "));

        Choose(page.get(), QStringLiteral("SPX-E"));
        check(200, 400, "SPX-E");
        QCOMPARE(page->SeriesAt(0)->OptCode(2, 1), std::string("\rSPX C"));
        QVERIFY(notifier.messages.empty());

        // The rows taller by their codes fill the grid: the page grew to
        // them, and no further.
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        int rows = 0;
        for (int r = 0; r < page->Controls().TheGrid->RowCount(); ++r)
            rows += page->Controls().TheGrid->RowHeight(r);
        const int grid = page->Controls().TheGrid->height() - 2 * page->Controls().TheGrid->frameWidth();
        QVERIFY2(std::abs(grid - rows) <= page->Controls().TheGrid->RowCount(),
                 qPrintable(QStringLiteral("rows %1, grid %2").arg(rows).arg(grid)));
    }

    void captionUnderlyingAndValuationDateFollowTheQuotes_data()
    {
        QTest::addColumn<char>("separator");
        QTest::newRow("decimal point") << '.';
        QTest::newRow("decimal comma") << ',';
    }
    void captionUnderlyingAndValuationDateFollowTheQuotes()
    {
        QFETCH(char, separator);
        WriteFile(QuoteFile(), MarchAndJuneTable());
        PagePtr page = BuildSpx(QString(), separator);
        QVERIFY(page);
        const QString price = separator == '.' ? QStringLiteral("1290.50") : QStringLiteral("1290,50");
        QCOMPARE(page->windowTitle(), QStringLiteral("SPX  %1  +7.24  Jan 24 2011 @ 14:03 ET").arg(price));
        // The valuation date is the quote date, in every expiry.
        QCOMPARE(page->Series().Today(), Day(2011, 1, 24));
        QCOMPARE(page->SeriesAt(1)->TodayDate, Day(2011, 1, 24));
        QCOMPARE(page->InputBar().lblToday->text(), QStringLiteral("Today: 24.01.2011"));
        QCOMPARE(page->SeriesAt(0)->DaysToExpiry(), 54);
        QCOMPARE(page->SeriesAt(1)->Underlying, 1290.5f);

        // A load by the user's choice writes the box as "####.##".
        Choose(page.get(), QStringLiteral("SPX-E"));
        QCOMPARE(page->InputBar().fseUlying->text(),
                 separator == '.' ? QStringLiteral("1290.5") : QStringLiteral("1290,5"));
        QCOMPARE(page->SeriesAt(0)->Underlying, 1290.5f);
    }

    void aFileGoneBetweenListAndLoadChangesNothing()
    {
        WriteFile(QuoteFile(), MarchAndJuneTable());
        PagePtr page = BuildSpx();
        QVERIFY(page);
        const QString caption = page->windowTitle();
        QVERIFY(QFile::remove(QuoteFile()));
        Choose(page.get(), QStringLiteral("SPX-E"));
        // The contract is not taken, the quotes stay, the page calculates.
        QCOMPARE(page->SeriesAt(0)->OptContract, std::string("SPX"));
        QCOMPARE(page->SeriesAt(0)->Last(1, 1), 150.0f);
        QVERIFY(page->SeriesAt(0)->Theo(1, 1) > 0);
        QCOMPARE(page->windowTitle(), caption);
        // After a download without a new file the list keeps its entries.
        page->RefreshAfterDownload();
        QCOMPARE(page->InputBar().cmboOptSymbols->count(), 3);
        QVERIFY(!page->InputBar().cmboOptSymbols->isHidden());
        QVERIFY(notifier.messages.empty());
        // One that brings the file again fills the list afresh, each contract once.
        WriteFile(QuoteFile(), MarchAndJuneTable());
        page->RefreshAfterDownload();
        QCOMPARE(page->InputBar().cmboOptSymbols->count(), 3);
    }

    void aSavedContractNoLongerOfferedLoadsNothing()
    {
        WriteFile(QuoteFile(), MarchAndJuneTable());
        PagePtr page = BuildSpx(QStringLiteral("spxq"));
        QVERIFY(page);
        QCOMPARE(page->InputBar().cmboOptSymbols->currentIndex(), -1);
        QCOMPARE(page->SeriesAt(0)->Last(1, 1), 0.0f);
        QCOMPARE(page->SeriesAt(0)->OptContract, std::string("spxq"));
        QCOMPARE(page->windowTitle(), QStringLiteral("SPX"));
        QVERIFY(notifier.messages.empty());
        // A saved contract is found again whatever its case.
        PagePtr again = BuildSpx(QStringLiteral("spx-e"));
        QCOMPARE(again->InputBar().cmboOptSymbols->currentText(), QStringLiteral("SPX-E"));
        QCOMPARE(again->SeriesAt(1)->Last(1, 1), 450.0f);
    }

    void delayedQuotesCsvLoadsItsShortestRootAndSaysItsLayout()
    {
        QVERIFY(
            QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2022-06-11.csv"), QuoteFile()));
        PagePtr page = Build(QStringLiteral("SPX"), kIndex, {QDate(2022, 6, 10), QDate(2022, 6, 17)}, 3,
                             QStringLiteral("3850"), QStringLiteral("50"));
        QVERIFY(page);
        QComboBox* list = page->InputBar().cmboOptSymbols;
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentText(), QStringLiteral("SPX"));
        QVERIFY(list->toolTip().contains(QStringLiteral("layout: delayed-quotes CSV")));
        QVERIFY2(page->windowTitle().endsWith(
                     QStringLiteral("-116.9599  June 11, 2022, 8:47 PM EDT  (layout: delayed-quotes CSV)")),
                 qPrintable(page->windowTitle()));
        QCOMPARE(page->Series().Today(), Day(2022, 6, 11));
        QCOMPARE(page->SeriesAt(1)->Underlying, 3900.86f);
        // SPX has no series on the 10th: nothing there was left out.
        QVERIFY(notifier.messages.empty());

        // The file's own fields of a row, found here by its code.
        QFile file(QuoteFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        const auto fields = [&](const QByteArray& code) {
            for (const QByteArray& line : lines)
                if (line.contains("," + code + ","))
                    return line.split(',');
            return QList<QByteArray>();
        };
        for (const char* root : {"SPX", "SPXW"}) {
            if (QByteArray(root) == "SPXW")
                Choose(page.get(), QStringLiteral("SPXW"));
            const TInOutObj* june17 = page->SeriesAt(1);
            for (int s = 1; s <= 3; ++s) {
                const QByteArray code = QByteArray(root) + "220617C0" + QByteArray::number(3800 + 50 * s)
                                        + "000";
                const QList<QByteArray> row = fields(code);
                QCOMPARE(row.size(), 22);
                QCOMPARE(june17->Bid(s, 1), row[4].toFloat());
                QCOMPARE(june17->Ask(s, 2), row[16].toFloat());
                QCOMPARE(june17->OptCode(s, 1), "\r" + code.toStdString());
            }
        }
        // SPXW's series of the 10th came before the quote date: left out, said once.
        QCOMPARE(page->SeriesAt(0)->Bid(2, 1), 0.0f);
        QCOMPARE(notifier.messages, std::vector<std::string>{"1 expiry before the quote date was left out."});
    }

    void unusableFilesAreSetAsideAndBadRowsStopTheLoad()
    {
        // An error page: reported, moved into "Rejected", no contract list.
        WriteFile(QuoteFile(), "<html><body>Try again</body></html>\r\n");
        PagePtr page = BuildSpx();
        QVERIFY(page);
        const QString rejected = data->filePath(QStringLiteral("Rejected/SPX.txt"));
        QCOMPARE(notifier.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(notifier.messages[0]),
                 QStringLiteral("No option prices available. The file was moved to %1.").arg(rejected));
        QVERIFY(QFileInfo::exists(rejected));
        QVERIFY(page->InputBar().cmboOptSymbols->isHidden());

        // A bad number in a June row: March is loaded, June not, and the
        // reader's message is followed by the page's.
        notifier.messages.clear();
        QByteArray table = MarchAndJuneTable();
        table.replace("11 Jun 1250.00 (SPX1118F1250),350.00", "11 Jun 1250.00 (SPX1118F1250),3x0.00");
        WriteFile(QuoteFile(), table);
        PagePtr broken = BuildSpx();
        QVERIFY(broken);
        QCOMPARE(notifier.messages.size(), std::size_t{2});
        QCOMPARE(notifier.messages[1], std::string("No CBOE option data available."));
        QCOMPARE(broken->SeriesAt(0)->Last(1, 1), 150.0f);
        QCOMPARE(broken->SeriesAt(1)->Last(1, 1), 0.0f);

        // A bid above its ask in March and in June: both quotes read zero,
        // and the load says so once, counting both.
        notifier.messages.clear();
        table = MarchAndJuneTable();
        table.replace("(SPX1119C1250),150.00,+0.10,149.50,", "(SPX1119C1250),150.00,+0.10,151.50,");
        table.replace("(SPX1118F1250),350.00,+0.10,349.50,", "(SPX1118F1250),350.00,+0.10,351.50,");
        WriteFile(QuoteFile(), table);
        PagePtr doubtful = BuildSpx();
        QVERIFY(doubtful);
        QCOMPARE(notifier.messages.size(), std::size_t{1});
        QCOMPARE(notifier.messages[0], SetAsideMessage(2, QuoteFile().toStdString()));
        QCOMPARE(doubtful->SeriesAt(0)->Bid(1, 1), 0.0f);
        QCOMPARE(doubtful->SeriesAt(1)->Bid(1, 1), 0.0f);
        QCOMPARE(doubtful->SeriesAt(1)->Bid(2, 1), 350.5f);
    }

    void realQuoteTablesLoadIntoPages()
    {
        // SPX of 24 January 2011: every row an -E copy; the February monthly
        // is coded on Saturday the 19th.
        QVERIFY(
            QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"), QuoteFile()));
        PagePtr spx = Build(QStringLiteral("SPX"), kIndex, {QDate(2011, 2, 19)}, 3, QStringLiteral("1000"),
                            QStringLiteral("50"));
        QVERIFY(spx);
        QCOMPARE(spx->InputBar().cmboOptSymbols->currentText(), QStringLiteral("SPX-E"));
        const TInOutObj* p = spx->SeriesAt(0);
        QCOMPARE(p->Last(1, 1), 288.2f);
        QCOMPARE(p->Ask(2, 1), 241.9f);
        QCOMPARE(p->NetChange(2, 1), 6.05f);
        QCOMPARE(p->Bid(2, 2), 0.7f);
        QCOMPARE(spx->windowTitle(), QStringLiteral("SPX  1290.59  +7.24  Jan 24 2011 @ 14:03 ET"));

        // AAPL of 4 November 2016: the plain root among a dozen exchange
        // copies, blanks for bids, the series that expires on the quote day.
        QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-aapl-2016-11-04.dat"),
                            QuoteFile(QStringLiteral("AAPL"))));
        PagePtr aapl = Build(QStringLiteral("AAPL"), kEquity, {QDate(2016, 11, 4), QDate(2016, 11, 18)}, 5,
                             QStringLiteral("100"), QStringLiteral("1"));
        QVERIFY(aapl);
        QCOMPARE(aapl->InputBar().cmboOptSymbols->currentText(), QStringLiteral("AAPL"));
        QVERIFY(aapl->InputBar().cmboOptSymbols->findText(QStringLiteral("AAPL-E")) > 0);
        const TInOutObj* today = aapl->SeriesAt(0);
        QCOMPARE(today->Last(1, 1), 9.8f);
        QCOMPARE(today->Bid(1, 1), 9.7f);
        QCOMPARE(today->NetChange(2, 1), 0.0f);  // "0.0" is three characters: zero
        QCOMPARE(today->Last(3, 1), 7.56f);
        QCOMPARE(today->DaysToExpiry(), 0);
        QCOMPARE(aapl->Series().Today(), Day(2016, 11, 4));
        QVERIFY(aapl->SeriesAt(1)->Last(1, 1) > 0);
        QVERIFY(notifier.messages.empty());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PageQuotesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "pagequotes_test.moc"
