#include "chart/PrinterTarget.h"

#include <algorithm>

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

namespace kestrava {
namespace {

QFont ToQFont(const PrintTarget::Font& font)
{
    QFont result(font.family);
    result.setPointSizeF(font.pointSize);
    result.setBold(font.bold);
    if (font.fixedPitch) {
        // Wherever the family itself is missing, a fixed-pitch font stands in.
        result.setStyleHint(QFont::TypeWriter);
        result.setFixedPitch(true);
    }
    return result;
}

}  // namespace

std::string CannotPrintMessage(const QPrinter& printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return "Cannot write the PDF file " + printer.outputFileName().toStdString() + ".";
    return "Cannot print on " + printer.printerName().toStdString() + ".";
}

void CheckPdfWhole(const QPrinter& printer)
{
    if (printer.outputFormat() != QPrinter::PdfFormat)
        return;
    // A PDF ends with its end-of-file mark, followed at most by a line end.
    QFile file(printer.outputFileName());
    QByteArray tail;
    if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.seek(std::max<qint64>(0, file.size() - 64)))
        tail = file.read(64);
    if (!tail.contains("%%EOF"))
        throw PrintJobError("The PDF file " + printer.outputFileName().toStdString()
                            + " was not written whole (is the disk full?).");
}

PrinterTarget::PrinterTarget(QPrinter& printer, Jobs jobs) : printer_(printer), jobs_(jobs)
{
    const QFont start = QGuiApplication::font();
    font_ = Font{start.family(), start.pointSizeF() > 0 ? start.pointSizeF() : 10, start.bold(), false};
    qfont_ = ToQFont(font_);
}

PrinterTarget::~PrinterTarget()
{
    if (painter_.isActive())
        painter_.end();
}

void PrinterTarget::Finish()
{
    if (painter_.isActive())
        painter_.end();
}

int PrinterTarget::PageWidth() const
{
    return printer_.width();
}

int PrinterTarget::PageHeight() const
{
    return printer_.height();
}

int PrinterTarget::DotsPerInchX() const
{
    return printer_.logicalDpiX();
}

int PrinterTarget::DotsPerInchY() const
{
    return printer_.logicalDpiY();
}

PrintTarget::Orientation PrinterTarget::PageOrientation() const
{
    return printer_.pageLayout().orientation() == QPageLayout::Landscape ? Orientation::Landscape
                                                                         : Orientation::Portrait;
}

void PrinterTarget::SetPageOrientation(Orientation orientation)
{
    printer_.setPageOrientation(orientation == Orientation::Landscape ? QPageLayout::Landscape
                                                                      : QPageLayout::Portrait);
}

void PrinterTarget::SetFont(const Font& font)
{
    font_ = font;
    qfont_ = ToQFont(font);
    if (painter_.isActive())
        painter_.setFont(qfont_);
}

int PrinterTarget::TextWidth(const QString& text) const
{
    return QFontMetrics(qfont_, &printer_).horizontalAdvance(text);
}

int PrinterTarget::TextHeight(const QString&) const
{
    // A line's height: the same for every text in one font.
    return QFontMetrics(qfont_, &printer_).height();
}

void PrinterTarget::TextOut(int x, int y, const QString& text)
{
    painter_.setFont(qfont_);
    painter_.drawText(x, y + QFontMetrics(qfont_, &printer_).ascent(), text);
}

void PrinterTarget::BeginDoc(const QString& title)
{
    if (painter_.isActive() && jobs_ == Jobs::OneJobForAll) {
        NewPage();
        return;
    }
    printer_.setDocName(title);
    if (!painter_.begin(&printer_))
        throw PrintJobError(CannotPrintMessage(printer_));
    painter_.setFont(qfont_);
}

void PrinterTarget::NewPage()
{
    printer_.newPage();
}

void PrinterTarget::EndDoc()
{
    if (jobs_ == Jobs::OneJobEach && painter_.isActive())
        painter_.end();
}

}  // namespace kestrava
