#pragma once
// A page's messages wait until the command that raised them has finished
// with the page. A message box lets events run, and those may close the
// page; shown last, a message can no longer pull the page away from under
// the command that is still working on it.

#include <set>
#include <string>
#include <vector>

#include "common/notifier.h"

namespace kestrava {

class PageMessages : public Notifier {
public:
    explicit PageMessages(Notifier& target) : target_(target) {}

    void Info(const std::string& text) override { Hold(Kind::Info, text); }
    void Error(const std::string& text) override { Hold(Kind::Error, text); }
    void Warning(const std::string& text) override { Hold(Kind::Warning, text); }
    // A question's answer cannot wait; no page command asks one.
    bool AskYesNo(const std::string& text) override { return target_.AskYesNo(text); }
    bool AskYesNoDefaultNo(const std::string& text) override { return target_.AskYesNoDefaultNo(text); }
    Answer AskYesNoCancel(const std::string& text) override { return target_.AskYesNoCancel(text); }

private:
    friend class PageCommand;
    enum class Kind { Info, Error, Warning };
    struct Held {
        Kind kind;
        std::string text;
    };
    void Hold(Kind kind, const std::string& text);

    Notifier& target_;
    int commands_ = 0;  // commands running, nested ones included
    std::vector<Held> held_;
};

// Passes each text on once until told to forget: a chart drawn again at
// every resize says what is wrong with its file once, not at every drawing.
class OnceNotifier : public Notifier {
public:
    explicit OnceNotifier(Notifier& target) : target_(target) {}
    void Forget() { said_.clear(); }

    void Info(const std::string& text) override
    {
        if (First(text))
            target_.Info(text);
    }
    void Error(const std::string& text) override
    {
        if (First(text))
            target_.Error(text);
    }
    void Warning(const std::string& text) override
    {
        if (First(text))
            target_.Warning(text);
    }
    bool AskYesNo(const std::string& text) override { return target_.AskYesNo(text); }
    bool AskYesNoDefaultNo(const std::string& text) override { return target_.AskYesNoDefaultNo(text); }
    Answer AskYesNoCancel(const std::string& text) override { return target_.AskYesNoCancel(text); }

private:
    bool First(const std::string& text) { return said_.insert(text).second; }

    Notifier& target_;
    std::set<std::string> said_;
};

// One command of the page, from an event to the end of its handler. The
// outermost command shows the messages held meanwhile, as its last act: the
// page may be gone after the first of them.
class PageCommand {
public:
    explicit PageCommand(PageMessages& messages) : messages_(messages) { ++messages_.commands_; }
    ~PageCommand();
    PageCommand(const PageCommand&) = delete;
    PageCommand& operator=(const PageCommand&) = delete;

private:
    PageMessages& messages_;
};

}  // namespace kestrava
