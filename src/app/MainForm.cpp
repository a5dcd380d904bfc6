#include "app/MainForm.h"

#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QShortcut>

#include "app/AppIcons.h"
#include "app/BatchNotifier.h"
#include "app/GuiSeams.h"
#include "appcore/StartupFiles.h"
#include "appcore/WindowPlacement.h"

namespace kestrava {
namespace {

const QString kCaption = QLatin1String(kApplicationTitle);

}  // namespace

TMainForm::TMainForm(Environment environment, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowCloseButtonHint),
      ownNotifier_(environment.notifier ? nullptr : std::make_unique<MessageBoxNotifier>(this)),
      batch_(std::make_unique<BatchNotifier>(environment.notifier ? *environment.notifier : *ownNotifier_)),
      notifier_(batch_.get()),
      session_(std::move(environment.roots), environment.locale, *notifier_),
      files_(std::make_unique<FileCommands>(*this)),
      data_(std::make_unique<DataCommands>(*this)),
      help_(std::make_unique<HelpCommands>(*this))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kCaption);
    setWindowIcon(AppIcon(QStringLiteral("kestrava")));
    BuildMenus();
    BuildStrip();
    session_.SetRecentListener([this] { files_->RefreshRecentMenu(); });

    // F1 anywhere outside a dialog: the pages are windows of their own and
    // name their help page by the property "helpKeyword".
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, [this] { help_->FormHelp(); });
    // Shut-down also when the session ends without closing the window.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { FormClose(); });
    // Series files dropped on the strip, on a page or on a page's boxes.
    setAcceptDrops(true);
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    closing_ = true;
    // The page windows are children of this window and go with it; by then
    // this object is half gone, so their destroyed() must not reach it.
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window)
            disconnect(window, nullptr, this, nullptr);
    pages_.Clear();
}

bool TMainForm::FormCreate()
{
    const bool placementSaved = session_.ReadSettings();
    files_->RefreshRecentMenu();
    ApplyPlacement(placementSaved);
    if (!session_.PrepareFiles(!placementSaved))
        return false;
    show();
    progress_.lblTicker()->hide();
    // A first run shows a priced grid at once: the sample series below the
    // strip, unless the command line named the series to show.
    if (!placementSaved && startFiles_.isEmpty())
        OpenSampleSeries();
    OpenSeriesFiles(std::exchange(startFiles_, {}));
    return true;
}

void TMainForm::OpenSampleSeries()
{
    const QString sample = session_.Folders().SeriesDir + QLatin1Char('/') + kSampleSeriesName;
    if (!QFileInfo::exists(sample))
        return;
    PageRequest request;
    request.openFromFile = true;
    request.openFileName = sample;
    if (IOptionPage* page = CreatePage(request))
        ShowPage(page);
}

void TMainForm::ApplyPlacement(bool placementSaved)
{
    const AppSettings& settings = session_.Settings();
    QScreen* screen = QGuiApplication::primaryScreen();
    int savedWidth = placementSaved ? settings.Width : 0;
    // A strip saved on a screen that is no longer there would open out of
    // sight; it is placed as on a first run instead.
    if (savedWidth != 0
        && !QGuiApplication::screenAt(QPoint(settings.Left + savedWidth / 2, settings.Top + 4)))
        savedWidth = 0;
    // A saved strip stays on the screen it was saved on.
    if (savedWidth != 0)
        if (QScreen* saved = QGuiApplication::screenAt(
                QPoint(settings.Left + savedWidth / 2, settings.Top + 4)))
            screen = saved;
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int screenWidth = screen ? screen->geometry().width() : workArea.width();
    const StripPlacement placement = PlaceStrip(settings.Left, settings.Top, savedWidth, workArea,
                                                screenWidth, height());
    setMinimumWidth(placement.minWidth);
    resize(placement.width, height());
    move(placement.left, placement.top);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Every way out (File > Exit, the window's close button, a quit of the
    // application) comes here: a page with a changed position asks first,
    // and Cancel keeps the program running.
    if (!session_.Finished() && !ClosePages()) {
        event->ignore();
        return;
    }
    FormClose();
    closing_ = true;
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window)
            window->hide();
    event->accept();
}

bool TMainForm::ClosePages()
{
    for (const QPointer<QWidget>& window : pages_.Windows())
        if (window && !window->close())
            return false;
    return true;
}

void TMainForm::FormClose()
{
    session_.Finish(pos().x(), pos().y(), width());
}

}  // namespace kestrava
