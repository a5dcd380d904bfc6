// The option page driven through its real widgets on the offscreen platform:
// building from the setup dialog's values, the grid's rows, labels, bands and
// display formats, the input bar's handlers, ranges and hints, typed bids
// and asks, the volatility sources and the history button.

#include <QStyle>
#include <QStyleOptionFrame>

#include "pagetest_support.h"
#include "support/overlapping_controls.h"

using namespace kestrava;
using namespace kestrava::pagetest;

class OptionPageTest : public PageTestBase {
    Q_OBJECT

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
        TImpStrGrid* grid = page->Controls().TheGrid;
        QCOMPARE(grid->RowCount(), rows);
        QCOMPARE(grid->ColCount(), 14);
        QCOMPARE(grid->Offset(), strikes + 1);
        QCOMPARE(page->Controls().TabControl1->count(),
                 5);  // expiries, Position and Smile; no price file: no Chart tab
        QCOMPARE(
            page->Controls().TabControl1->tabText(0),
            QString::fromLatin1(QLocale::c().toString(InDays(30), QStringLiteral("MMM yyyy")).toLatin1()));
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
        QCOMPARE(image.pixelColor(grid->viewport()->geometry().topLeft() + label.topLeft() + QPoint(3, 3)),
                 cream);
    }

    void strikeLabelsFollowTheStep_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("step");
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("secondCall");
        QTest::addColumn<QString>("secondPut");
        QTest::newRow("step 2.5") << "100"
                                  << "2.5" << '.' << " C  102.50 "
                                  << " P  102.50 ";
        QTest::newRow("step 5") << "100"
                                << "5" << '.' << " C  105    "
                                << " P  105    ";
        QTest::newRow("step 2,5, comma locale") << "100"
                                                << "2,5" << ',' << " C  102,50 "
                                                << " P  102,50 ";
        QTest::newRow("whole step, fractional strikes") << "97.5"
                                                        << "5" << '.' << " C  102    "
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
        QCOMPARE(page->Controls().TheGrid->CellText(0, 2), secondCall);
        QCOMPARE(page->Controls().TheGrid->CellText(0, 6), secondPut);
        // The label column is wide enough for its text.
        QVERIFY(page->Controls().TheGrid->ColWidth(0)
                >= page->Controls().TheGrid->FixedTextWidth(secondCall));
    }

    void gridShowsEveryColumnInItsFormat_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("positive");
        QTest::addColumn<QString>("negative");
        QTest::addColumn<QString>("zero");
        QTest::newRow("Net") << 1 << "+1.50 "
                             << "-1.50 "
                             << "";
        QTest::newRow("Last") << 2 << "1.50 "
                              << "-1.50 "
                              << "";
        QTest::newRow("Bid $") << 3 << "1.50 "
                               << "-1.50 "
                               << "";
        QTest::newRow("Bid IV") << 4 << "150.0 "
                                << "-150.0 "
                                << "";
        QTest::newRow("Ask $") << 5 << "1.50 "
                               << "-1.50 "
                               << "";
        QTest::newRow("Ask IV") << 6 << "150.0 "
                                << "-150.0 "
                                << "";
        QTest::newRow("Theo $") << 7 << "1.50 "
                                << "-1.50 "
                                << "";
        QTest::newRow("Delta") << 8 << "+1.50 "
                               << "-1.50 "
                               << "";
        QTest::newRow("Gamma") << 9 << "1.500 "
                               << "1.500 "
                               << "";
        QTest::newRow("Decay") << 10 << "1.500 "
                               << "-1.500 "
                               << " ";
        QTest::newRow("Vega") << 11 << "1.500 "
                              << "-1.500 "
                              << " ";
        QTest::newRow("% Prob < Str") << 12 << "150.0 "
                                      << "-150.0 "
                                      << "";
        QTest::newRow("% Prob > Str") << 13 << "150.0 "
                                      << "-150.0 "
                                      << "";
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
            case 1:
                table = &p->NetChange;
                break;
            case 2:
                table = &p->Last;
                break;
            case 3:
                table = &p->Bid;
                break;
            case 4:
                table = &p->BidIV;
                break;
            case 5:
                table = &p->Ask;
                break;
            case 6:
                table = &p->AskIV;
                break;
            case 7:
                table = &p->Theo;
                break;
            case 8:
                table = &p->Delta;
                break;
            case 9:
                table = &p->Gamma;
                break;
            case 10:
                table = &p->Decay;
                break;
            case 11:
                table = &p->Vega;
                break;
            case 12:
                table = &p->ProbBelow;
                break;
            default:
                table = &p->ProbAbove;
                break;
            }
            (*table)(s, 1) = value;
        }
        page->FillGrid();
        QCOMPARE(page->Controls().TheGrid->CellText(column, 1), positive);
        QCOMPARE(page->Controls().TheGrid->CellText(column, 2), negative);
        QCOMPARE(page->Controls().TheGrid->CellText(column, 3), zero);
    }

    void expiredExpiryShowsEmptyResults()
    {
        PagePtr page = BuildFromPriceFile();
        QVERIFY(page);
        QCOMPARE(page->Controls().TabControl1->count(), 6);
        QCOMPARE(page->Controls().TabControl1->tabText(0), QStringLiteral("Mar 2009"));
        QCOMPARE(page->Controls().TabControl1->tabText(1), QStringLiteral("Apr 2009"));
        QCOMPARE(page->Controls().TabControl1->tabText(3), QStringLiteral("Position"));
        QCOMPARE(page->Controls().TabControl1->tabText(4), QStringLiteral("Smile"));
        QCOMPARE(page->Controls().TabControl1->tabText(5), QStringLiteral("Chart"));
        QCOMPARE(page->Series().Today(), EncodeDate(2009, 3, 25));
        TInOutObj* march = page->CurrentSeries();
        QCOMPARE(march->DaysToExpiry(), 0);
        march->Last(1, 1) = 2.5f;
        march->NetChange(1, 1) = -0.25f;
        page->InputBar().cmdReCalc->click();

        TImpStrGrid* grid = page->Controls().TheGrid;
        for (int row = 1; row <= 6; ++row) {
            for (const int col : {7, 8, 9, 12, 13})
                QCOMPARE(grid->CellText(col, row), QString());
            for (const int col : {10, 11})
                QCOMPARE(grid->CellText(col, row), QStringLiteral(" "));
        }
        QCOMPARE(grid->CellText(2, 1), QStringLiteral("2.50 "));
        QCOMPARE(grid->CellText(1, 1), QStringLiteral("-0.25 "));

        // A bid typed on the passed expiry is kept, and implies nothing.
        CommitCell(page.get(), 3, 1, QStringLiteral("1.25"));
        QCOMPARE(march->Bid(1, 1), 1.25f);
        QCOMPARE(march->BidIV(1, 1), 0.0f);
        QCOMPARE(grid->CellText(4, 1), QString());

        // Looking at the passed expiry again does not move the valuation date.
        page->show();
        page->Controls().TabControl1->setCurrentIndex(1);
        page->Controls().TabControl1->setCurrentIndex(0);
        QCOMPARE(page->Series().Today(), EncodeDate(2009, 3, 25));
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("1"));

        // The April expiry still has days left and is priced.
        page->Controls().TabControl1->setCurrentIndex(1);
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
        const QString before = page->Controls().TheGrid->CellText(7, 2);
        for (const Qt::Key secondEnter : {Qt::Key_Return, Qt::Key_Enter}) {
            QLineEdit* edit = page->InputBar().fseUlying;
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, secondEnter == Qt::Key_Return ? QStringLiteral("6123.45")
                                                                 : QStringLiteral("6098.76"));
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), page->InputBar().cmdReCalc);
            QTest::keyClick(page->InputBar().cmdReCalc, secondEnter);
            const float typed = secondEnter == Qt::Key_Return ? 6123.45f : 6098.76f;
            QCOMPARE(page->CurrentSeries()->Underlying, typed);
            QVERIFY(page->Controls().TheGrid->CellText(7, 2) != before);
        }
    }

    void defaultRateOutsideTheBoxIsWhatTheBoxShows()
    {
        // 99 % and 0 % are beyond the box's 0.05 to 50: each expiry is priced
        // at the rate its box shows, also before its tab was ever shown.
        PageEnvironment environment = Environment();
        environment.defaultRates = {0.02f, 0.99f, 0.0f};
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        page->show();
        const QString shown[] = {QStringLiteral("2.00"), QStringLiteral("50.00"), QStringLiteral("0.05")};
        for (int tab = 0; tab < 3; ++tab)
            QCOMPARE(page->SeriesAt(tab)->Rate, static_cast<float>(shown[tab].toDouble() / 100.0));
        QStringList expiryLabels;
        for (int tab : {1, 2, 0}) {
            page->Controls().TabControl1->setCurrentIndex(tab);
            QCOMPARE(page->InputBar().fseRate->text(), shown[tab]);
            QCOMPARE(page->SeriesAt(tab)->Rate, static_cast<float>(shown[tab].toDouble() / 100.0));
            // Each tab names its own expiry.
            const QString label = page->InputBar().lblExpDate->text();
            QCOMPARE(label, QStringLiteral("Expiry: ")
                                + page->InputBar().DateText(page->SeriesAt(tab)->GetExpiry()));
            QVERIFY2(!expiryLabels.contains(label), qPrintable(label));
            expiryLabels << label;
        }
    }

    void rateBoxRoundsOnATabChange()
    {
        PageEnvironment environment = Environment();
        environment.defaultRates = {0.01f, 0.0049999f, 0.00005f};
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")), environment);
        QVERIFY(page);
        page->show();
        QCOMPARE(page->InputBar().fseRate->text(), QStringLiteral("1.00"));
        // A default rate of nearly nothing is taken at the box's least rate.
        QCOMPARE(page->SeriesAt(2)->Rate, 0.0005f);
        QCOMPARE(page->SeriesAt(1)->Rate, 0.0049999f);
        page->Controls().TabControl1->setCurrentIndex(1);
        QCOMPARE(page->InputBar().fseRate->text(), QStringLiteral("0.50"));
        QCOMPARE(page->SeriesAt(1)->Rate, 0.005f);
        QCOMPARE(page->SeriesAt(0)->Rate, 0.01f);

        // The volatility box changes only the shown expiry.
        page->InputBar().fseSigma->SetValue(33.0);
        QCOMPARE(page->SeriesAt(1)->Sigma, 0.33f);
        QCOMPARE(page->SeriesAt(0)->Sigma, 0.25f);
        // Calculate prices every expiry with its own rate and volatility.
        page->InputBar().cmdReCalc->click();
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
        TImpStrGrid* grid = page->Controls().TheGrid;
        TInOutObj* p = page->CurrentSeries();
        // Bids and asks typed into the grid, below and above the flat value.
        for (int s = 1; s <= 3; ++s) {
            const double theo = p->Theo(s, 1);
            CommitCell(page.get(), 3, s, QString::number(theo * 0.9, 'f', 2));
            CommitCell(page.get(), 5, s, QString::number(theo * 1.1, 'f', 2));
        }

        page->InputBar().rbtnBid->click();
        QVERIFY(!page->InputBar().fseSigma->isEnabled());
        QVERIFY(!page->InputBar().seSigDays->isEnabled());
        page->InputBar().cmdReCalc->click();
        QCOMPARE(p->SkewMode, std::uint8_t(1));
        for (int s = 1; s <= 3; ++s) {
            QVERIFY(p->BidIV(s, 1) > 0);
            QCOMPARE(p->Vol(s, 1), p->BidIV(s, 1));
            QVERIFY(std::fabs(p->Theo(s, 1) - p->Bid(s, 1)) < 0.01);
        }

        page->InputBar().rbtnAsk->click();
        QVERIFY(!page->InputBar().fseSigma->isEnabled());
        QVERIFY(!page->InputBar().seSigDays->isEnabled());
        page->InputBar().cmdReCalc->click();
        QCOMPARE(p->SkewMode, std::uint8_t(2));
        for (int s = 1; s <= 3; ++s) {
            QCOMPARE(p->Vol(s, 1), p->AskIV(s, 1));
            QVERIFY(std::fabs(p->Theo(s, 1) - p->Ask(s, 1)) < 0.01);
        }

        page->InputBar().rbtnLevel->click();
        QVERIFY(page->InputBar().fseSigma->isEnabled());
        QVERIFY(page->InputBar().seSigDays->isEnabled());
        page->InputBar().cmdReCalc->click();
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
        QVERIFY(page->Controls().TheGrid->CellText(4, 5).isEmpty());

        // The put of strike 2 (row 5) gets a bid of 6.10; the editor hands
        // its text over once the key has been processed.
        TypeIntoCell(page.get(), 3, 5, QStringLiteral("6.10"), key);
        QTRY_COMPARE(p->Bid(2, 2), 6.1f);
        QVERIFY(p->BidIV(2, 2) > 0);
        QCOMPARE(page->Controls().TheGrid->CellText(4, 5),
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
            QTabBar* tabs = page->Controls().TabControl1;
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            QCOMPARE(tabs->currentIndex(), 1);
        } else {
            // As its Alt+C shortcut does: the focus stays in the editor.
            page->InputBar().cmdReCalc->click();
        }
        QCOMPARE(first->Bid(2, 2), 6.1f);
        QVERIFY(first->BidIV(2, 2) > 0);
        QCOMPARE(second->Bid(2, 2), 0.0f);
        // No editor is left open over another expiry's cell.
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QCOMPARE(page->Controls().TheGrid->CellText(3, 5), clickTab ? QString() : QStringLiteral("6.10 "));
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
        for (const TInOutObj* p : page->Series().Expiries())
            for (int s = 1; s <= p->NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k)
                    before.push_back(p->Theo(s, k));
        page->InputBar().cmdReCalc->click();
        std::size_t i = 0;
        for (const TInOutObj* p : page->Series().Expiries())
            for (int s = 1; s <= p->NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k)
                    QVERIFY2(p->Theo(s, k) == before[i++],
                             qPrintable(QStringLiteral("strike %1 side %2: %3 then %4")
                                            .arg(s)
                                            .arg(k)
                                            .arg(double(before[i - 1]), 0, 'g', 9)
                                            .arg(double(p->Theo(s, k)), 0, 'g', 9)));
    }

    void emptiedPriceAndDaysBoxesKeepEachExpirysOwn()
    {
        PagePtr page = BuildFromPriceFile(3, kBinomial);  // every box shown
        QVERIFY(page);
        for (int i = 0; i < static_cast<int>(page->Series().size()); ++i) {
            page->SeriesAt(i)->Underlying = 90.0f + float(i);
            page->SeriesAt(i)->SigmaDays = 30 + i;
        }
        page->InputBar().fseUlying->clear();
        page->InputBar().seSigDays->clear();
        page->InputBar().cmdReCalc->click();
        for (int i = 0; i < static_cast<int>(page->Series().size()); ++i) {
            QCOMPARE(page->SeriesAt(i)->Underlying, 90.0f + float(i));
            QCOMPARE(page->SeriesAt(i)->SigmaDays, 30 + i);
        }
        QVERIFY(notifier.messages.empty());
    }

    void typedTextThatIsNoNumberIsNamed()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("95"), QStringLiteral("5"), 1));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        TInOutObj* p = page->CurrentSeries();
        TImpStrGrid* grid = page->Controls().TheGrid;
        CommitCell(page.get(), 3, 1, QStringLiteral(" 4.20 "));
        CommitCell(page.get(), 5, 1, QStringLiteral("4.60"));
        QCOMPARE(p->Bid(1, 1), 4.2f);

        // Typed over and finished with Enter: named, not stored, and the cell
        // shows the expiry's bid again.
        TypeIntoCell(page.get(), 3, 1, QStringLiteral("4,2x"), Qt::Key_Return);
        QTRY_COMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(notifier.messages.front(), std::string("'4,2x' is not a valid floating point value"));
        QCOMPARE(p->Bid(1, 1), 4.2f);
        QCOMPARE(p->Ask(1, 1), 4.6f);
        QCOMPARE(grid->CellText(3, 1), QStringLiteral("4.20 "));

        // Still being typed when Calculate runs by its shortcut: Calculate
        // stops and prices nothing; the next one prices.
        notifier.messages.clear();
        const float theo = p->Theo(1, 1);
        page->InputBar().fseUlying->SetValue(120.0);
        TypeIntoCell(page.get(), 5, 2, QStringLiteral("x"), -1);
        page->InputBar().cmdReCalc->click();
        QTRY_COMPARE(notifier.messages.size(), std::size_t(1));
        QCOMPARE(p->Theo(1, 1), theo);
        QCOMPARE(p->Ask(2, 1), 0.0f);
        page->InputBar().cmdReCalc->click();
        QVERIFY(p->Theo(1, 1) > theo);
        QCOMPARE(notifier.messages.size(), std::size_t(1));
    }

    void daysToExpirySnapBeforeTheFirstExpiry()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        const TDateTime first = page->Series().FirstExpiry();
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("30"));

        page->InputBar().seExpDays->SetValue(5);
        QCOMPARE(page->Series().Today(), first - 5);
        for (const TInOutObj* p : page->Series().Expiries())
            QCOMPARE(p->TodayDate, first - 5);

        // On the second expiry (60 days) a day count of 10 would value past
        // the first expiry: it snaps to the day before it, 31 days out.
        page->Controls().TabControl1->setCurrentIndex(1);
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("35"));
        page->InputBar().seExpDays->SetValue(10);
        QCOMPARE(page->Series().Today(), first - 1);
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("31"));
        QVERIFY(page->InputBar().lblToday->text().startsWith(QStringLiteral("Today: ")));

        // The Chart-less page has no Chart tab; moving the days back out works.
        page->InputBar().seExpDays->SetValue(50);
        QCOMPARE(page->Series().Today(), first - 20);
        QCOMPARE(page->SeriesAt(0)->DaysToExpiry(), 20);
    }

    void daysTypedOnALaterExpiryKeepTheirDigits()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        page->show();
        QApplication::setActiveWindow(page.get());
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        const TDateTime first = page->Series().FirstExpiry();
        page->Controls().TabControl1->setCurrentIndex(1);  // 60 days out; 31 at the least
        TrmSpinEdit* days = page->InputBar().seExpDays;

        // 45 typed digit by digit: the 4 alone would value past the first
        // expiry, and must not turn the box into 31 under the user's hands.
        days->setFocus();
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("45"));
        QCOMPARE(days->text(), QStringLiteral("45"));
        QCOMPARE(page->Series().Today(), first + 30 - 45);
        page->InputBar().cmdReCalc->setFocus();
        QCOMPARE(days->text(), QStringLiteral("45"));

        // A count that snaps shows the snapped count once the typing ends.
        days->setFocus();
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("20"));
        QCOMPARE(page->Series().Today(), first - 1);
        QCOMPARE(days->text(), QStringLiteral("20"));
        QTest::keyClick(days, Qt::Key_Return);
        QCOMPARE(days->text(), QStringLiteral("31"));
        for (const TInOutObj* p : page->Series().Expiries())
            QCOMPARE(p->TodayDate, first - 1);

        // Stepping below the least count snaps back at once.
        QVERIFY(days->hasFocus());
        QTest::keyClick(days, Qt::Key_Down);
        QCOMPARE(days->text(), QStringLiteral("31"));
        QTest::keyClick(days, Qt::Key_End);           // a step selects the whole text
        QTest::keyClicks(days, QStringLiteral("5"));  // 315: far before the first expiry
        QCOMPARE(days->text(), QStringLiteral("315"));
        QTest::keyClick(days, Qt::Key_Up);
        QCOMPARE(days->text(), QStringLiteral("316"));
        QCOMPARE(page->Series().Today(), first + 30 - 316);

        // So does a click on the spin buttons after typing.
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("2"));
        QCOMPARE(days->text(), QStringLiteral("2"));
        QWidget* up = days->Button()->UpButton();
        QTest::mouseClick(up, Qt::LeftButton, {}, up->rect().center());
        QCOMPARE(days->text(), QStringLiteral("31"));
        QCOMPARE(page->Series().Today(), first - 1);
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("3"));
        QWidget* down = days->Button()->DownButton();
        QTest::mouseClick(down, Qt::LeftButton, {}, down->rect().center());
        QCOMPARE(days->text(), QStringLiteral("31"));
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
        QVERIFY(page->InputBar().cmdCalcSig->isVisibleTo(page.get()));
        // Its icon is square at every screen scale it is drawn for.
        const QIcon icon = page->InputBar().cmdCalcSig->icon();
        for (const qreal ratio : {1.0, 2.0, 3.0})
            QCOMPARE(icon.pixmap(QSize(16, 16), ratio).size(), QSize(16, 16) * ratio);
        page->InputBar().seExpDays->SetValue(40);  // the valuation date moves away from the file's
        page->InputBar().seSigDays->SetValue(boxDays);
        const QString sigmaShownBefore = page->InputBar().fseSigma->text();
        page->InputBar().cmdCalcSig->click();

        TSigmaObj expected(notifier);
        expected.FileName = page->Names().priceWorkFile.toStdString();
        expected.Days = usedDays;
        expected.Calculate();
        QCOMPARE(page->InputBar().seSigDays->text(), QString::number(usedDays));
        QCOMPARE(page->InputBar().fseSigma->text(), QString::number(expected.Sigma * 100.0, 'f', 2));
        QCOMPARE(page->InputBar().fseUlying->text(), QString::number(expected.LastClose, 'f', 2));
        // The boxes' handlers store what the boxes show when their text
        // changes: the price in every expiry, the volatility in the shown one;
        // the others keep the exact volatility.
        const bool sigmaTextChanged = page->InputBar().fseSigma->text() != sigmaShownBefore;
        const float shownPrice = QString::number(expected.LastClose, 'f', 2).toFloat();
        const float shownSigma = static_cast<float>(QString::number(expected.Sigma * 100.0, 'f', 2).toDouble()
                                                    / 100.0);
        for (int i = 0; i < static_cast<int>(page->Series().size()); ++i) {
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
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("23"));
        page->InputBar().seExpDays->SetValue(10);
        page->InputBar().cmdReCalc->click();
        QCOMPARE(page->Series().Today(), EncodeDate(2009, 4, 7));
        const QString tenDaysTheo = page->Controls().TheGrid->CellText(7, 2);
        // The button values the series on the price file's last day again;
        // the days left say so, and the grid is valued on that day.
        page->InputBar().cmdCalcSig->click();
        QCOMPARE(page->Series().Today(), EncodeDate(2009, 3, 25));
        QCOMPARE(page->InputBar().seExpDays->text(), QStringLiteral("23"));
        QCOMPARE(page->SeriesAt(0)->DaysToExpiry(), 23);
        const QString shown = page->Controls().TheGrid->CellText(7, 2);
        QVERIFY(shown != tenDaysTheo);
        page->InputBar().cmdReCalc->click();
        QCOMPARE(page->Controls().TheGrid->CellText(7, 2), shown);
        QVERIFY(notifier.messages.empty());
    }

    void inputBarOffersItsRangesAndHints_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("label");
        QTest::newRow("fseUlying") << "fseUlying" << 0.001 << 100000.0 << 1.0 << "Set Underlying price"
                                   << "&Ulying";
        QTest::newRow("fseSigma") << "fseSigma" << 1.0 << 200.0 << 0.1 << "Set Volatility %  (10.0 = 10%)"
                                  << "&Volatility";
        QTest::newRow("fseRate") << "fseRate" << 0.05 << 50.0 << 0.1 << "Risk Free interest rate (1.0 = 1%)"
                                 << "&Rate";
        QTest::newRow("seSigDays") << "seSigDays" << 1.0 << 250.0 << 1.0
                                   << "Days to calculate hiistorical volatility of Underlying"
                                   << "V &Days";
        QTest::newRow("seExpDays") << "seExpDays" << 1.0 << 1000.0 << 1.0 << "Days to expiry"
                                   << "Days left";
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
        page->InputBar().cmdReCalc->setFocus();
        QCOMPARE(box->text(), qobject_cast<TrmFloatSpinEdit*>(box) ? QString::number(high, 'f', 2)
                                                                   : QString::number(high));
        // And shows whole: the text fits between the frame and the buttons.
        QStyleOptionFrame frame;
        frame.initFrom(box);
        frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
        const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box)
                               - box->textMargins();
        const int lineEditMargins = 2 * 2;
        QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) <= contents.width() - lineEditMargins,
                 qPrintable(QStringLiteral("%1 in %2 px").arg(box->text()).arg(contents.width())));
    }

    void inputBarShowsEachControlClearOfTheOthers()
    {
        PagePtr page = BuildFromPriceFile(3, kBinomial);  // every box shown
        QVERIFY(page);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        int controls = 0;
        const QString overlapping = testsupport::OverlappingControls(&page->InputBar(), &controls);
        QVERIFY2(overlapping.isEmpty(), qPrintable(overlapping));
        QVERIFY(controls > 15);
        for (QWidget* child : page->InputBar().findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!child->isVisible() || page->InputBar().rect().contains(child->geometry()),
                     qPrintable(child->objectName()));
    }

    void buttonsAndChoicesSayWhatTheyDo()
    {
        PagePtr page = Build(Setup(3, QStringLiteral("100"), QStringLiteral("5")));
        QVERIFY(page);
        QCOMPARE(page->InputBar().cmdCalcSig->toolTip(),
                 QStringLiteral("Calculate historical volatility of Underlying"));
        QCOMPARE(page->InputBar().cmdReCalc->text(), QStringLiteral("&Calculate"));
        QCOMPARE(page->InputBar().cmdReCalc->toolTip(), QStringLiteral("Figure model  values"));
        QCOMPARE(page->InputBar().cmboOptSymbols->toolTip(), QStringLiteral("Available option contracts"));
        QVERIFY(!page->InputBar().cmboOptSymbols->isVisibleTo(page.get()));  // no quote file
        QCOMPARE(page->InputBar().rbtnLevel->text(), QStringLiteral("Use Flat V"));
        QCOMPARE(page->InputBar().rbtnLevel->toolTip(), QStringLiteral("Price with no skew"));
        QVERIFY(page->InputBar().rbtnLevel->isChecked());
        QCOMPARE(page->InputBar().rbtnBid->text(), QStringLiteral("Use Bid IVs"));
        QCOMPARE(page->InputBar().rbtnBid->toolTip(), QStringLiteral("Price with Bid IV skew"));
        QCOMPARE(page->InputBar().rbtnAsk->text(), QStringLiteral("Use Ask IVs"));
        QCOMPARE(page->InputBar().rbtnAsk->toolTip(), QStringLiteral("Price with Ask IV skew"));
        QCOMPARE(page->InputBar().lblToday->toolTip(), QStringLiteral("Calculation Date"));
        QCOMPARE(page->InputBar().lblExpDate->toolTip(), QStringLiteral("Expiry Date"));
        QVERIFY(page->InputBar().lblExpDate->text().startsWith(QStringLiteral("Expiry: ")));
        const QStringList headers = {QStringLiteral("Strike\rCode"),   QStringLiteral("Net"),
                                     QStringLiteral("Last"),           QStringLiteral("Bid $"),
                                     QStringLiteral("Bid IV"),         QStringLiteral("Ask $"),
                                     QStringLiteral("Ask IV"),         QStringLiteral("Theo $"),
                                     QStringLiteral("Delta"),          QStringLiteral("Gamma"),
                                     QStringLiteral("Decay\r$ / Day"), QStringLiteral("Vega"),
                                     QStringLiteral("% Prob\r< Str"),  QStringLiteral("% Prob\r> Str")};
        for (int c = 0; c < 14; ++c)
            QCOMPARE(page->Controls().TheGrid->CellText(c, 0), headers[c]);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    OptionPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "optionpage_test.moc"
