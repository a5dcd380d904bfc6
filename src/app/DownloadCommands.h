#pragma once
// The main window's download command (the dialog, the two downloads, the
// refresh of the current page) and its symbol editor. The command owns the
// shared HTTP client, so the client lives as long as the main window.

#include <functional>

#include "app/MainForm.h"
#include "common/dates.h"

namespace kestrava {

class HTTPer;
class TDloadDlg;
class TSymEditDlg;

struct DownloadCommandOptions {
    int timeoutMs = 20000;  // connect and read time-outs of every request
    // The date the history ends on; today's when not set.
    std::function<TDateTime()> today;
    // Runs on every dialog before it is shown (tests answer it through this).
    std::function<void(TDloadDlg&)> dialogHook;
    // Runs on the client before each run (tests watch its events).
    std::function<void(HTTPer&)> clientHook;
};

// DoDownload's work after the empty-list check: while a run is going on, a
// second call (the download button or Ctrl+D pressed again) stops it, as
// Escape does.
TMainForm::Command DownloadCommand(DownloadCommandOptions options = {});

// The symbol editor over the main window's download list.
TMainForm::Command SymbolEditorCommand(std::function<void(TSymEditDlg&)> dialogHook = {});

}  // namespace kestrava
