// The grid printer: the layout through a target that records what is
// written where, the texts of rows and footers, the font that fits real
// paper, and one real print into a PDF file whose text is read back.

#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include "chart/GridPrn.h"
#include "chart/GridPrnText.h"
#include "chart/PrinterTarget.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

// Records every text with its position and page. Metrics are those of a
// 600-dots-per-inch page with a character 0.6 points wide per point size,
// or those of a real target when one is given.
class RecordingTarget : public PrintTarget {
public:
    struct Text {
        int page, x, y;
        QString text;
        bool bold;
        int lineHeight;  // of the font it is written in
    };

    explicit RecordingTarget(int pageHeight = 6600, PrintTarget* metrics = nullptr)
        : pageHeight_(pageHeight), metrics_(metrics)
    {
    }

    int PageWidth() const override { return metrics_ ? metrics_->PageWidth() : 4800; }
    int PageHeight() const override { return metrics_ ? metrics_->PageHeight() : pageHeight_; }
    int DotsPerInchX() const override { return metrics_ ? metrics_->DotsPerInchX() : 600; }
    int DotsPerInchY() const override { return metrics_ ? metrics_->DotsPerInchY() : 600; }
    Orientation PageOrientation() const override { return orientation; }
    void SetPageOrientation(Orientation value) override
    {
        orientation = value;
        if (metrics_)
            metrics_->SetPageOrientation(value);
    }
    Font CurrentFont() const override { return font; }
    void SetFont(const Font& value) override
    {
        font = value;
        if (metrics_)
            metrics_->SetFont(value);
    }
    int TextWidth(const QString& text) const override
    {
        return metrics_ ? metrics_->TextWidth(text) : static_cast<int>(text.size() * font.pointSize * 5);
    }
    int TextHeight(const QString& text) const override
    {
        return metrics_ ? metrics_->TextHeight(text) : static_cast<int>(font.pointSize * 10);
    }
    void TextOut(int x, int y, const QString& text) override
    {
        texts.push_back({pages, x, y, text, font.bold, TextHeight(text)});
        widths.push_back(TextWidth(text));
    }
    void BeginDoc(const QString& title) override
    {
        titles << title;
        pages = 1;
    }
    void NewPage() override { ++pages; }
    void EndDoc() override { ++ended; }

    Orientation orientation = Orientation::Landscape;
    Font font{QStringLiteral("Arial"), 12, false, false};
    std::vector<Text> texts;
    std::vector<int> widths;
    QStringList titles;
    int pages = 0;
    int ended = 0;

private:
    int pageHeight_;
    PrintTarget* metrics_;
};

TInOutObj Series(int strikes, bool codes)
{
    TInOutObj p;
    p.ContractType = kEquity;
    p.Model = kBlackScholes;
    p.NumStrikes = strikes;
    p.OptSymbol = "XYZ";
    p.OptContract = "XYZ";
    p.ExpiryDate = EncodeDate(2009, 7, 17);
    p.TodayDate = EncodeDate(2009, 6, 1);
    p.Underlying = 45.5f;
    p.Rate = 0.045f;
    p.Sigma = 0.3f;
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

// A row's data line: its strike label or its option code, then the values.
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

    RecordingTarget Print(const TInOutObj& series, int pageHeight = 6600)
    {
        RecordingTarget target(pageHeight);
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(series);
        return target;
    }

private slots:
    void rowsAreThreeOrFourLinesApart_data()
    {
        QTest::addColumn<bool>("codes");
        QTest::addColumn<int>("pitch");
        QTest::newRow("no option codes") << false << 3;
        QTest::newRow("with option codes") << true << 4;
    }

    void rowsAreThreeOrFourLinesApart()
    {
        QFETCH(bool, codes);
        QFETCH(int, pitch);
        const RecordingTarget target = Print(Series(3, codes));
        const int line = target.texts.back().lineHeight;
        std::vector<RecordingTarget::Text> rows;
        for (const auto& text : target.texts)
            if (IsDataRow(text))
                rows.push_back(text);
        QCOMPARE(rows.size(), 6u);
        // Calls of strikes 1 to 3, then the puts; a third of an inch in.
        QVERIFY(codes ? rows[0].text.startsWith(QStringLiteral("   XYZGB  ")) : rows[0].text.startsWith(QStringLiteral("C  42.50")));
        QVERIFY(codes ? rows[3].text.startsWith(QStringLiteral("   XYZSB  ")) : rows[3].text.startsWith(QStringLiteral("P  42.50")));
        // The heading, a fifth of an inch, an empty line, the column
        // headings, an empty line, and the empty line before the row.
        const int firstRow = line + 120 + line + line + line + line + (codes ? line : 0);
        QCOMPARE(rows[0].y, firstRow);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].x, 200);
            if (r > 0)
                QCOMPARE(rows[r].y - rows[r - 1].y, pitch * line);
        }
        QCOMPARE(target.titles, QStringList{QStringLiteral("XYZ Option Grid")});
        QCOMPARE(target.ended, 1);
    }

    // A page too short for the next row starts a new one with the heading
    // and the column headings again; no line runs off a page.
    void pagesBreakBeforeARowThatDoesNotFit()
    {
        TInOutObj series = Series(20, true);
        const RecordingTarget target = Print(series, 3000);
        const int line = target.texts.back().lineHeight;
        QVERIFY(target.pages >= 4);
        int rows = 0;
        for (int page = 1; page <= target.pages; ++page) {
            std::vector<RecordingTarget::Text> onPage;
            for (const auto& text : target.texts)
                if (text.page == page)
                    onPage.push_back(text);
            QVERIFY(onPage.size() >= 3);
            QVERIFY(onPage[0].bold && onPage[0].y == 0 && onPage[0].text == QStringLiteral("Jul 2009 Options on XYZ  (XYZ)"));
            QVERIFY(onPage[1].bold && onPage[1].text.startsWith(QStringLiteral("Strike ")));
            for (const auto& text : onPage) {
                QVERIFY2(text.y + line <= 3000, qPrintable(text.text));
                rows += IsDataRow(text);
            }
        }
        QCOMPARE(rows, 40);
        QVERIFY(target.texts.back().text.startsWith(QStringLiteral("Model: ")));
    }

    // The printer is handed back as it was found.
    void orientationAndFontAreRestored()
    {
        const RecordingTarget target = Print(Series(2, false));
        QCOMPARE(target.orientation, PrintTarget::Orientation::Landscape);
        QCOMPARE(target.font.family, QStringLiteral("Arial"));
        QCOMPARE(target.font.pointSize, 12.0);
    }

    // Zero values print as the blanks of their format; decay always as a
    // loss; calls have no probability below, puts none above.
    void rowTexts()
    {
        TInOutObj p = Series(1, false);
        p.NetChange(1, 1) = 0.15f;
        p.Last(1, 1) = 3.1f;
        p.Bid(1, 1) = 0;
        p.BidIV(1, 1) = 0;
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
        // Column by column: label, Net, Last, Bid $, Bid iv, Ask $, Ask iv,
        // Theo $, Delta, Gamma, dk/Day, Vega, P < Str, P > Str.
        QCOMPARE(GridPrintRowLabel(p.Strike(1, 1), true, '.') + GridPrintValues(p, 1, 1, '.'),
                 std::string("C  42.50") + "+0.15   " + "3.10   " + "     " + "     " + "3.20   " + "31.25   "
                     + "3.15   " + "+0.55   " + "0.061   " + "-0.120   " + "0.071   " + "     " + "45.67");
        QCOMPARE(GridPrintValues(p, 1, 2, ','),
                 std::string(10, ' ') + std::string(10, ' ') + "     " + "     " + "     " + "     " + "1,25   "
                     + "     " + "     " + "-0,120   " + "     " + "54,33   " + "     ");
    }

    void headingAndFooter()
    {
        TInOutObj p = Series(1, false);
        p.ContractType = kFuture;
        p.Model = kBlackFutures;
        p.SkewMode = 1;
        QCOMPARE(QString::fromStdString(GridPrintHeading(p.GetExpiry(), p.OptSymbol, "XYZ-E")),
                 QStringLiteral("Jul 2009 Options on XYZ  (XYZ-E)"));
        const auto lines = GridPrintFooter(p, p.ExpiryDate, LocaleInfo::FromPattern("dd.MM.yyyy", ','));
        QCOMPARE(lines.size(), 6u);
        QCOMPARE(QString::fromStdString(lines[0]), QStringLiteral("With XYZ at  45,50 on 01.06.2009"));
        QCOMPARE(QString::fromStdString(lines[1]), QStringLiteral("46 days to Expiry on 17.07.2009"));
        QCOMPARE(QString::fromStdString(lines[2]), QStringLiteral("Modeled using Bid Implied Volatilities"));
        QCOMPARE(QString::fromStdString(lines[4]), QStringLiteral(" "));
        QCOMPARE(QString::fromStdString(lines[5]), QStringLiteral("Model: European/Black/Future"));
        p.ContractType = kIndex;
        p.Dividend = 0.021f;
        QCOMPARE(QString::fromStdString(GridPrintFooter(p, p.ExpiryDate, LocaleInfo())[4]),
                 QStringLiteral("Div Yield: 2.10%"));
    }

    void everyLineFitsPortraitPaper_data()
    {
        QTest::addColumn<int>("paper");
        QTest::newRow("A4") << static_cast<int>(QPageSize::A4);
        QTest::newRow("Letter") << static_cast<int>(QPageSize::Letter);
    }

    // Three-digit prices and option codes make the longest lines.
    void everyLineFitsPortraitPaper()
    {
        QFETCH(int, paper);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("fit.pdf")));
        printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper)));
        printer.setPageOrientation(QPageLayout::Landscape);
        PrinterTarget real(printer);
        RecordingTarget target(0, &real);
        TInOutObj p = Series(20, true);
        for (int k = 1; k <= 2; ++k) {
            for (int s = 1; s <= 20; ++s) {
                p.Strike(s, k) = 900.0f + 5.0f * static_cast<float>(s);
                p.NetChange(s, k) = -123.45f;
                p.Last(s, k) = p.Bid(s, k) = p.Ask(s, k) = p.Theo(s, k) = 123.45f;
                p.BidIV(s, k) = p.AskIV(s, k) = 1.2345f;
                p.Delta(s, k) = -0.5f;
                p.Gamma(s, k) = p.Vega(s, k) = 12.345f;
                p.Decay(s, k) = -12.345f;
                p.ProbAbove(s, k) = p.ProbBelow(s, k) = 0.9999f;
            }
        }
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(p);
        QVERIFY(target.font.pointSize >= 7);  // measured while portrait
        int longest = 0;
        for (std::size_t i = 0; i < target.texts.size(); ++i) {
            const auto& text = target.texts[i];
            longest = std::max(longest, static_cast<int>(text.text.size()));
            QVERIFY2(text.x + target.widths[i] <= real.PageWidth(), qPrintable(text.text));
        }
        QVERIFY(longest > 110);
        QCOMPARE(real.PageOrientation(), PrintTarget::Orientation::Landscape);
    }

    // A real print job into a PDF file, read back as text.
    void printsIntoAPdfFile()
    {
        const QString reader = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        QVERIFY2(!reader.isEmpty(), "pdftotext (poppler-utils) is needed: scripts/install-deps.sh");
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("grid.pdf")));
        PrinterTarget target(printer);
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(Series(3, true));
        QVERIFY(notifier_.messages.isEmpty());

        QProcess process;
        process.start(reader, {QStringLiteral("-layout"), printer.outputFileName(), QStringLiteral("-")});
        QVERIFY(process.waitForFinished(30000));
        const QString text = QString::fromUtf8(process.readAllStandardOutput());
        for (const char* expected : {"Jul 2009 Options on XYZ  (XYZ)", "P < Str", "C  45.00", "XYZSD",
                                     "With XYZ at  45.50 on 2009-06-01", "Model: European/Black-Scholes/Equity"})
            QVERIFY2(text.simplified().contains(QString::fromLatin1(expected).simplified()), expected);
    }
};

QTEST_MAIN(GridPrinterTest)
#include "gridprn_test.moc"
