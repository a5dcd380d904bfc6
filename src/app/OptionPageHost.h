#pragma once
// What the main window needs of an option page. The page itself knows
// nothing of the main window: a small adapter implements this interface over
// it, and the main window tracks the page's window through Qt's own
// activation and destroyed() signals.

#include <vector>

#include <QString>

class QPrinter;
class QWidget;

namespace kestrava {

class TInOutObj;

class IOptionPage {
public:
    virtual ~IOptionPage() = default;

    // The page's own top-level window. The main window takes ownership of it
    // (it is destroyed with the main window) and deletes the adapter when the
    // window is destroyed; the adapter's destructor must not touch the window.
    virtual QWidget* Window() const = 0;

    virtual QString Title() const = 0;
    virtual QString SeriesFile() const = 0;
    virtual void SetSeriesFile(const QString& path) = 0;
    virtual QString PriceTextFile() const = 0;
    virtual QString PriceWorkFile() const = 0;
    // The series of the expiry tabs, in tab order; empty when the page holds
    // no expiry.
    virtual std::vector<const TInOutObj*> Expiries() const = 0;

    // False when the file could not be written (the page has said why).
    virtual bool SavePage() = 0;
    virtual void PrintPage(QPrinter& printer) = 0;
    virtual void RefreshAfterDownload() = 0;
    // A page that replaces `other` (its series changed) takes over other's
    // position with its unsaved changes.
    virtual void TakePositionOf(IOptionPage& /*other*/) {}
};

}  // namespace kestrava
