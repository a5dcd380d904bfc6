#include "chart/PlotPrint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>

#include <algorithm>

#include "chart/PrinterTarget.h"

namespace kestrava {
namespace {

constexpr double kScreenDotsPerInch = 96;
constexpr double kTextPointSize = 9;
constexpr double kSmallestPictureShare = 0.5;

}  // namespace

QStringList AlignedLines(const PrintTextTable& table)
{
    std::vector<int> widths;
    for (const QStringList& row : table.rows)
        for (int c = 0; c < row.size(); ++c) {
            if (c >= static_cast<int>(widths.size()))
                widths.push_back(0);
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)],
                                                           static_cast<int>(row[c].size()));
        }
    const QString gap(kPrintTableGap, QLatin1Char(' '));
    QStringList lines;
    for (const QStringList& row : table.rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c) {
            const int width = widths[static_cast<std::size_t>(c)];
            const bool left = c < table.alignment.size() && table.alignment[c] == QLatin1Char('L');
            if (c > 0)
                line += gap;
            line += left ? row[c].leftJustified(width) : row[c].rightJustified(width);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    return lines;
}

void PrintPlot(QPrinter& printer, const PlotPrintout& printout)
{
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    const auto restore = qScopeGuard([&] { printer.setPageOrientation(orientation); });
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(printout.jobName);

    QPainter page;
    if (!page.begin(&printer))
        throw PrintJobError(CannotPrintMessage(printer));
    const auto endJob = qScopeGuard([&] {
        if (page.isActive())
            page.end();
    });
    // Screen units: the fonts are divided by the scale to keep their size.
    const double scale = printer.logicalDpiX() / kScreenDotsPerInch;
    page.scale(scale, scale);
    const QRectF area(0, 0, printer.width() / scale, printer.height() / scale);

    QFont text(QStringLiteral("Courier"));
    text.setStyleHint(QFont::TypeWriter);
    text.setFixedPitch(true);
    text.setPointSizeF(kTextPointSize / scale);
    QFont bold = PlotFont(scale);
    bold.setBold(true);
    const double lineHeight = QFontMetricsF(text, &printer).height();
    const double headingHeight = QFontMetricsF(bold, &printer).height() * 1.5;

    QStringList lines;
    for (const PrintTextTable& table : printout.tables) {
        if (!lines.isEmpty())
            lines << QString();
        lines << AlignedLines(table);
    }
    if (!printout.notes.isEmpty() && !lines.isEmpty())
        lines << QString();
    lines << printout.notes;

    const double textRoom = lines.isEmpty() ? 0 : static_cast<double>(lines.size() + 1) * lineHeight;
    const double pictureHeight = std::max(area.height() * kSmallestPictureShare,
                                          area.height() - headingHeight - textRoom);
    page.setFont(bold);
    page.setPen(Qt::black);
    page.drawText(QRectF(area.left(), area.top(), area.width(), headingHeight),
                  Qt::AlignHCenter | Qt::AlignTop, printout.heading);
    const QRectF picture(area.left(), area.top() + headingHeight, area.width(),
                         std::min(pictureHeight, area.height() - headingHeight));
    if (printout.draw) {
        page.save();
        page.setClipRect(picture);
        printout.draw(page, picture, PaperPalette());
        page.restore();
    }

    page.setFont(text);
    page.setPen(Qt::black);
    double y = picture.bottom() + lineHeight;
    for (const QString& line : lines) {
        if (y + lineHeight > area.bottom()) {
            printer.newPage();
            y = area.top();
        }
        page.drawText(QPointF(area.left(), y + QFontMetricsF(text, &printer).ascent()), line);
        y += lineHeight;
    }
    page.end();
    CheckPdfWhole(printer);
}

}  // namespace kestrava
