// The main window's strip: its menus with their shortcuts, the tool
// buttons, and the download progress shown at its right end.

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <functional>

#include "app/AppIcons.h"
#include "app/MainForm.h"
#include "appcore/WindowPlacement.h"

namespace kestrava {
namespace {

const QString kStripHint = QStringLiteral("You can drag right border to make larger grid.");

// Design metrics of the strip, in pixels at the design font; they grow with
// the user's font.
constexpr int kStripHeight = 29;
constexpr int kButtonSize = 25;
constexpr int kButtonTop = 2;

struct ToolButtonDesign {
    const char* name;
    int left;
    const char* hint;
    const char* icon;
};

QAction* AddCommand(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                    QObject* context, const std::function<void()>& handler)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The pages are windows of their own; their keys reach the menu too.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    QObject::connect(action, &QAction::triggered, context, handler);
    return action;
}

}  // namespace

void TMainForm::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, "FileOpenItem", QStringLiteral("&Open saved option series..."),
               QKeySequence(QStringLiteral("Ctrl+O")), this, [this] { files_->FileOpen(); });
    // Above Open Recent: a menu disabled while the list is empty would move
    // it one step for the arrow keys once enabled.
    AddCommand(file, "FileOpenChainItem", QStringLiteral("Open &chain..."),
               QKeySequence(QStringLiteral("Ctrl+Shift+O")), this, [this] { files_->FileOpenChain(); });
    QMenu* recent = file->addMenu(QStringLiteral("Open &Recent"));
    recent->setObjectName(QStringLiteral("FileOpenRecentMenu"));
    recent->setToolTipsVisible(true);
    files_->SetRecentMenu(recent);
    files_->RefreshRecentMenu();
    AddCommand(file, "FileNewItem", QStringLiteral("&New option series..."),
               QKeySequence(QStringLiteral("Ctrl+N")), this, [this] { files_->FileNew(); });
    AddCommand(file, "FileSaveItem", QStringLiteral("&Save option series..."),
               QKeySequence(QStringLiteral("Ctrl+S")), this, [this] { files_->FileSave(); });
    file->addSeparator();
    AddCommand(file, "FileDownloadItem", QStringLiteral("&Download Data"),
               QKeySequence(QStringLiteral("Ctrl+D")), this, [this] { data_->DoDownload(); });
    AddCommand(file, "FileImportHistoryItem", QStringLiteral("&Import price history..."), QKeySequence(),
               this, [this] { files_->FileImportHistory(); });
    file->addSeparator();
    AddCommand(file, "FilePrintItem", QStringLiteral("&Print option series"),
               QKeySequence(QStringLiteral("Ctrl+P")), this, [this] { files_->FilePrint(); });
    AddCommand(file, "FileExportGridItem", QStringLiteral("&Export grid..."), QKeySequence(), this,
               [this] { files_->FileExportGrid(); });
    file->addSeparator();
    // Ctrl+Q from any window of the program, Alt+F4 on the strip: both
    // are File > Exit, questions and all.
    QAction* exit = AddCommand(file, "FileExitItem", QStringLiteral("E&xit"),
                               QKeySequence(QStringLiteral("Ctrl+Q")), this, [this] { files_->FileExit(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+F4")), this), &QShortcut::activated, exit,
            &QAction::trigger);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, "EditOptionItem", QStringLiteral("Change &option settings..."), QKeySequence(), this,
               [this] { files_->EditChangeOption(); });
    AddCommand(edit, "Editdefaultinterestrates1", QStringLiteral("Change default interest rates..."),
               QKeySequence(), this, [this] { data_->Editdefaultinterestrates1Click(); });
    AddCommand(edit, "EditDownloadListItem", QStringLiteral("Edit Download List..."), QKeySequence(), this,
               [this] { data_->EditDownloadListItemClick(); });
    AddCommand(edit, "EditServersItem", QStringLiteral("Servers..."), QKeySequence(), this,
               [this] { data_->EditServersClick(); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(view, "ViewDataItem", QStringLiteral("View Raw Option Data"),
               QKeySequence(QStringLiteral("Ctrl+R")), this, [this] { data_->sbViewDataClick(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, "HelpContentsItem", QStringLiteral("Help &Contents"), QKeySequence(), this,
               [this] { help_->sbHelpClick(); });
    AddCommand(help, "HelpAboutItem", QStringLiteral("&About Kestrava..."), QKeySequence(), this,
               [this] { help_->HelpAbout(); });
}

void TMainForm::BuildStrip()
{
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setToolTip(kStripHint);
    setCentralWidget(panel_);

    // The design's pixel positions, scaled by the user's font so that a
    // larger font gets larger buttons (the design font is 16 pixels high).
    const double unit = std::max(1.0, panel_->fontMetrics().height() / 16.0);
    const auto scaled = [unit](int design) { return static_cast<int>(std::lround(design * unit)); };
    const int button = scaled(kButtonSize);

    static const ToolButtonDesign buttons[] = {
        {"sbNew", 8, "Setup new option series", "new"},
        {"sbEdit", 39, "Edit option series", "edit"},
        {"sbViewData", 78, "View raw option data", "viewdata"},
        {"sbFileOpen", 109, "Load Option Series", "open"},
        {"sbFileSave", 136, "Save option series", "save"},
        {"sbEditList", 170, "Edit Symbol/Ticker download list", "editlist"},
        {"sbPrint", 198, "Print selected grid or chart", "print"},
        {"sbHelp", 229, "Show Help", "help"},
        {"spdbtnDownload", 316, "Fetch market data", "download"},
    };
    const std::function<void()> handlers[] = {
        [this] { files_->FileNew(); },        [this] { files_->EditChangeOption(); },
        [this] { data_->sbViewDataClick(); }, [this] { files_->FileOpen(); },
        [this] { files_->FileSave(); },       [this] { data_->EditDownloadListItemClick(); },
        [this] { files_->FilePrint(); },      [this] { help_->sbHelpClick(); },
        [this] { data_->DoDownload(); },
    };
    QToolButton* downloadButton = nullptr;
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        auto* tool = new QToolButton(panel_);
        tool->setObjectName(QLatin1String(buttons[i].name));
        tool->setToolTip(QLatin1String(buttons[i].hint));
        tool->setIcon(AppIcon(QLatin1String(buttons[i].icon)));
        tool->setIconSize(QSize(scaled(16), scaled(16)));
        tool->setAutoRaise(true);
        tool->setFocusPolicy(Qt::NoFocus);
        tool->setGeometry(scaled(buttons[i].left), scaled(kButtonTop), button, button);
        connect(tool, &QToolButton::clicked, this, handlers[i]);
        if (i + 1 == std::size(buttons)) {
            // Stays down while a download runs; the run releases it.
            tool->setCheckable(true);
            downloadButton = tool;
        }
    }

    auto* bar = new QProgressBar(panel_);
    bar->setObjectName(QStringLiteral("pbDownload"));
    bar->setTextVisible(false);
    bar->setGeometry(scaled(356), scaled(9), scaled(120), scaled(12));
    bar->setEnabled(false);
    bar->hide();

    auto* ticker = new QLabel(QStringLiteral("Getting ->"), panel_);
    ticker->setObjectName(QStringLiteral("lblTicker"));
    ticker->move(scaled(500), scaled(8) - (ticker->fontMetrics().height() - scaled(13)) / 2);
    ticker->resize(scaled(270), ticker->fontMetrics().height());
    ticker->hide();
    progress_ = DownloadProgress(downloadButton, bar, ticker);

    // Only the width can change: the height is the menu and the strip.
    const int height = menuBar()->sizeHint().height() + scaled(kStripHeight);
    setMinimumSize(kStripWidth, height);
    setMaximumHeight(height);
    resize(kStripWidth, height);
}

}  // namespace kestrava
