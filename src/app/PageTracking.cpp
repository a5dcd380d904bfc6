// The main window's record of its option pages: which ones it owns, which
// one is current (the last one active), and making and showing new ones.

#include <QApplication>
#include <QEvent>

#include <exception>

#include "app/MainForm.h"

namespace kestrava {

IOptionPage* TMainForm::AddPage(std::unique_ptr<IOptionPage> page)
{
    if (!page || !page->Window())
        return nullptr;
    QWidget* window = page->Window();
    if (window->parentWidget() != this)
        window->setParent(this, window->windowFlags() | Qt::Window);
    window->installEventFilter(this);
    window->setAcceptDrops(true);
    connect(window, &QObject::destroyed, this, &TMainForm::PageDestroyed);
    pages_.push_back({window, std::move(page)});
    return pages_.back().page.get();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        // Qt sends WindowActivate to a window whenever it becomes the active
        // window, by the user's click or by activateWindow().
        for (const PageEntry& entry : pages_)
            if (entry.window == watched)
                currentPage_ = entry.window;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        // Watched for the whole program, so that boxes that take text drops
        // pass series files on too.
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && DragOverWindow(widget, event))
            return true;
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::PageDestroyed(QObject* window)
{
    // The QPointer of the entry is already null here; the entry that no
    // longer has a window is the one that went.
    const auto gone = std::find_if(pages_.begin(), pages_.end(), [window](const PageEntry& entry) {
        return !entry.window || entry.window == window;
    });
    if (gone != pages_.end())
        pages_.erase(gone);
    if (!closing_)
        QMetaObject::invokeMethod(this, &TMainForm::WMUser, Qt::QueuedConnection);
}

void TMainForm::WMUser()
{
    for (auto entry = pages_.rbegin(); entry != pages_.rend(); ++entry) {
        if (entry->window && entry->window != this) {
            currentPage_ = entry->window;
            return;
        }
    }
}

IOptionPage* TMainForm::FindActivePage()
{
    setFocus();
    QCoreApplication::processEvents();
    if (!currentPage_)
        return nullptr;
    for (auto entry = pages_.rbegin(); entry != pages_.rend(); ++entry)
        if (entry->window == currentPage_)
            return entry->page.get();
    return nullptr;
}

IOptionPage* TMainForm::CreatePage()
{
    if (!pageFactory_)
        return nullptr;
    try {
        return AddPage(pageFactory_(*this));
    } catch (const std::exception& error) {
        Report(QString::fromStdString(error.what()));
        return nullptr;
    }
}

void TMainForm::ShowPage(IOptionPage* page)
{
    QWidget* window = page->Window();
    window->show();
    window->raise();
    window->activateWindow();
    window->repaint();
    QCoreApplication::processEvents();
}

}  // namespace kestrava
