// The main window's pages as windows: making and showing new ones, taking
// them into its care and following their activation; which ones there are
// and which one is current is PageList's.

#include <QApplication>
#include <QEvent>
#include <QScopeGuard>

#include <exception>

#include "app/MainForm.h"
#include "common/notifier.h"

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
    connect(window, &QObject::destroyed, this, [this](QObject* gone) {
        pages_.Forget(gone);
        // Another page becomes current once the events of the closing are over.
        if (!closing_)
            QMetaObject::invokeMethod(
                this, [this] { pages_.CurrentToNewest(); }, Qt::QueuedConnection);
    });
    return pages_.Add(std::move(page));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        // Qt sends WindowActivate to a window whenever it becomes the active
        // window, by the user's click or by activateWindow().
        pages_.Activated(watched);
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

IOptionPage* TMainForm::FindActivePage()
{
    setFocus();
    QCoreApplication::processEvents();
    return pages_.CurrentPage();
}

IOptionPage* TMainForm::CreatePage(const PageRequest& request)
{
    if (!pageFactory_)
        return nullptr;
    // The setups the request points to live only as long as the command
    // that made it.
    request_ = request;
    const auto forget = qScopeGuard([this] {
        request_.setupDialog = nullptr;
        request_.chainSetup = nullptr;
    });
    try {
        return AddPage(pageFactory_(*this));
    } catch (const std::exception& error) {
        notifier_->Info(error.what());
        return nullptr;
    }
}

bool TMainForm::SaveWindowAs(QWidget* window)
{
    IOptionPage* page = pages_.OfWindow(window);
    return page && files_->SavePageAs(page);
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
