#pragma once
// The grid printer's pages on a real printer or a PDF file.

#include <QFont>
#include <QPainter>
#include <stdexcept>

#include "chart/PrintTarget.h"

class QPrinter;

namespace kestrava {

// A print job that could not be started; what() names the printer or file.
class PrintJobError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message for a job that cannot start on printer.
std::string CannotPrintMessage(const QPrinter& printer);

// Throws PrintJobError when a finished job's PDF file does not end as a
// whole PDF does (a full disk, or a device that takes nothing, leaves it
// short); nothing for a printer.
void CheckPdfWhole(const QPrinter& printer);

class PrinterTarget : public PrintTarget {
public:
    // OneJobEach: every document is a print job of its own. OneJobForAll:
    // the first document starts the job, each later one a new page, and
    // Finish() (or the destructor) ends it: several grids in one PDF.
    enum class Jobs { OneJobEach, OneJobForAll };

    explicit PrinterTarget(QPrinter& printer, Jobs jobs = Jobs::OneJobEach);
    ~PrinterTarget() override;
    PrinterTarget(const PrinterTarget&) = delete;
    PrinterTarget& operator=(const PrinterTarget&) = delete;

    // Ends the job that OneJobForAll keeps open.
    void Finish();

    int PageWidth() const override;
    int PageHeight() const override;
    int DotsPerInchX() const override;
    int DotsPerInchY() const override;
    Orientation PageOrientation() const override;
    void SetPageOrientation(Orientation orientation) override;
    Font CurrentFont() const override { return font_; }
    void SetFont(const Font& font) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void TextOut(int x, int y, const QString& text) override;
    void BeginDoc(const QString& title) override;
    void NewPage() override;
    void EndDoc() override;

private:
    QPrinter& printer_;
    Jobs jobs_;
    QPainter painter_;
    Font font_;
    QFont qfont_;
};

}  // namespace kestrava
