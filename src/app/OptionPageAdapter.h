#pragma once
// Option pages (TfrmOPage) for the main window: the page knows nothing of
// the main window, so a small adapter presents it as an IOptionPage and the
// factory hands it what it needs from the main window.

#include "app/MainForm.h"
#include "optionpage/PageInputs.h"

namespace kestrava {

// The main window's settings and folders as a new page takes them.
PageEnvironment PageEnvironmentOf(TMainForm& mainForm);

// Builds a page from the open setup dialog, or from the request's file
// when the request opens one; nullptr when the page had nothing to show (it has
// told the user why).
TMainForm::PageFactory OptionPageFactory();

}  // namespace kestrava
