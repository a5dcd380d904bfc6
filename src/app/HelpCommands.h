#pragma once
// The main window's help: F1, Help > Contents with the strip's help button,
// Help > About, and the help page a dialog asks for.

#include <QString>

namespace kestrava {

class TMainForm;

class HelpCommands {
public:
    explicit HelpCommands(TMainForm& form) : form_(form) {}

    // F1: the help page of the active window; the contents for the strip.
    void FormHelp();
    // Help > Contents and the strip's help button.
    void sbHelpClick();
    void HelpAbout();
    void ShowHelpPage(const QString& keyword);

private:
    TMainForm& form_;
};

}  // namespace kestrava
