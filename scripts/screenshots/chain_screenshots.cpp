// Writes the documentation's pictures of the chain window:
//   chain_screenshots OUTPUT_FOLDER [SUFFIX]
// the table of one expiry, the term structure and the surface of the SPY
// table of 25 November 2016. Run it on the offscreen platform, once as it
// is and once with QT_SCALE_FACTOR=2 and the suffix "-200".

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QTabBar>
#include <QTableView>
#include <QTabWidget>
#include <QTimer>

#include "chainwindow/ChainWindow.h"
#include "common/notifier.h"
#include "grab_picture.h"

using namespace kestrava;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: chain_screenshots OUTPUT_FOLDER [SUFFIX]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    StderrNotifier notifier;
    ChainEnvironment environment;
    ChainWindow* window = ChainWindow::Open(
        QStringLiteral(KESTRAVA_TEST_DATA_DIR "/quotes-spy-2016-11-25.dat"), QString(), environment,
        notifier);
    if (!window)
        return 1;
    // At the size it opens at: every column of the table in view.
    window->show();
    // SPY's dividend yield of the time.
    window->fseYield->setValue(2.0);
    QEventLoop wait;
    QObject::connect(window, &ChainWindow::solved, &wait, &QEventLoop::quit);
    QTimer::singleShot(60000, &wait, &QEventLoop::quit);
    wait.exec();

    // The monthly expiry of 16 December 2016, a few strikes around the money.
    window->tabExpiries->setCurrentIndex(7);
    window->ckBand->setChecked(true);
    window->fseBand->setValue(4);
    window->tblChain->scrollToTop();
    window->tblChain->selectRow(0);
    bool ok = testsupport::SaveGrab(
        *window, folder + QStringLiteral("/chain-window") + suffix + QStringLiteral(".png"), 3);
    window->tabViews->setCurrentIndex(ChainWindow::kTermView);
    ok = testsupport::SaveGrab(*window,
                               folder + QStringLiteral("/chain-term") + suffix + QStringLiteral(".png"), 3)
         && ok;
    window->fseBand->setValue(20);
    window->tabViews->setCurrentIndex(ChainWindow::kSurfaceView);
    ok = testsupport::SaveGrab(*window,
                               folder + QStringLiteral("/chain-surface") + suffix + QStringLiteral(".png"), 3)
         && ok;
    delete window;
    return ok ? 0 : 1;
}
