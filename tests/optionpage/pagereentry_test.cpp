// A message box lets events run, and those may close the page whose command
// raised the message. Each command of the page that can show a message is
// run here with a notifier that deletes the page at its first message, as
// the message box's event loop would: no command may touch the page after
// that (the sanitizer run turns any such touch into a failure).

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "marketdata/PriceFileReader.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"

using namespace kestrava;

namespace {

// Deletes the page it watches when the first message comes.
class ClosingNotifier : public Notifier {
public:
    void Info(const std::string& text) override { Shown(text); }
    void Error(const std::string& text) override { Shown(text); }
    void Warning(const std::string& text) override { Shown(text); }
    bool AskYesNo(const std::string& text) override
    {
        Shown(text);
        return false;
    }

    QPointer<TfrmOPage> page;
    std::vector<std::string> shown;

private:
    void Shown(const std::string& text)
    {
        shown.push_back(text);
        delete page.data();
    }
};

}  // namespace

class PageReentryTest : public QObject {
    Q_OBJECT

private slots:
    void pageDeletedDuringItsOwnMessage_data();
    void pageDeletedDuringItsOwnMessage();

private:
    TfrmOPage* NewPage(const PageEnvironment& environment, bool withPriceFile);

    QTemporaryDir temp_;
    ClosingNotifier notifier_;
};

TfrmOPage* PageReentryTest::NewPage(const PageEnvironment& environment, bool withPriceFile)
{
    PageSource source;
    SeriesSetup& setup = source.setup;
    setup.numExpiries = 2;
    setup.expiryDates = {QDate::currentDate().addDays(30), QDate::currentDate().addDays(60)};
    setup.numStrikes = QStringLiteral("3");
    setup.firstStrike = QStringLiteral("95");
    setup.strikeIncrement = QStringLiteral("5");
    setup.optionSymbol = setup.symbolText = QStringLiteral("XYZ");
    setup.contractType = kEquity;
    setup.model = kBinomial;
    if (withPriceFile) {
        // As the setup dialog hands it over: the price file and its work file.
        setup.sourceFilePath = QStringLiteral(KESTRAVA_TEST_DATA_DIR "/history-spy.csv");
        SilentNotifier silent;
        TAsciiFileReader reader(silent, environment.locale, temp_.path().toStdString());
        reader.Open(setup.sourceFilePath.toStdString());
        setup.workFilePath = QString::fromStdString(reader.DataFileName);
    }
    return TfrmOPage::Create(environment, source, notifier_);
}

void PageReentryTest::pageDeletedDuringItsOwnMessage_data()
{
    QTest::addColumn<QString>("command");
    for (const char* command :
         {"calculate with a typed bid that is no number", "tab change with a typed bid that is no number",
          "calculate with a strike of 0", "save to a folder that is not there", "print that fails",
          "chart picture that fails", "history button on a damaged file",
          "refresh from an unusable quote file"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

void PageReentryTest::pageDeletedDuringItsOwnMessage()
{
    QFETCH(QString, command);
    PageEnvironment environment;
    environment.tempDirectory = environment.dataDirectory = environment.seriesDirectory = temp_.path();
    environment.printGrid = [](QPrinter&, const TInOutObj&) {
        throw std::runtime_error("The printer is gone.");
    };
    environment.drawChart = [](const ChartRequest&) -> QImage { throw std::runtime_error("No picture."); };
    notifier_.shown.clear();
    const bool withPriceFile = command.startsWith(QLatin1String("chart"))
                               || command.startsWith(QLatin1String("history"));
    TfrmOPage* page = NewPage(environment, withPriceFile);
    QVERIFY(page);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    notifier_.page = page;

    // Typed into the first bid cell; the editor is still open.
    auto typeBid = [&](const QString& text) {
        TImpStrGrid* grid = page->Controls().TheGrid;
        grid->setCurrentIndex(grid->model()->index(0, 3));
        grid->edit(grid->currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
        QVERIFY(editor);
        editor->setText(text);
    };
    if (command.startsWith(QLatin1String("calculate with a typed"))) {
        typeBid(QStringLiteral("4,2x"));
        page->InputBar().cmdReCalc->click();
    } else if (command.startsWith(QLatin1String("tab change"))) {
        typeBid(QStringLiteral("abc"));
        page->Controls().TabControl1->setCurrentIndex(1);
    } else if (command.startsWith(QLatin1String("calculate with a strike"))) {
        page->SeriesAt(0)->Strike(2, 1) = page->SeriesAt(0)->Strike(2, 2) = 0;
        page->InputBar().cmdReCalc->click();
    } else if (command.startsWith(QLatin1String("save"))) {
        page->SetSeriesFile(temp_.filePath(QStringLiteral("gone/x.ops")));
        page->SavePage();
    } else if (command.startsWith(QLatin1String("print"))) {
        QPrinter printer;
        page->PrintPage(printer);
    } else if (command.startsWith(QLatin1String("chart"))) {
        notifier_.shown.clear();  // the failed picture of the page's building
        if (TChartImage* image = page->Controls().ChartImage)
            emit image->pictureWanted();
    } else if (command.startsWith(QLatin1String("history"))) {
        // The work file damaged since the page read it.
        QFile work(page->Names().priceWorkFile);
        QVERIFY(work.open(QIODevice::WriteOnly | QIODevice::Truncate));
        work.write(QByteArray(24 * 100, '\xff'));  // 100 records of no number
        work.close();
        notifier_.shown.clear();
        page->InputBar().cmdCalcSig->click();
    } else {
        QFile quotes(temp_.filePath(QStringLiteral("XYZ.txt")));
        QVERIFY(quotes.open(QIODevice::WriteOnly));
        quotes.write("<html><body>Service unavailable</body></html>\n");
        quotes.close();
        page->RefreshAfterDownload();
    }
    // A typed text that is no number is named once its editor has closed.
    QTRY_VERIFY2(!notifier_.shown.empty(), "the command showed no message");
    QVERIFY(notifier_.page.isNull());
}

QTEST_MAIN(PageReentryTest)
#include "pagereentry_test.moc"
