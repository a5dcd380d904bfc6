// The grid printer: its layout through a target that records what is
// written where, the texts of rows and inputs, the columns of real quotes
// under their headings, and real prints into PDF files whose words are read
// back with their positions.

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <map>
#include <memory>

#include "chart/ChartJobs.h"
#include "chart/GridPrn.h"
#include "chart/PlotPrint.h"
#include "chart/PrinterTarget.h"
#include "chartcore/GridPrnText.h"
#include "common/localeparse.h"
#include "support/qt_recording_notifier.h"
#include "support/spx_quotes.h"

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
    // the page's top and an empty line; the printer is handed back as it was
    // found.
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
        QVERIFY(rows[0].text.startsWith(codes ? QStringLiteral("   XYZGB  ") : QStringLiteral("C  42.50  ")));
        QVERIFY(rows[3].text.startsWith(codes ? QStringLiteral("   XYZSB  ") : QStringLiteral("P  42.50  ")));
        const auto headings = std::find_if(target.texts.begin(), target.texts.end(), [](const auto& text) {
            return text.text.startsWith(QStringLiteral("Strike "));
        });
        QVERIFY(headings != target.texts.end() && headings->bold);
        QCOMPARE(rows[0].y, headings->y + 3 * line + (codes ? line : 0));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].x, 200);
            QCOMPARE(rows[r].y - rows[r > 0 ? r - 1 : 0].y, r > 0 ? pitch * line : 0);
        }
        QCOMPARE(target.titles, QStringList{QStringLiteral("XYZ Option Grid")});
        QCOMPARE(target.pages, 1);
        QCOMPARE(target.ended, 1);
        QCOMPARE(target.orientation, PrintTarget::Orientation::Landscape);
        QCOMPARE(target.font.family, QStringLiteral("Arial"));
    }

    // Every page starts with the heading, the inputs the grid was priced
    // with, "Page N of M" and the column headings; a page too short for the
    // next row starts a new one, and no line runs off a page.
    void everyPageHasTheInputsAndItsNumber()
    {
        RecordingTarget target(3000);
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(Series(20, true));
        QVERIFY(target.pages >= 4);
        int rows = 0;
        for (int page = 1; page <= target.pages; ++page) {
            std::vector<RecordingTarget::Text> lines;
            std::copy_if(target.texts.begin(), target.texts.end(), std::back_inserter(lines),
                         [page](const auto& text) { return text.page == page; });
            QVERIFY(lines.size() >= 5);
            QCOMPARE(lines[0].text, QStringLiteral("Jul 2009 Options on XYZ  (XYZ)"));
            QVERIFY(lines[0].bold && lines[0].y == 0);
            const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(target.pages);
            QVERIFY2(lines[1].text.startsWith(QStringLiteral("With XYZ at  45.50 on 2009-06-01    46 days"))
                         && lines[1].text.endsWith(number),
                     qPrintable(lines[1].text));
            QCOMPARE(lines[2].text,
                     QStringLiteral("Modeled using level Volatility =  0.0%    Risk Free Rate: 0.00%"));
            QCOMPARE(lines[3].text, QStringLiteral("$ Div: None    Model: European/Black-Scholes/Equity"));
            QVERIFY(lines[4].bold && lines[4].text.startsWith(QStringLiteral("Strike ")));
            for (const auto& text : lines) {
                QVERIFY2(text.y + text.lineHeight <= 3000, qPrintable(text.text));
                rows += IsDataRow(text);
            }
        }
        QCOMPARE(rows, 40);
        QVERIFY(target.texts.back().text.startsWith(QStringLiteral("   XYZSU  ")));
    }

    void valuesStandUnderTheirHeadings_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("SPX February 2011, option codes") << 0;
        QTest::newRow("no codes, values of every size and sign") << 1;
    }

    // Each value ends where its heading ends, with at least one blank
    // before it, whatever the size of the values and whether the rows start
    // with a strike or an option code.
    void valuesStandUnderTheirHeadings()
    {
        QFETCH(int, which);
        TInOutObj p = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
        if (which == 1) {
            for (int s = 1; s <= p.NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k) {
                    p.OptCode(s, k).clear();
                    const float sign = s % 2 ? 1.0f : -1.0f;
                    p.NetChange(s, k) = sign * 12345.678f / static_cast<float>(s * s * s);
                    p.Last(s, k) = 1.0f / static_cast<float>(s);
                    p.Delta(s, k) = sign * static_cast<float>(s) / 20.0f;
                    p.Strike(s, k) = 5.0f * static_cast<float>(s * s * s);
                }
        }
        const GridPrintTable table = MakeGridPrintTable(p, '.');
        const std::string& headings = table.headings;
        const char* names[] = {"Net",   "Last",  "Bid $",  "Bid iv", "Ask $",   "Ask iv", "Theo $",
                               "Delta", "Gamma", "dk/Day", "Vega",   "P < Str", "P > Str"};
        std::vector<std::size_t> ends;
        for (const char* name : names) {
            const std::size_t at = headings.find(std::string(" ") + name, ends.empty() ? 0 : ends.back());
            QVERIFY2(at != std::string::npos, name);
            ends.push_back(at + 1 + std::strlen(name));
        }
        QCOMPARE(table.rows.size(), std::size_t(2 * p.NumStrikes));
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const int s = static_cast<int>(r % p.NumStrikes) + 1;
            const int k = r < std::size_t(p.NumStrikes) ? 1 : 2;
            const std::string& data = table.rows[r].data;
            const std::vector<std::string> cells = GridPrintCells(p, s, k, '.');
            for (std::size_t c = 0; c < cells.size(); ++c) {
                if (cells[c].empty())
                    continue;
                const std::size_t start = ends[c] - cells[c].size();
                QVERIFY2(data.compare(start, cells[c].size(), cells[c]) == 0 && data[start - 1] == ' ',
                         qPrintable(QString::fromStdString(names[c] + (": " + data))));
            }
            // The strike, or the option code, ends where the first column does.
            const std::string first = table.rows[r].hasCode ? p.OptCode(s, k).substr(1)
                                                            : FormatLocaleFixed(p.Strike(s, k), 2, '.');
            const std::size_t firstEnd = table.rows[0].label.size();
            QVERIFY2(data.compare(firstEnd - first.size(), first.size(), first) == 0 && data[firstEnd] == ' '
                         && table.rows[r].label[0] == (k == 1 ? 'C' : 'P'),
                     data.c_str());
            QCOMPARE(table.rows[r].hasCode, which == 0 && !p.OptCode(s, k).empty());
        }
    }

    // Zero values print as nothing; decay with its own sign; calls have no
    // probability below, puts none above.
    void cellAndInputTexts()
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
        using Cells = std::vector<std::string>;
        QCOMPARE(GridPrintCells(p, 1, 1, '.'), (Cells{"+0.15", "3.10", "", "", "3.20", "31.25", "3.15",
                                                      "+0.55", "0.061", "-0.120", "0.071", "", "45.67"}));
        QCOMPARE(GridPrintCells(p, 1, 2, ','),
                 (Cells{"", "", "", "", "", "", "1,25", "", "", "+0,120", "", "54,33", ""}));

        p.ContractType = kFuture;
        p.Model = kBlackFutures;
        p.SkewMode = 1;
        const auto lines = GridPrintInputs(p, p.ExpiryDate, LocaleInfo::FromPattern("dd.MM.yyyy", ','));
        const std::vector<std::string> expected = {"With XYZ at  45,50 on 01.06.2009",
                                                   "46 days to Expiry on 17.07.2009",
                                                   "Modeled using Bid Implied Volatilities",
                                                   "Risk Free Rate: 0,00%",
                                                   "",
                                                   "Model: European/Black/Future"};
        QCOMPARE(lines, expected);
        p.ContractType = kIndex;
        p.Dividend = 0.021f;
        QCOMPARE(GridPrintInputs(p, p.ExpiryDate, LocaleInfo())[4], std::string("Div Yield: 2.10%"));
    }

    void printsIntoAPdfFileOnPortraitPaper_data()
    {
        QTest::addColumn<int>("paper");
        QTest::newRow("A4") << static_cast<int>(QPageSize::A4);
        QTest::newRow("Letter") << static_cast<int>(QPageSize::Letter);
    }

    // A real print job of SPX's February 2011 quotes into a PDF file, read
    // back word by word with positions: every line fits the page in a font
    // of 8 points or more, every number ends where its column's heading
    // ends, and every page says which of how many it is.
    void printsIntoAPdfFileOnPortraitPaper()
    {
        QFETCH(int, paper);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("grid.pdf")));
        printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper)));
        MeasuredPrinter target(printer);
        TInOutObj p = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
        p.OptContract = "SPX-E";
        p.NetChange(3, 1) = -123.45f;
        TGridPrinter(target, notifier_, LocaleInfo()).PrintGrid(p);
        for (const auto& [rightEdge, text] : target.rightEdges)
            QVERIFY2(rightEdge <= target.PageWidth(), qPrintable(text));
        QVERIFY(target.lineHeight * 72.0 / printer.logicalDpiY() >= 8);  // lines of 8 points or more
        QVERIFY(notifier_.messages.isEmpty());

        QProcess reader;
        reader.start(QStringLiteral("pdftotext"),
                     {QStringLiteral("-bbox"), printer.outputFileName(), QStringLiteral("-")});
        QVERIFY2(reader.waitForFinished(30000),
                 "pdftotext (poppler-utils) is needed: scripts/install-deps.sh");
        const QString html = QString::fromUtf8(reader.readAllStandardOutput());
        // Words by page and line: y -> (x min, x max, text).
        struct Word {
            double xMin, xMax;
            QString text;
        };
        std::vector<std::map<int, std::vector<Word>>> pages;
        const QRegularExpression pattern(QStringLiteral(
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
        for (auto match = pattern.globalMatch(html); match.hasNext();) {
            const auto word = match.next();
            if (word.captured(0).startsWith(QStringLiteral("<page"))) {
                pages.emplace_back();
                continue;
            }
            const int y = qRound(word.captured(2).toDouble() * 10);
            pages.back()[y].push_back(
                {word.captured(1).toDouble(), word.captured(3).toDouble(), word.captured(4)});
        }
        QVERIFY(pages.size() >= 2);
        const QRegularExpression number(QStringLiteral(R"(^[+-]?\d+\.\d+$)"));
        int values = 0;
        for (std::size_t page = 0; page < pages.size(); ++page) {
            QStringList header;
            for (const Word& word : pages[page].begin()->second)
                header << word.text;
            QCOMPARE(header.join(QLatin1Char(' ')), QStringLiteral("Feb 2011 Options on SPX (SPX-E)"));
            const std::vector<Word>& inputs = std::next(pages[page].begin())->second;
            QStringList ofPages;
            for (std::size_t w = inputs.size() - 4; w < inputs.size(); ++w)
                ofPages << inputs[w].text;
            QCOMPARE(ofPages.join(QLatin1Char(' ')),
                     QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages.size()));

            std::vector<double> ends;  // the right edges of the value columns' headings
            for (const auto& [y, line] : pages[page]) {
                if (!line.empty() && line.front().text == QStringLiteral("Strike")) {
                    for (const Word& word : line)
                        if (!QStringList{QStringLiteral("Strike"), QStringLiteral("Bid"),
                                         QStringLiteral("Ask"), QStringLiteral("Theo"), QStringLiteral("P"),
                                         QStringLiteral("&lt;"), QStringLiteral("&gt;")}
                                 .contains(word.text))
                            ends.push_back(word.xMax);
                    continue;
                }
                if (ends.empty() || line.size() < 3)
                    continue;
                QCOMPARE(ends.size(), std::size_t(13));
                for (std::size_t w = 1; w < line.size(); ++w) {
                    if (!number.match(line[w].text).hasMatch())
                        continue;
                    const bool underAHeading = std::any_of(ends.begin(), ends.end(), [&](double end) {
                        return std::fabs(end - line[w].xMax) < 0.5;
                    });
                    QVERIFY2(underAHeading, qPrintable(line[w].text + QStringLiteral(" at ")
                                                       + QString::number(line[w].xMax)));
                    ++values;
                }
            }
        }
        QVERIFY(values > 300);
    }

    // A PDF that could not be written whole (a device that takes no byte, as
    // a full disk) is a failed job for the grid, the chart and the plot
    // alike; a whole one is none.
    void aPdfLeftShortIsAFailedJob()
    {
        const auto pdf = [](const QString& file) {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(file);
            return printer;
        };
        const TInOutObj series = Series(3, false);
        PlotPrintout printout;
        printout.heading = QStringLiteral("Smile");
        const QString full = QStringLiteral("/dev/full");
        QVERIFY_THROWS_EXCEPTION(PrintJobError, PrintGrid(*pdf(full), series, notifier_, LocaleInfo()));
        QVERIFY_THROWS_EXCEPTION(PrintJobError, PrintPlot(*pdf(full), printout));
        QTemporaryDir folder;
        try {
            PrintGrid(*pdf(folder.filePath(QStringLiteral("grid.pdf"))), series, notifier_, LocaleInfo());
            PrintPlot(*pdf(folder.filePath(QStringLiteral("plot.pdf"))), printout);
        } catch (const std::exception& error) {
            QFAIL(error.what());
        }
        QVERIFY(notifier_.messages.isEmpty());
    }
};

QTEST_MAIN(GridPrinterTest)
#include "gridprn_test.moc"
