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

}  // namespace

QAction* TMainForm::AddCommand(QMenu* menu, const char* name, const QString& caption,
                               const QKeySequence& shortcut, void (TMainForm::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The pages are windows of their own; their keys reach the menu too.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TMainForm::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, "FileOpenItem", QStringLiteral("&Open saved option series..."),
               QKeySequence(QStringLiteral("Ctrl+O")), &TMainForm::FileOpen);
    // Above Open Recent: a menu disabled while the list is empty would move
    // it one step for the arrow keys once enabled.
    AddCommand(file, "FileOpenChainItem", QStringLiteral("Open &chain..."),
               QKeySequence(QStringLiteral("Ctrl+Shift+O")), &TMainForm::FileOpenChain);
    recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("FileOpenRecentMenu"));
    recentMenu_->setToolTipsVisible(true);
    RefreshRecentMenu();
    AddCommand(file, "FileNewItem", QStringLiteral("&New option series..."),
               QKeySequence(QStringLiteral("Ctrl+N")), &TMainForm::FileNew);
    AddCommand(file, "FileSaveItem", QStringLiteral("&Save option series..."),
               QKeySequence(QStringLiteral("Ctrl+S")), &TMainForm::FileSave);
    file->addSeparator();
    AddCommand(file, "FileDownloadItem", QStringLiteral("&Download Data"),
               QKeySequence(QStringLiteral("Ctrl+D")), &TMainForm::DoDownload);
    AddCommand(file, "FileImportHistoryItem", QStringLiteral("&Import price history..."), QKeySequence(),
               &TMainForm::FileImportHistory);
    file->addSeparator();
    AddCommand(file, "FilePrintItem", QStringLiteral("&Print option series"),
               QKeySequence(QStringLiteral("Ctrl+P")), &TMainForm::FilePrint);
    AddCommand(file, "FileExportGridItem", QStringLiteral("&Export grid..."), QKeySequence(),
               &TMainForm::FileExportGrid);
    file->addSeparator();
    // Ctrl+Q from any window of the program, Alt+F4 on the strip: both
    // are File > Exit, questions and all.
    QAction* exit = AddCommand(file, "FileExitItem", QStringLiteral("E&xit"),
                               QKeySequence(QStringLiteral("Ctrl+Q")), &TMainForm::FileExit);
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+F4")), this), &QShortcut::activated, exit,
            &QAction::trigger);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, "EditOptionItem", QStringLiteral("Change &option settings..."), QKeySequence(),
               &TMainForm::EditChangeOption);
    AddCommand(edit, "Editdefaultinterestrates1", QStringLiteral("Change default interest rates..."),
               QKeySequence(), &TMainForm::Editdefaultinterestrates1Click);
    AddCommand(edit, "EditDownloadListItem", QStringLiteral("Edit Download List..."), QKeySequence(),
               &TMainForm::EditDownloadListItemClick);
    AddCommand(edit, "EditServersItem", QStringLiteral("Servers..."), QKeySequence(),
               &TMainForm::EditServersClick);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(view, "ViewDataItem", QStringLiteral("View Raw Option Data"),
               QKeySequence(QStringLiteral("Ctrl+R")), &TMainForm::sbViewDataClick);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, "HelpContentsItem", QStringLiteral("Help &Contents"), QKeySequence(),
               &TMainForm::sbHelpClick);
    AddCommand(help, "HelpAboutItem", QStringLiteral("&About Kestrava..."), QKeySequence(),
               &TMainForm::HelpAbout);
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
    static void (TMainForm::*const handlers[])() = {
        &TMainForm::FileNew,   &TMainForm::EditChangeOption, &TMainForm::sbViewDataClick,
        &TMainForm::FileOpen,  &TMainForm::FileSave,         &TMainForm::EditDownloadListItemClick,
        &TMainForm::FilePrint, &TMainForm::sbHelpClick,      &TMainForm::DoDownload,
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
