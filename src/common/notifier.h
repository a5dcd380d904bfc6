#pragma once
// How the core tells the user something without knowing about windows: the
// GUI shows message boxes, the command-line tool writes to standard error,
// tests record.

#include <string>

namespace kestrava {

// The answers of a question with a Cancel button.
enum class Answer { Yes, No, Cancel };

class Notifier {
public:
    virtual ~Notifier() = default;
    // A file or parse problem: information icon, OK button.
    virtual void Info(const std::string& text) = 0;
    // A broken series file: error icon, OK button.
    virtual void Error(const std::string& text) = 0;
    // Where a loop can go on with its next item: warning icon, Yes and No.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Before something is destroyed (a file replaced): Yes and No, with No
    // the answer Enter gives.
    virtual bool AskYesNoDefaultNo(const std::string& text) { return AskYesNo(text); }
    // Before the user's own work is dropped (a changed position on closing):
    // Yes, No and Cancel, with Yes the answer Enter gives. Where no Cancel
    // can be offered, the Yes or No of AskYesNo.
    virtual Answer AskYesNoCancel(const std::string& text)
    {
        return AskYesNo(text) ? Answer::Yes : Answer::No;
    }
    // Something the user should know that stops nothing (a step that failed
    // while its loop goes on, too few days for a volatility): warning icon,
    // OK button. Shown as an information message where no warning is offered.
    virtual void Warning(const std::string& text) { Info(text); }
};

// Writes every message as a line on standard error; AskYesNo answers yes.
class StderrNotifier : public Notifier {
public:
    void Info(const std::string& text) override;
    void Error(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
};

// Swallows everything; for callers that report results by their own means.
class SilentNotifier : public Notifier {
public:
    void Info(const std::string&) override {}
    void Error(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
};

}  // namespace kestrava
