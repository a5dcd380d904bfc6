// The grid printer: its layout through a target that records what is
// written where, the texts of rows and footers, the font that fits real
// paper, and one real print into a PDF file whose text is read back.

#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "chart/GridPrn.h"
#include "chart/GridPrnText.h"
#include "chart/PrinterTarget.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

// Records each text with its page and position, on 600-dots-per-inch pages
// with characters 0.6 points wide per point of the font's size.
class RecordingTarget : public PrintTarget {
public:
    struct Text {
        int page, x, y, lineHeight;
        QString text;
        bool bold;
    };
    explicit RecordingTarget(int pageHeight) : height_(pageHeight) {}

    int PageWidth() const override { return 4800; }
    int PageHeight() const override { return height_; }
    int DotsPerInchX() const override { return 600; }
    int DotsPerInchY() const override { return 600; }
    Orientation PageOrientation() const override { return orientation; }
    void SetPageOrientation(Orientation value) override { orientation = value; }
    Font CurrentFont() const override { return font; }
    void SetFont(const Font& value) override { font = value; }
    int TextWidth(const QString& text) const override
    {
        return static_cast<int>(text.size() * font.pointSize * 5);
    }
    int TextHeight(const QString&) const override { return static_cast<int>(font.pointSize * 10); }
    void TextOut(int x, int y, const QString& text) override
    {
        texts.push_back({pages, x, y, TextHeight(text), text, font.bold});
    }
    void BeginDoc(const QString& title) override { titles << title; }
    void NewPage() override { ++pages; }
    void EndDoc() override { ++ended; }

    Orientation orientation = Orientation::Landscape;
    Font font{QStringLiteral("Arial"), 12, false, false};
    std::vector<Text> texts;
    QStringList titles;
    int pages = 1;
    int ended = 0;

private:
    int height_;
};

// A real printer that also notes where each line ends and how high it is.
class MeasuredPrinter : public PrinterTarget {
public:
    using PrinterTarget::PrinterTarget;
    void TextOut(int x, int y, const QString& text) override
    {
        rightEdges.push_back({x + TextWidth(text), text});
        lineHeight = TextHeight(text);
        PrinterTarget::TextOut(x, y, text);
    }
    std::vector<std::pair<int, QString>> rightEdges;
    int lineHeight = 0;
};

TInOutObj Series(int strikes, bool codes)
{
    TInOutObj p;
    p.ContractType = kEquity;
    p.Model = kBlackScholes;
    p.NumStrikes = strikes;
    p.OptSymbol = p.OptContract = "XYZ";
    p.ExpiryDate = EncodeDate(2009, 7, 17);
    p.TodayDate = EncodeDate(2009, 6, 1);
    p.Underlying = 45.5f;
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= strikes; ++s) {
            p.Strike(s, k) = 40.0f + 2.5f * static_cast<float>(s);
            p.Theo(s, k) = 1.25f * static_cast<float>(s);
            if (codes)
                p.OptCode(s, k) = std::string("\rXYZ") + (k == 1 ? 'G' : 'S') + char('A' + s);
        }
    }
    return p;
}

// A row's data line: a strike label or an option code, then the values.
bool IsDataRow(const RecordingTarget::Text& line)
{
    const QString start = line.text.left(10).trimmed();
    return line.text.size() > 40
           && (start.startsWith(QLatin1String("C ")) || start.startsWith(QLatin1String("P "))
               || start.startsWith(QLatin1String("XYZ")));
}

}  // namespace

class GridPrinterTest : public QObject {
    Q_OBJECT

    testsupport::QtRecordingNotifier notifier_;

private slots:
    void rowsAreThreeOrFourLinesApart_data()
    {
        QTest::addColumn<bool>("codes");
        QTest::addColumn<int>("pitch");
        QTest::newRow("no option codes") << false << 3;
        QTest::newRow("with option codes") << true << 4;
    }

    // Calls of strikes 1 to 3, then the puts, a third of an inch in, after
    // the heading, a fifth of an inch, the column headings and empty lines;
    // the printer is handed back as it was found.
    void rowsAreThreeOrFourLinesApart()
    {
        QFETCH(bool, codes);
        QFETCH(int, pitch);
        RecordingTarget target(6600);
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(Series(3, codes));
        std::vector<RecordingTarget::Text> rows;
        std::copy_if(target.texts.begin(), target.texts.end(), std::back_inserter(rows), IsDataRow);
        QCOMPARE(rows.size(), 6u);
        const int line = rows[0].lineHeight;
        QVERIFY(rows[0].text.startsWith(codes ? QStringLiteral("   XYZGB  ") : QStringLiteral("C  42.50")));
        QVERIFY(rows[3].text.startsWith(codes ? QStringLiteral("   XYZSB  ") : QStringLiteral("P  42.50")));
        QCOMPARE(rows[0].y, line + 120 + line + line + line + line + (codes ? line : 0));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].x, 200);
            QCOMPARE(rows[r].y - rows[r > 0 ? r - 1 : 0].y, r > 0 ? pitch * line : 0);
        }
        QCOMPARE(target.titles, QStringList{QStringLiteral("XYZ Option Grid")});
        QCOMPARE(target.ended, 1);
        QCOMPARE(target.orientation, PrintTarget::Orientation::Landscape);
        QCOMPARE(target.font.family, QStringLiteral("Arial"));
    }

    // A page too short for the next row starts a new one with the heading
    // and the column headings again; no line runs off a page.
    void pagesBreakBeforeARowThatDoesNotFit()
    {
        RecordingTarget target(3000);
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(Series(20, true));
        QVERIFY(target.pages >= 4);
        int rows = 0;
        for (int page = 1; page <= target.pages; ++page) {
            std::vector<RecordingTarget::Text> lines;
            std::copy_if(target.texts.begin(), target.texts.end(), std::back_inserter(lines),
                         [page](const auto& text) { return text.page == page; });
            QVERIFY(lines.size() >= 3 && lines[0].bold && lines[1].bold && lines[0].y == 0);
            QCOMPARE(lines[0].text, QStringLiteral("Jul 2009 Options on XYZ  (XYZ)"));
            QVERIFY(lines[1].text.startsWith(QStringLiteral("Strike ")));
            for (const auto& text : lines) {
                QVERIFY2(text.y + text.lineHeight <= 3000, qPrintable(text.text));
                rows += IsDataRow(text);
            }
        }
        QCOMPARE(rows, 40);
        QVERIFY(target.texts.back().text.startsWith(QStringLiteral("Model: ")));
    }

    // Zero values print as the blanks of their format; decay with its own
    // sign; calls have no probability below, puts none above.
    void rowAndFooterTexts()
    {
        TInOutObj p = Series(1, false);
        p.NetChange(1, 1) = 0.15f;
        p.Last(1, 1) = 3.1f;
        p.Ask(1, 1) = 3.2f;
        p.AskIV(1, 1) = 0.3125f;
        p.Theo(1, 1) = 3.15f;
        p.Delta(1, 1) = 0.55f;
        p.Gamma(1, 1) = 0.0612f;
        p.Decay(1, 1) = -0.12f;
        p.Vega(1, 1) = 0.071f;
        p.ProbAbove(1, 1) = 0.4567f;
        p.Decay(1, 2) = 0.12f;
        p.ProbBelow(1, 2) = 0.5433f;
        // Label, Net, Last, Bid $, Bid iv, Ask $, Ask iv, Theo $, Delta,
        // Gamma, dk/Day, Vega, P < Str, P > Str.
        QCOMPARE(GridPrintRowLabel(p.Strike(1, 1), true, '.') + GridPrintValues(p, 1, 1, '.'),
                 std::string("C  42.50") + "+0.15   " + "3.10   " + "     " + "     " + "3.20   " + "31.25   "
                     + "3.15   " + "+0.55   " + "0.061   " + "-0.120   " + "0.071   " + "     " + "45.67");
        QCOMPARE(GridPrintValues(p, 1, 2, ','), std::string(20, ' ') + std::string(20, ' ') + "1,25   "
                                                    + "     " + "     " + "+0,120   " + "     " + "54,33   "
                                                    + "     ");

        p.ContractType = kFuture;
        p.Model = kBlackFutures;
        p.SkewMode = 1;
        const auto lines = GridPrintFooter(p, p.ExpiryDate, LocaleInfo::FromPattern("dd.MM.yyyy", ','));
        const std::vector<std::string> expected = {"With XYZ at  45,50 on 01.06.2009",
                                                   "46 days to Expiry on 17.07.2009",
                                                   "Modeled using Bid Implied Volatilities",
                                                   "Risk Free Rate: 0,00%",
                                                   " ",
                                                   "Model: European/Black/Future"};
        QCOMPARE(lines, expected);
        p.ContractType = kIndex;
        p.Dividend = 0.021f;
        QCOMPARE(GridPrintFooter(p, p.ExpiryDate, LocaleInfo())[4], std::string("Div Yield: 2.10%"));
    }

    void printsIntoAPdfFileOnPortraitPaper_data()
    {
        QTest::addColumn<int>("paper");
        QTest::newRow("A4") << static_cast<int>(QPageSize::A4);
        QTest::newRow("Letter") << static_cast<int>(QPageSize::Letter);
    }

    // A real print job into a PDF file, read back as text. Three-digit
    // prices and option codes make lines of more than 110 characters; each
    // fits the page in a font of about 8 points.
    void printsIntoAPdfFileOnPortraitPaper()
    {
        QFETCH(int, paper);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("grid.pdf")));
        printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper)));
        MeasuredPrinter target(printer);
        TInOutObj p = Series(20, true);
        for (int k = 1; k <= 2; ++k) {
            for (int s = 1; s <= 20; ++s) {
                p.NetChange(s, k) = -123.45f;
                p.Last(s, k) = p.Bid(s, k) = p.Ask(s, k) = p.Theo(s, k) = 123.45f;
                p.BidIV(s, k) = p.AskIV(s, k) = 1.2345f;
                p.Gamma(s, k) = p.Vega(s, k) = p.Decay(s, k) = 12.345f;
                p.Delta(s, k) = p.ProbAbove(s, k) = p.ProbBelow(s, k) = 0.9999f;
            }
        }
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(p);
        int longest = 0;
        for (const auto& [rightEdge, text] : target.rightEdges) {
            longest = std::max(longest, static_cast<int>(text.size()));
            QVERIFY2(rightEdge <= target.PageWidth(), qPrintable(text));
        }
        QVERIFY(longest > 110);
        QVERIFY(target.lineHeight * 72.0 / printer.logicalDpiY() >= 8);  // lines of 8 points or more

        QProcess reader;
        reader.start(QStringLiteral("pdftotext"),
                     {QStringLiteral("-layout"), printer.outputFileName(), QStringLiteral("-")});
        QVERIFY2(reader.waitForFinished(30000),
                 "pdftotext (poppler-utils) is needed: scripts/install-deps.sh");
        const QString text = QString::fromUtf8(reader.readAllStandardOutput()).simplified();
        for (const char* expected :
             {"Jul 2009 Options on XYZ", "P < Str", "C 42.50", "XYZSD -123.45 123.45",
              "With XYZ at 45.50 on 2009-06-01", "Model: European/Black-Scholes/Equity"})
            QVERIFY2(text.contains(QString::fromLatin1(expected)), expected);
        QVERIFY(notifier_.messages.isEmpty());
    }
};

QTEST_MAIN(GridPrinterTest)
#include "gridprn_test.moc"
