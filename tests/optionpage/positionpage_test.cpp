// The Position tab of a real page, reached as a user reaches it: SPX with the
// exchange's quotes of 24 January 2011, a February bull call spread and a
// March put bought from the grid, the page at the size it opens at. The
// legs and totals show whole, the graph opens on the legs, and the wheel,
// a drag and a double-click move it. Registered twice: at 100 % and at
// QT_SCALE_FACTOR=2.

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <QWheelEvent>

#include <algorithm>
#include <memory>

#include "analysis/RiskGraph.h"
#include "controls/rmSpin.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PositionTab.h"
#include "optionpage/RiskView.h"
#include "support/recording_notifier.h"

using namespace kestrava;

class PositionPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir temp_;
    testsupport::RecordingNotifier notifier_;
    std::unique_ptr<TfrmOPage> page_;
    PositionTab* tab_ = nullptr;

    // Selects the option's row on the expiry's tab and runs Buy 1 or Sell 1.
    void Trade(int expiryTab, int row, const char* action)
    {
        page_->Controls().TabControl1->setCurrentIndex(expiryTab);
        page_->Controls().TheGrid->setCurrentIndex(page_->Controls().TheGrid->model()->index(row, 7));
        page_->findChild<QAction*>(QString::fromLatin1(action))->trigger();
    }

    RiskSpan Shown() const
    {
        const RiskGraph& graph = tab_->Graph->Graph();
        return {graph.prices.front(), graph.prices.back()};
    }

    void SendWheel(QWidget* view, QPoint at, int delta)
    {
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
    }

    void SendMouse(QWidget* view, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }

private slots:
    void init()
    {
        QVERIFY(QFile::copy(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat"),
                            temp_.filePath(QStringLiteral("SPX.txt"))));
        PageEnvironment environment;
        environment.dataDirectory = environment.tempDirectory = environment.seriesDirectory = temp_.path();
        environment.mainWindowGeometry = QRect(0, 0, 780, 64);  // the strip of a first run
        PageSource source;
        SeriesSetup& setup = source.setup;
        setup.numExpiries = 2;
        setup.expiryDates = {QDate(2011, 2, 19), QDate(2011, 3, 19), QDate()};
        setup.numStrikes = QStringLiteral("9");
        setup.firstStrike = QStringLiteral("1225");
        setup.strikeIncrement = QStringLiteral("25");
        setup.optionSymbol = setup.symbolText = QStringLiteral("SPX");
        setup.contractType = kIndex;
        setup.model = kBlackScholes;
        setup.dividendYield = QStringLiteral("1.8");
        page_.reset(TfrmOPage::Create(environment, source, notifier_));
        QVERIFY(page_);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
        Trade(0, 2, "BuyOneItem");   // the February 1275 call
        Trade(0, 4, "SellOneItem");  // the February 1325 call
        Trade(1, 9, "BuyOneItem");   // the March 1225 put
        page_->Controls().TabControl1->setCurrentIndex(static_cast<int>(page_->Series().size()));
        tab_ = page_->findChild<PositionTab*>();
        QVERIFY(tab_ && tab_->isVisible());
        // The tab is laid out by posted events and its graph drawn by a
        // zero timer after the trades.
        QCoreApplication::sendPostedEvents();
        QTRY_VERIFY(tab_->Graph->width() > 0 && !tab_->Graph->Graph().prices.empty());
        QCoreApplication::processEvents();
    }

    void cleanup()
    {
        page_.reset();
        QFile::remove(temp_.filePath(QStringLiteral("SPX.txt")));
    }

    // Every column of the legs, Decay and Vega too, without scrolling
    // sideways, under headings of two whole lines; the totals' captions as
    // they are written.
    void legsAndTotalsShowWhole()
    {
        QTableView* table = tab_->tblLegs;
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        const int last = table->model()->columnCount() - 1;
        QVERIFY2(table->columnViewportPosition(last) + table->columnWidth(last) <= table->viewport()->width(),
                 qPrintable(QStringLiteral("%1 + %2 > %3")
                                .arg(table->columnViewportPosition(last))
                                .arg(table->columnWidth(last))
                                .arg(table->viewport()->width())));
        QVERIFY(table->horizontalHeader()->height() >= 2 * table->horizontalHeader()->fontMetrics().height());
        for (const QLabel* label : tab_->findChildren<QLabel*>())
            QVERIFY2(!label->text().contains(QStringLiteral("&&")), qPrintable(label->text()));
        QVERIFY(tab_->Graph->width() >= tab_->width() / 3);
    }

    // The 26-day spread and the put take a good share of the width, each
    // strike is valued, and the graph follows the wheel, a drag and a
    // double-click.
    void graphOpensOnTheLegsAndFollowsTheMouse()
    {
        const RiskGraph& graph = tab_->Graph->Graph();
        const RiskSpan opened = Shown();
        QVERIFY2((1325 - 1225) / (opened.to - opened.from) > 0.3,
                 qPrintable(QStringLiteral("%1 to %2").arg(opened.from).arg(opened.to)));
        for (double strike : {1225.0, 1275.0, 1325.0})
            QVERIFY(std::count(graph.prices.begin(), graph.prices.end(), strike) == 1);

        RiskView* view = tab_->Graph;
        const QPoint middle = view->rect().center();
        SendWheel(view, middle, 120);
        const RiskSpan closer = Shown();
        QVERIFY(closer.from > opened.from && closer.to < opened.to);
        QVERIFY(std::fabs((closer.to - closer.from) - 0.8 * (opened.to - opened.from)) < 1e-6);
        SendWheel(view, middle, -240);
        QVERIFY(Shown().to - Shown().from > opened.to - opened.from);

        // Dragged a fifth of the way right: lower prices come into sight.
        const RiskSpan before = Shown();
        SendMouse(view, QEvent::MouseButtonPress, middle, Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, middle + QPoint(view->width() / 5, 0), Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, middle + QPoint(view->width() / 5, 0), Qt::NoButton);
        const RiskSpan dragged = Shown();
        QVERIFY(dragged.from < before.from);
        QVERIFY(std::fabs((dragged.to - dragged.from) - (before.to - before.from)) < 1e-6);
        QVERIFY(std::count(tab_->Graph->Graph().prices.begin(), tab_->Graph->Graph().prices.end(), 1275.0)
                == 1);

        // Calculate keeps what the user looks at; a double-click goes back.
        page_->InputBar().cmdReCalc->click();
        QCOMPARE(Shown().from, dragged.from);
        QTest::mouseDClick(view, Qt::LeftButton, {}, middle);
        QCOMPARE(Shown().from, opened.from);
        QCOMPARE(Shown().to, opened.to);
    }
};

QTEST_MAIN(PositionPageTest)
#include "positionpage_test.moc"
