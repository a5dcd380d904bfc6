// Series files that reach the main window by other ways than its open
// dialog: the command line, a second start of the program, a drop on the
// strip or a page. All of them open through OpenSeries, the opening of
// File > Open and File > Open Recent.

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolButton>

#include <utility>

#include "app/BatchNotifier.h"
#include "app/MainForm.h"

namespace kestrava {
namespace {

// How often files handed over while the program is busy look again.
constexpr int kWaitingRetryMs = 250;

}  // namespace

bool TMainForm::OpenSeries(const QString& path)
{
    const QScopedValueRollback opening(opening_, true);
    PageRequest request;
    request.openFromFile = true;
    request.openFileName = path;
    session_.FollowSeriesFolder(path);
    IOptionPage* page = CreatePage(request);
    if (!page)
        return false;
    session_.NoteRecent(path);
    ShowPage(page);
    return true;
}

void TMainForm::OpenSeriesFiles(const QStringList& files)
{
    if (session_.Finished() || files.isEmpty())
        return;
    // A page made while a dialog waits for the user, or while a download
    // or another opening lets events run, would be made under their feet.
    const bool busy = opening_ || QApplication::activeModalWidget() || progress_.Running();
    if (busy) {
        if (session_.Defer(files))
            QTimer::singleShot(kWaitingRetryMs, this, &TMainForm::OpenWaitingFiles);
        return;
    }
    // Files handed over meanwhile wait for these, so that one message tells
    // what became of all of them.
    const QScopedValueRollback opening(opening_, true);
    BatchNotifier::Batch batch(*batch_, files.size());
    for (const QString& file : files) {
        if (session_.Finished())
            return;
        batch.StartFile(file);
        if (IOptionPage* open = pages_.OfFile(file)) {
            session_.NoteRecent(file);
            ShowPage(open);
        } else if (!OpenSeries(file)) {
            batch.FileFailed();
        }
    }
}

void TMainForm::OpenWaitingFiles()
{
    OpenSeriesFiles(session_.TakeDeferred());
}

void TMainForm::HandOver(const QStringList& files)
{
    BringToFront();
    OpenSeriesFiles(files);
}

void TMainForm::BringToFront()
{
    for (const QPointer<QWidget>& window : pages_.Windows()) {
        if (window && window->isVisible()) {
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->raise();
        }
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    QWidget* current = pages_.Current();
    QWidget* active = current && current->isVisible() ? current : this;
    active->activateWindow();
}

// ---- drops

bool TMainForm::DragOverWindow(QWidget* target, QEvent* event)
{
    QWidget* window = target->window();
    const bool ours = window == this || pages_.Holds(window);
    if (!ours)
        return false;
    auto* drag = static_cast<QDropEvent*>(event);
    // A box keeps its own drops of text; files are opened wherever they land.
    if (target != window && !drag->mimeData()->hasUrls())
        return false;
    // Never a move: the file stays where the user dragged it from.
    const Qt::DropActions possible = drag->possibleActions();
    drag->setDropAction(possible.testFlag(Qt::CopyAction)   ? Qt::CopyAction
                        : possible.testFlag(Qt::LinkAction) ? Qt::LinkAction
                                                            : drag->proposedAction());
    drag->accept();
    if (event->type() == QEvent::Drop) {
        // Opened after the drop is over: its source waits for the answer.
        const QList<QUrl> urls = drag->mimeData()->urls();
        QMetaObject::invokeMethod(
            this, [this, urls] { DropFiles(urls); }, Qt::QueuedConnection);
    }
    return true;
}

void TMainForm::DropFiles(const QList<QUrl>& urls)
{
    const DroppedFiles dropped = SortDroppedFiles(urls);
    OpenSeriesFiles(dropped.series);
    if (!dropped.refusal.isEmpty())
        notifier_->Info(dropped.refusal.toStdString());
}

}  // namespace kestrava
