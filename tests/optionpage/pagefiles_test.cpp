// The option page's series files and layout through its real widgets on the
// offscreen platform: saving and reopening, converting the price file,
// unusable and damaged input, labels, the grid's columns and the page's
// place; and the two-tone grid alone.

#include "pagetest_support.h"
#include "support/qt_test_main.h"

using namespace kestrava;
using namespace kestrava::pagetest;

class PageFilesTest : public PageTestBase {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(temp.isValid()); }
    void init() { notifier.messages.clear(); }

    void zeroStrikeFromAFileLeavesItsRowsBlank()
    {
        // A damaged or hand-made file with a strike of 0: the page shows the
        // other strikes priced and names the bad one once.
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5")));
        QVERIFY(page);
        for (int e = 0; e < static_cast<int>(page->Series().size()); ++e)
            page->SeriesAt(e)->Strike(2, 1) = page->SeriesAt(e)->Strike(2, 2) = 0;
        const QString file = temp.filePath(QStringLiteral("zero-strike.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        notifier = RecordingNotifier();

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(notifier.infos.size(), std::size_t{1});
        QCOMPARE(notifier.infos[0],
                 std::string("Strike 2 (0) cannot be priced: a strike price must be above 0. "
                             "Its rows are left blank."));
        TImpStrGrid* grid = reopened->Controls().TheGrid;
        for (const int row : {1, 3, 4, 6})
            QVERIFY2(!grid->CellText(7, row).trimmed().isEmpty(), qPrintable(QString::number(row)));
        for (const int row : {2, 5})
            for (int column = 7; column < 14; ++column)
                QVERIFY2(grid->CellText(column, row).trimmed().isEmpty(),
                         qPrintable(QString::number(column)));
    }

    void savedPageReopensTheSame()
    {
        SeriesSetup setup = Setup(4, QStringLiteral("97.5"), QStringLiteral("2.5"), 3);
        setup.dividendAmount = QStringLiteral("0.75");
        setup.dividendDate = InDays(45);
        setup.contractRoot = QStringLiteral("XYZ-E");
        PagePtr page = Build(setup);
        QVERIFY(page);
        page->InputBar().seSteps->SetValue(350);
        page->SeriesAt(0)->Last(2, 1) = 3.25f;
        page->SeriesAt(1)->NetChange(3, 2) = -0.5f;
        page->InputBar().cmdReCalc->click();
        const QString file = temp.filePath(QStringLiteral("saved.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(reopened->Names().seriesFile, file);
        QCOMPARE(reopened->Series().size(), std::size_t{3});
        QCOMPARE(reopened->Series().Today(), page->Series().Today());
        QCOMPARE(reopened->Names().title, QStringLiteral("XYZ"));
        for (int i = 0; i < 3; ++i) {
            const TInOutObj& a = *page->SeriesAt(i);
            const TInOutObj& b = *reopened->SeriesAt(i);
            QCOMPARE(reopened->Controls().TabControl1->tabText(i), page->Controls().TabControl1->tabText(i));
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
        QCOMPARE(reopened->Controls().TheGrid->CellText(0, 2), QStringLiteral(" C  100.00 "));
        QCOMPARE(reopened->Controls().TheGrid->CellText(2, 2), QStringLiteral("3.25 "));
        QVERIFY(reopened->InputBar().seSteps->isVisibleTo(reopened.get()));
        QCOMPARE(reopened->InputBar().seSteps->text(), QStringLiteral("350"));
        QVERIFY(reopened->InputBar().lblCntrMdl->text().endsWith(QStringLiteral("Binomial")));
        QVERIFY(reopened->InputBar().lblDiv->text().startsWith(QStringLiteral("$ Div:  0.75 on ")));
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
        for (int i = 0; i < static_cast<int>(page->Series().size()); ++i) {
            page->SeriesAt(i)->SourceFile = prices.toStdString();
            page->SeriesAt(i)->SigmaDays = 60;
        }
        const QString file = temp.filePath(QStringLiteral("withprices.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());

        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QTabBar* tabs = reopened->Controls().TabControl1;
        if (readable) {
            QCOMPARE(tabs->count(), 6);
            QCOMPARE(tabs->tabText(5), QStringLiteral("Chart"));
            QVERIFY(QFileInfo::exists(reopened->Names().priceWorkFile));
            QVERIFY(reopened->Controls().ChartImage);
            QVERIFY(reopened->InputBar().cmdCalcSig->isVisibleTo(reopened.get()));
            // The history button ran over the saved window, which the box shows.
            QCOMPARE(reopened->SeriesAt(0)->SigmaDays, 60);
            QCOMPARE(reopened->InputBar().seSigDays->text(), QStringLiteral("60"));
            QCOMPARE(reopened->Series().Today(), EncodeDate(2008, 10, 29));
            QVERIFY(notifier.messages.empty());
        } else {
            // The page stands without its chart and history button.
            QCOMPARE(tabs->count(), 5);
            QVERIFY(!reopened->Controls().ChartImage);
            QVERIFY(reopened->Names().priceWorkFile.isEmpty());
            QVERIFY(!reopened->InputBar().cmdCalcSig->isVisibleTo(reopened.get()));
            QVERIFY(!notifier.messages.empty());
            QCOMPARE(notifier.messages.back(), std::string("Dang! Can't digest source data from junk.csv"));
            QVERIFY(!reopened->Controls().TheGrid->CellText(7, 1).isEmpty());
        }
    }

    void tabsWithoutAnExpiryTakeNoInput()
    {
        PagePtr page = BuildFromPriceFile();
        QVERIFY(page);
        page->show();
        const float rate = page->SeriesAt(2)->Rate;
        const float sigma = page->SeriesAt(2)->Sigma;
        const TDateTime today = page->Series().Today();
        // Position, Smile and Chart.
        for (const int tab : {3, 4, 5}) {
            page->Controls().TabControl1->setCurrentIndex(tab);
            QVERIFY(!page->Controls().TheGrid->isVisible());
            page->InputBar().fseRate->SetValue(7.5 + tab);
            page->InputBar().fseSigma->SetValue(55.0 + tab);
            page->InputBar().seExpDays->SetValue(3 + tab);
        }
        QVERIFY(page->Controls().ChartImage->isVisible());
        QVERIFY(!page->Controls().ChartImage->pixmap().isNull());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(page->SeriesAt(i)->Rate < 0.07f);
            QVERIFY(page->SeriesAt(i)->Sigma < 0.5f);
        }
        QCOMPARE(page->SeriesAt(2)->Rate, rate);
        QCOMPARE(page->SeriesAt(2)->Sigma, sigma);
        QCOMPARE(page->Series().Today(), today);
        // Back on an expiry, the boxes show that expiry again.
        page->Controls().TabControl1->setCurrentIndex(2);
        QVERIFY(page->Controls().TheGrid->isVisible());
        QCOMPARE(page->InputBar().fseRate->text(), QString::number(rate * 100.0, 'f', 2));
    }

    void unusableInputBuildsNoPage_data()
    {
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<QString>("firstStrike");
        QTest::addColumn<int>("expiries");
        QTest::addColumn<QString>("message");  // what it begins with
        const QString none = QStringLiteral("There is no option series in bad.ops.");
        QTest::newRow("empty series file")
            << QByteArray("") << QString() << 0 << none + QStringLiteral(" Stream read error");
        QTest::newRow("series file of text") << QByteArray("hello, world\n") << QString() << 0
                                             << none + QStringLiteral(" Invalid property value");
        QTest::newRow("list without expiries") << QByteArray("\x01\x00", 2) << QString() << 0 << none;
        QTest::newRow("no series file")
            << QByteArray() << QString() << 0
            << QStringLiteral("There is no option series in gone.ops. Cannot open file");
        QTest::newRow("first strike not a number")
            << QByteArray() << QStringLiteral("1OO") << 3 << "Lowest Strike: '1OO' is not a number.";
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
        QCOMPARE(reopened->Series().size(), std::size_t{1});
        QCOMPARE(reopened->Controls().TabControl1->count(), 3);
        QCOMPARE(reopened->Controls().TabControl1->tabText(0), page->Controls().TabControl1->tabText(0));
        QCOMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(notifier.messages.front(), std::string("Trouble reading saved Option Grid."));
        QVERIFY(!reopened->Controls().TheGrid->CellText(7, 1).isEmpty());
    }

    void seriesWithoutPriceFileStartsTodayAtTwentyFivePercent()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("42.5"), QStringLiteral("2.5")));
        QVERIFY(page);
        page->show();
        QCOMPARE(page->Controls().TabControl1->count(), 5);
        QVERIFY(!page->Controls().ChartImage);
        QVERIFY(page->Names().priceTextFile.isEmpty());
        QVERIFY(page->Names().priceWorkFile.isEmpty());
        QVERIFY(!page->InputBar().cmdCalcSig->isVisible());
        QVERIFY(!page->InputBar().seSigDays->isVisible());
        QVERIFY(!page->InputBar().lblSigDays->isVisible());
        const TDateTime today = SystemToday();
        QCOMPARE(page->Series().Today(), today);
        QCOMPARE(page->InputBar().lblToday->text(),
                 QStringLiteral("Today: ") + QString::fromStdString(FormatLocaleDate(today, LocaleInfo())));
        QCOMPARE(page->InputBar().fseSigma->text(), QStringLiteral("25.00"));
        QCOMPARE(page->InputBar().fseUlying->text(), QStringLiteral("42.50"));
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("30"));
        for (const TInOutObj* p : page->Series().Expiries()) {
            QCOMPARE(p->Sigma, 0.25f);
            QCOMPARE(p->Underlying, 42.5f);
            QCOMPARE(p->TodayDate, today);
            QCOMPARE(p->PriceDate, today);
            QVERIFY(p->SourceFile.empty());
        }
        // Calculated at once: the first call is priced.
        QVERIFY(!page->Controls().TheGrid->CellText(7, 1).isEmpty());
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
        QTest::newRow("equity with dividend") << int(kEquity) << 1 << "0.75"
                                              << ""
                                              << "Equity: Black-Scholes"
                                              << "$ Div:  0.75 on ";
        QTest::newRow("equity without") << int(kEquity) << 2 << ""
                                        << ""
                                        << "Equity: Black"
                                        << "$ Div: None";
        QTest::newRow("index with yield") << int(kIndex) << 4 << ""
                                          << "2.1"
                                          << "Index: Whaley"
                                          << "Div Yield: 2.10%";
        QTest::newRow("index without") << int(kIndex) << 3 << ""
                                       << ""
                                       << "Index: Binomial"
                                       << "Div Yield: None";
        QTest::newRow("future") << int(kFuture) << 2 << ""
                                << ""
                                << "Future: Black"
                                << "";
        QTest::newRow("currency with rate") << int(kCurrency) << 1 << ""
                                            << "3.5"
                                            << "Currency: Black-Scholes"
                                            << "Foreign RF Rate: 3.50";
        QTest::newRow("currency without") << int(kCurrency) << 1 << ""
                                          << ""
                                          << "Currency: Black-Scholes"
                                          << "Foreign RF Rate: ???";
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
        QCOMPARE(page->InputBar().lblCntrMdl->text(), kind);
        QCOMPARE(page->InputBar().lblDiv->isVisible(), !dividend.isEmpty());
        if (!dividend.isEmpty())
            QVERIFY2(page->InputBar().lblDiv->text().startsWith(dividend),
                     qPrintable(page->InputBar().lblDiv->text()));
        QCOMPARE(page->InputBar().seSteps->isVisible(), model == kBinomial);
        QCOMPARE(page->InputBar().lblSteps->isVisible(), model == kBinomial);
        if (contract != kEquity || amount.isEmpty())
            return;
        // A dividend paid after an expiry shows in grey on that expiry's tab,
        // and in the usual colour on the tab of an expiry it comes before.
        const QColor normal = page->palette().color(QPalette::WindowText);
        QCOMPARE(page->InputBar().lblDiv->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
        page->Controls().TabControl1->setCurrentIndex(1);
        QCOMPARE(page->InputBar().lblDiv->palette().color(QPalette::WindowText), normal);
        QVERIFY(page->InputBar().lblDiv->text().startsWith(dividend));
        QCOMPARE(page->InputBar().lblCntrMdl->text(), kind);
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
        QCOMPARE(page->Controls().TabControl1->count(), 0);
        QCOMPARE(page->Series().size(), std::size_t{0});
        QVERIFY(page->SavePage());
        QCOMPARE(QFileInfo(file).size(), size);
        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        QCOMPARE(reopened->Series().size(), std::size_t{3});
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
        QCOMPARE(first->Names().priceWorkFile, work);

        // The setup dialog in edit mode hands the old page's work file on;
        // the old page closes once the new one stands.
        setup.workFilePath = first->Names().priceWorkFile;
        setup.numStrikes = QStringLiteral("4");
        PagePtr second = Build(setup);
        QVERIFY(second);
        first->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(QFileInfo::exists(work));
        QVERIFY(QFileInfo::exists(text));

        QVERIFY(second->Controls().ChartImage);
        QVERIFY(!second->Controls().ChartImage->pixmap().isNull());
        TSigmaObj expected(notifier);
        expected.FileName = work.toStdString();
        expected.Days = 90;
        expected.Calculate();
        QCOMPARE(second->Series().Today(), EncodeDate(2009, 3, 25));
        QCOMPARE(second->SeriesAt(2)->Sigma, expected.Sigma);
        QCOMPARE(second->SeriesAt(2)->SigmaDays, 90);
        // Every expiry is priced at the underlying price the box shows.
        for (const TInOutObj* p : second->Series().Expiries())
            QCOMPARE(p->Underlying, static_cast<float>(second->InputBar().fseUlying->Value()));
        second->InputBar().cmdCalcSig->click();
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
        for (int i = 0; i < static_cast<int>(page->Series().size()); ++i) {
            page->SeriesAt(i)->Steps = saved;
            page->SeriesAt(i)->SigmaDays = 60;
        }
        const QString file = temp.filePath(QStringLiteral("steps.ops"));
        page->SetSeriesFile(file);
        QVERIFY(page->SavePage());
        PagePtr reopened = Open(file);
        QVERIFY(reopened);
        // The page prices with the steps its box shows.
        QCOMPARE(reopened->InputBar().seSteps->text(), QString::number(used));
        for (const TInOutObj* p : reopened->Series().Expiries())
            QCOMPARE(p->Steps, used);
    }

    void onlyBidAndAskCellsTakeTyping()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        TImpStrGrid* grid = page->Controls().TheGrid;
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
        TImpStrGrid* grid = page->Controls().TheGrid;
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
            for (int c = 0; c < page->Controls().TheGrid->ColCount(); ++c)
                sum += page->Controls().TheGrid->ColWidth(c);
            return sum;
        };
        // The last column ends at the grid's right edge: no strip of
        // background beside it, and no column cut off.
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        QTRY_COMPARE(columnsWidth(), page->Controls().TheGrid->viewport()->width());
        page->resize(page->width() + 37, page->height());
        QTRY_COMPARE(columnsWidth(), page->Controls().TheGrid->viewport()->width());
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
            QVERIFY(page->Controls().TheGrid->ColWidth(c)
                    >= page->Controls().TheGrid->FixedTextWidth(page->Controls().TheGrid->CellText(c, 0)));
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
        // A larger fixed font grows the rows of two lines again.
        QFont larger = grid.FixedFont();
        larger.setPointSizeF(larger.pointSizeF() * 2);
        grid.SetFixedFont(larger);
        QCOMPARE(grid.FixedFont(), larger);
        QVERIFY(grid.RowHeight(0) >= 2 * QFontMetrics(larger).lineSpacing() + 1);
        QVERIFY(grid.RowHeight(0) > grown);
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
    return testsupport::RunQtTests<TwoToneGridTest, PageFilesTest>(argc, argv);
}

#include "pagefiles_test.moc"
