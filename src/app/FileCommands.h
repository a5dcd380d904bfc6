#pragma once
// The main window's commands on series files and pages: File > New, Open,
// Open chain, Open Recent, Save, Import price history, Print, Export grid
// and Exit, and Edit > Change option settings. Each shows its dialogs over
// the main window and makes or saves pages through it.

#include <functional>
#include <memory>

#include <QString>

class QMenu;

namespace kestrava {

class AppSession;
class IOptionPage;
class Notifier;
class TdlgInputs;
class TMainForm;

class FileCommands {
public:
    explicit FileCommands(TMainForm& form);

    void FileNew();
    void EditChangeOption();
    void FileOpen();
    // File > Open Recent: one of the series opened or saved last, and
    // emptying that list.
    void FileOpenRecent(const QString& path);
    void FileClearRecent();
    // A quote table of the user's choice in the chain window.
    void FileOpenChain();
    // A daily price history file of the user's choice made the price file of
    // a symbol the user names, in the price-file folder.
    void FileImportHistory();
    void FileSave();
    // The save dialog, then the page's series and position in the chosen
    // file. False when the user cancelled or the file could not be written.
    bool SavePageAs(IOptionPage* page);
    void FilePrint();
    // Every expiry of the current page into a CSV file of the user's choice.
    void FileExportGrid();
    void FileExit();

    // File > Open Recent's menu, filled from the session's recent series.
    void SetRecentMenu(QMenu* menu) { recentMenu_ = menu; }
    void RefreshRecentMenu();
    // Runs on every setup dialog before it is shown (tests answer its file
    // dialog through this).
    void SetSetupDialogHook(std::function<void(TdlgInputs&)> hook) { setupDialogHook_ = std::move(hook); }

private:
    std::unique_ptr<TdlgInputs> NewSetupDialog();
    bool RunSetupDialog(TdlgInputs& dialog);
    // Where price files go: the setting Dirs/AsciiDataDir, else the data folder.
    QString PriceFolder() const;
    AppSession& Session() const;
    Notifier& Messages() const;

    TMainForm& form_;
    QMenu* recentMenu_ = nullptr;
    std::function<void(TdlgInputs&)> setupDialogHook_;
};

}  // namespace kestrava
