#pragma once
// TMainForm: the strip at the top of the screen with the menu and the tool
// buttons. It shows the menus and dialogs over the session (AppSession:
// what lives for the whole run without a window) and knows which option
// page is current.

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include "app/DataCommands.h"
#include "app/DownloadProgress.h"
#include "app/FileCommands.h"
#include "app/HelpCommands.h"
#include "app/OptionPageHost.h"
#include "app/PageList.h"
#include "appcore/AppSession.h"

class QDropEvent;

namespace kestrava {

class BatchNotifier;
class ChainWindow;
class Notifier;
class TdlgInputs;
struct ChainSelection;
struct SeriesSetup;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // What the platform tells the program; tests hand in their own.
    struct Environment {
        FolderRoots roots;
        LocaleInfo locale;
        Notifier* notifier = nullptr;  // message boxes when not set
    };

    // Builds a page for the main window. The page reads OpenFromFile() and
    // OpenFileName(), or the still open SetupDialog(); it may throw, and the
    // command that asked for it shows the error's text.
    using PageFactory = std::function<std::unique_ptr<IOptionPage>(TMainForm&)>;
    // A command that another part of the program provides (the download run,
    // the symbol editor).
    using Command = std::function<void(TMainForm&)>;

    explicit TMainForm(Environment environment, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Restores the settings and the placement, finds or makes the folders,
    // loads or writes the download list and shows the window. False when the
    // program cannot run (the reason has been shown); the window then stays
    // hidden.
    bool FormCreate();
    // Series files named on the command line: FormCreate opens them (a first
    // run then opens them instead of the sample).
    void SetStartFiles(const QStringList& files) { startFiles_ = files; }

    // Process-wide state: settings, folders, the download list, the recent
    // series.
    AppSession& Session() { return session_; }
    const AppSession& Session() const { return session_; }
    Notifier& Messages() { return *notifier_; }
    // What the page being made reads: the series file to open, or the
    // setup of the still open setup dialog or of a chain's selection.
    struct PageRequest {
        bool openFromFile = false;
        QString openFileName;
        TdlgInputs* setupDialog = nullptr;
        const SeriesSetup* chainSetup = nullptr;  // while a chain's page is made
    };
    const PageRequest& Request() const { return request_; }

    // Hooks the rest of the program fills in.
    void SetPageFactory(PageFactory factory) { pageFactory_ = std::move(factory); }
    // The download run; DoDownload calls it with the button spdbtnDownload
    // pressed, and the run releases the button when it ends.
    void SetDownloadCommand(Command command) { data_->SetDownloadCommand(std::move(command)); }
    // The symbol editor over TickerList().
    void SetDownloadListEditor(Command command) { data_->SetDownloadListEditor(std::move(command)); }
    // Runs on every setup dialog before it is shown (tests answer its file
    // dialog through this).
    void SetSetupDialogHook(std::function<void(TdlgInputs&)> hook)
    {
        files_->SetSetupDialogHook(std::move(hook));
    }

    // The menus' and the strip's commands.
    FileCommands& Files() { return *files_; }
    DataCommands& Data() { return *data_; }
    HelpCommands& Help() { return *help_; }

    // Pages.
    // Takes a page built elsewhere into the main window's care: the main
    // window owns its window from now on and follows its activation.
    IOptionPage* AddPage(std::unique_ptr<IOptionPage> page);
    // The current option page, or nullptr. Pending events run first, so
    // activations and closings that are still queued count.
    IOptionPage* FindActivePage();
    // Save for the page whose window this is: the save dialog, then the
    // page's series and position in the chosen file. False when the user
    // cancelled or the file could not be written.
    bool SaveWindowAs(QWidget* window);
    // The pages, in the order they were opened, and the current one (a
    // command that replaces a page makes its new page current).
    PageList& Pages() { return pages_; }

    // Series files from outside the program (the command line, a second
    // start, a drop): each opens as a page as File > Open does; a file whose
    // page is open brings that page to the front instead. What File > Open
    // would say of a missing or damaged file comes as it is for one file, and
    // for several in one message listing each file with its cause. While a
    // dialog is open or a download runs they wait, and open once it is over.
    void OpenSeriesFiles(const QStringList& files);
    // What a second start hands over: its files, or with none, only the
    // wish to see the program.
    void HandOver(const QStringList& files);
    // Brings the strip, unminimised, in front of the other windows.
    void BringToFront();
    // The chain of quote table `file` in a window of its own, showing the
    // option root `root` when the table has it; nullptr after a message when
    // the file cannot be read.
    ChainWindow* OpenChain(const QString& file, const QString& root = QString());
    // A new page from a chain's selection, made as a new series is; nullptr
    // when the page had nothing to show (it has said why).
    IOptionPage* NewSeriesFromChain(const ChainSelection& selection);

    // The download progress display.
    DownloadProgress& Progress() { return progress_; }

    // A new page made by the page factory from `request` (a setup dialog's
    // or chain's setup is read only while the page is made), taken into the
    // main window's care; nullptr after a message when no page came of it.
    IOptionPage* CreatePage(const PageRequest& request);
    // Shows a page in front and lets its first paint happen.
    void ShowPage(IOptionPage* page);
    // File > Open's opening of one file: a new page that loads it. False
    // when no page came of it (the page has said why).
    bool OpenSeries(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    // A page becomes current when it becomes the active window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildStrip();
    void ApplyPlacement(bool savedPlacementUsable);
    void OpenSampleSeries();
    void OpenWaitingFiles();
    // A drag over the strip or a page (or one of its boxes, for files):
    // true when it was dealt with here.
    bool DragOverWindow(QWidget* target, QEvent* event);
    void DropFiles(const QList<QUrl>& urls);
    void FormClose();

    // Closes every page, each asking about a changed position first; false
    // when one stays open (the user cancelled).
    bool ClosePages();

    std::unique_ptr<Notifier> ownNotifier_;
    // Every message of the window and its pages passes it.
    std::unique_ptr<BatchNotifier> batch_;
    Notifier* notifier_ = nullptr;

    AppSession session_;
    PageRequest request_;
    QStringList startFiles_;
    bool opening_ = false;  // a series file is being opened

    PageList pages_;
    bool closing_ = false;

    PageFactory pageFactory_;
    std::unique_ptr<FileCommands> files_;
    std::unique_ptr<DataCommands> data_;
    std::unique_ptr<HelpCommands> help_;

    QWidget* panel_ = nullptr;
    DownloadProgress progress_;
};

}  // namespace kestrava
