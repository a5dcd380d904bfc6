#pragma once
// The main window's commands on market data and settings: File > Download
// Data, View > View Raw Option Data, and Edit's download list, default
// interest rates and servers.

#include <functional>

namespace kestrava {

class TMainForm;

class DataCommands {
public:
    using Command = std::function<void(TMainForm&)>;

    explicit DataCommands(TMainForm& form) : form_(form) {}

    // The download run, with the button spdbtnDownload pressed; the run
    // releases the button when it ends.
    void DoDownload();
    void EditDownloadListItemClick();
    void Editdefaultinterestrates1Click();
    // The download servers and the date format of the price files.
    void EditServersClick();
    // The current page's raw quote file in the program the system opens it with.
    void sbViewDataClick();

    void SetDownloadCommand(Command command) { downloadCommand_ = std::move(command); }
    void SetDownloadListEditor(Command command) { downloadListEditor_ = std::move(command); }

private:
    TMainForm& form_;
    Command downloadCommand_;
    Command downloadListEditor_;
};

}  // namespace kestrava
