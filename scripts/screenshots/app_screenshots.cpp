// Writes pictures of the main window and its dialogs for the documentation:
//   app_screenshots OUTPUT_FOLDER [SUFFIX]
// Run it on the offscreen platform, once as it is and once with
// QT_SCALE_FACTOR=2 and the suffix "-200".

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QToolButton>

#include "app/About.h"
#include "app/IntRateDlg.h"
#include "app/MainForm.h"
#include "app/OptionPageAdapter.h"
#include "app/ServersDlg.h"
#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "download/DownLoadDlg.h"
#include "download/SymbolEditor.h"

using namespace kestrava;

namespace {

bool Save(const QPixmap& picture, const QString& folder, const QString& name, const QString& suffix)
{
    const QString path = QStringLiteral("%1/%2%3.png").arg(folder, name, suffix);
    if (!picture.save(path)) {
        qWarning("cannot write %s", qPrintable(path));
        return false;
    }
    return true;
}

// The strip with one of its menus dropped down below it and, when given,
// one of that menu's submenus open beside it.
QPixmap WithMenu(TMainForm& form, int menuIndex, QMenu* submenu = nullptr)
{
    const QPixmap strip = form.grab();
    QAction* menuAction = form.menuBar()->actions().value(menuIndex);
    QMenu* menu = menuAction ? menuAction->menu() : nullptr;
    if (!menu)
        return strip;
    const QRect item = form.menuBar()->actionGeometry(menuAction);
    menu->popup(form.mapToGlobal(QPoint(item.left(), form.menuBar()->height())));
    const QPixmap dropped = menu->grab();
    QPixmap beside;
    QPoint besideAt;
    if (submenu) {
        const QRect entry = menu->actionGeometry(submenu->menuAction());
        besideAt = QPoint(item.left() + menu->width() - 2, form.menuBar()->height() + entry.top());
        submenu->popup(form.mapToGlobal(besideAt));
        beside = submenu->grab();
        submenu->hide();
    }
    menu->hide();
    const qreal ratio = strip.devicePixelRatio();
    const int menusHeight = std::max<int>(dropped.height() / ratio,
                                          besideAt.y() - form.menuBar()->height() + beside.height() / ratio);
    const QSize logical(strip.width() / ratio, form.menuBar()->height() + menusHeight + 4);
    QPixmap picture(QSize(strip.width(), std::max<int>(strip.height(), logical.height() * ratio)));
    picture.setDevicePixelRatio(ratio);
    picture.fill(QColor(0xD5, 0xDC, 0xE5));  // the desktop below the strip
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, strip);
    painter.drawPixmap(item.left(), form.menuBar()->height(), dropped);
    if (submenu)
        painter.drawPixmap(besideAt, beside);
    return picture;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: app_screenshots OUTPUT_FOLDER [SUFFIX]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(folder);

    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir root;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       root.filePath(QStringLiteral("config")));
    // A user who has opened a few series before.
    const QString series = QStringLiteral("/home/user/.local/share/Tovanek/Kestrava27/Data/");
    QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"))
        .setValue(QStringLiteral("Recent/SeriesFiles"),
                  QStringList{series + QStringLiteral("SPX.ops"),
                              QStringLiteral("/home/user/Documents/SPY Jan.ops"),
                              series + QStringLiteral("sample.ops")});
    SilentNotifier quiet;
    TMainForm form(
        {{root.filePath(QStringLiteral("share")), root.filePath(QStringLiteral("Documents")), root.path()},
         LocaleInfo{},
         &quiet});
    if (!form.FormCreate())
        return 1;
    form.resize(900, form.height());
    QApplication::processEvents();

    bool ok = Save(form.grab(), folder, QStringLiteral("main-window"), suffix);
    ok = Save(WithMenu(form, 0), folder, QStringLiteral("main-window-file-menu"), suffix) && ok;
    ok = Save(WithMenu(form, 0, form.findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"))), folder,
              QStringLiteral("main-window-open-recent"), suffix)
         && ok;

    TdlgIntRates rates(form.Session().Settings(), form.Session().Locale(), &form);
    rates.FSpinEdit2->SetValue(1.25);
    rates.show();
    QApplication::processEvents();
    ok = Save(rates.grab(), folder, QStringLiteral("interest-rates"), suffix) && ok;
    rates.hide();

    TdlgServers servers(form.Session().Settings(), LocaleInfo::FromPattern("M/d/yyyy"),
                        QStringLiteral("/home/you/.config/Tovanek/Kestrava27.conf"), &form);
    servers.edQuoteServer->setText(QStringLiteral("http://quotes.example.com"));
    servers.show();
    QApplication::processEvents();
    ok = Save(servers.grab(), folder, QStringLiteral("servers"), suffix) && ok;
    servers.hide();

    TAboutBoxVer about;
    about.show();
    QApplication::processEvents();
    ok = Save(about.grab(), folder, QStringLiteral("about"), suffix) && ok;
    about.hide();

    // The download dialog as a run starts it, with one symbol unchecked by
    // hand, and the symbol editor over the default list.
    TDloadDlg download(form.Session().TickerList().Entries(), true, false);
    download.ckListBoxCBOE->item(6)->setCheckState(Qt::Unchecked);
    download.show();
    QApplication::processEvents();
    ok = Save(download.grab(), folder, QStringLiteral("download-dialog"), suffix) && ok;
    download.hide();

    TSymEditDlg editor(form.Session().TickerList().Entries(), quiet);
    editor.show();
    QApplication::processEvents();
    ok = Save(editor.grab(), folder, QStringLiteral("symbol-editor"), suffix) && ok;
    editor.hide();

    // The strip while a download runs.
    form.Progress().spdbtnDownload()->setChecked(true);
    form.Progress().pbDownload()->show();
    form.Progress().pbDownload()->setEnabled(true);
    form.Progress().pbDownload()->setMaximum(100);
    form.Progress().pbDownload()->setValue(60);
    form.Progress().lblTicker()->setText(QStringLiteral("Getting Options -> SPX"));
    form.Progress().lblTicker()->show();
    QApplication::processEvents();
    ok = Save(form.grab(), folder, QStringLiteral("main-window-downloading"), suffix) && ok;
    form.Progress().spdbtnDownload()->setChecked(false);
    form.Progress().pbDownload()->hide();
    form.Progress().lblTicker()->hide();

    // The sample series of a first run, opened below the strip.
    form.SetPageFactory(OptionPageFactory());
    form.resize(1060, form.height());
    QApplication::processEvents();
    const QString sample = form.Session().Folders().SeriesDir + QStringLiteral("/sample.ops");
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(sample);
                static_cast<QDialog*>(dialog)->accept();
            }
        }
    });
    answer.start(50);
    form.Files().FileOpen();
    answer.stop();
    // Let the page's debounced fitting of its columns run before the picture.
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    if (QWidget* page = form.findChild<QWidget*>(QStringLiteral("frmOPage"))) {
        const QPixmap strip = form.grab();
        const QPixmap below = page->grab();
        const qreal ratio = strip.devicePixelRatio();
        QPixmap picture(std::max(strip.width(), below.width()), strip.height() + below.height());
        picture.setDevicePixelRatio(ratio);
        picture.fill(QColor(0xD5, 0xDC, 0xE5));
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, strip);
        painter.drawPixmap(QPointF(0, strip.height() / ratio), below);
        painter.end();
        ok = Save(picture, folder, QStringLiteral("first-run-sample"), suffix) && ok;
    } else {
        qWarning("the sample series did not open");
        ok = false;
    }

    form.close();
    return ok ? 0 : 1;
}
