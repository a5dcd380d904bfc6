// Series files that reach the main window by other ways than its open
// dialog: the command line, a second start of the program, a drop on the
// strip or a page, and File > Open Recent. All of them open through
// OpenSeries, the opening of File > Open.

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSettings>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/BatchNotifier.h"
#include "app/MainForm.h"

namespace kestrava {
namespace {

// How often files handed over while the program is busy look again.
constexpr int kWaitingRetryMs = 250;

const QString kRecentGone = QStringLiteral(
    "%1 is gone: there is no such file in %2 any more. It has been taken off the list of "
    "recent series.");
const QString kCannotStoreRecent = QStringLiteral("The list of recent series could not be saved in %1.");
const QString kOnlySeriesDropped = QStringLiteral(
    "Only option series files (*.ops) can be dropped on Kestrava.");
const QString kNotOpened = QStringLiteral(" Not opened: %1.");

// Nothing at the name, or a link to nothing. A name that cannot be looked
// at (a folder on the way the user may not enter) is not gone.
bool IsGone(const QString& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path.toStdU16String(), error);
    return status.type() == std::filesystem::file_type::not_found;
}

bool IsSeriesFileName(const QFileInfo& file)
{
    return file.suffix().compare(QLatin1String("ops"), Qt::CaseInsensitive) == 0 && !file.isDir();
}

}  // namespace

bool TMainForm::OpenSeries(const QString& path)
{
    const QScopedValueRollback opening(opening_, true);
    openFileName_ = path;
    openFromFile_ = true;
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir())
        folders_.SeriesDir = folder;
    IOptionPage* page = CreatePage();
    if (!page)
        return false;
    NoteRecent(path);
    ShowPage(page);
    return true;
}

void TMainForm::OpenSeriesFiles(const QStringList& files)
{
    if (closed_ || files.isEmpty())
        return;
    // A page made while a dialog waits for the user, or while a download
    // or another opening lets events run, would be made under their feet.
    const bool busy = opening_ || QApplication::activeModalWidget()
                      || (spdbtnDownload_ && spdbtnDownload_->isChecked());
    if (busy) {
        const bool waiting = !waitingFiles_.isEmpty();
        waitingFiles_ += files;
        if (!waiting)
            QTimer::singleShot(kWaitingRetryMs, this, &TMainForm::OpenWaitingFiles);
        return;
    }
    // Files handed over meanwhile wait for these, so that one message tells
    // what became of all of them.
    const QScopedValueRollback opening(opening_, true);
    BatchNotifier::Batch batch(*batch_, files.size());
    for (const QString& file : files) {
        if (closed_)
            return;
        batch.StartFile(file);
        if (IOptionPage* open = PageOfFile(file)) {
            NoteRecent(file);
            ShowPage(open);
        } else if (!OpenSeries(file)) {
            batch.FileFailed();
        }
    }
}

void TMainForm::OpenWaitingFiles()
{
    OpenSeriesFiles(std::exchange(waitingFiles_, {}));
}

void TMainForm::HandOver(const QStringList& files)
{
    BringToFront();
    OpenSeriesFiles(files);
}

void TMainForm::BringToFront()
{
    for (const PageEntry& entry : pages_) {
        if (entry.window && entry.window->isVisible()) {
            entry.window->setWindowState(entry.window->windowState() & ~Qt::WindowMinimized);
            entry.window->raise();
        }
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    QWidget* active = currentPage_ && currentPage_->isVisible() ? currentPage_.data() : this;
    active->activateWindow();
}

// ---- File > Open Recent

void TMainForm::FileOpenRecent(const QString& path)
{
    // Only a file that is no longer there leaves the list. One that is there
    // but cannot be opened (a folder, a FIFO, a file the user may not read)
    // gets File > Open's message and stays: it may be readable tomorrow.
    if (IsGone(path)) {
        const QFileInfo file(path);
        Report(kRecentGone.arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())));
        if (recent_.Remove(path))
            StoreRecent();
        return;
    }
    OpenSeries(path);
}

void TMainForm::FileClearRecent()
{
    if (recent_.Clear())
        StoreRecent();
}

void TMainForm::NoteRecent(const QString& path)
{
    if (recent_.Add(path))
        StoreRecent();
}

void TMainForm::StoreRecent()
{
    // Written at once and on its own: nothing else of the settings changes.
    QSettings stored{QLatin1String(kOrganisationName), QLatin1String(kApplicationName)};
    recent_.Save(stored);
    stored.sync();
    if (stored.status() != QSettings::NoError)
        Report(kCannotStoreRecent.arg(QDir::toNativeSeparators(stored.fileName())));
    RefreshRecentMenu();
}

void TMainForm::RefreshRecentMenu()
{
    // The action that asked for the change may be the one being replaced;
    // it goes once its signal is over.
    for (QAction* action : recentMenu_->actions()) {
        recentMenu_->removeAction(action);
        action->deleteLater();
    }
    const QStringList texts = recent_.MenuTexts();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString file = recent_.Files()[i];
        QAction* action = recentMenu_->addAction(texts[i]);
        action->setToolTip(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { FileOpenRecent(file); });
    }
    recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(QStringLiteral("Clear list"));
    clear->setObjectName(QStringLiteral("FileClearRecentItem"));
    connect(clear, &QAction::triggered, this, &TMainForm::FileClearRecent);
    recentMenu_->menuAction()->setEnabled(!recent_.IsEmpty());
}

// ---- drops

bool TMainForm::DragOverWindow(QWidget* target, QEvent* event)
{
    QWidget* window = target->window();
    const bool ours = window == this
                      || std::any_of(pages_.cbegin(), pages_.cend(),
                                     [window](const PageEntry& entry) { return entry.window == window; });
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
    QStringList series, refused;
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        if (url.isLocalFile() && IsSeriesFileName(file))
            series.append(file.absoluteFilePath());
        else
            refused.append(url.isLocalFile() ? file.fileName() : url.toDisplayString());
    }
    OpenSeriesFiles(series);
    if (urls.isEmpty())
        Report(kOnlySeriesDropped);
    else if (!refused.isEmpty())
        Report(kOnlySeriesDropped + kNotOpened.arg(refused.join(QStringLiteral(", "))));
}

}  // namespace kestrava
