#include "optionpage/PageMessages.h"

#include <utility>

namespace kestrava {

void PageMessages::Hold(Kind kind, const std::string& text)
{
    if (commands_ > 0) {
        held_.push_back({kind, text});
        return;
    }
    PageCommand alone(*this);
    held_.push_back({kind, text});
}

PageCommand::~PageCommand()
{
    if (--messages_.commands_ > 0)
        return;
    // Nothing of the page is touched once the first box is up.
    const std::vector<PageMessages::Held> held = std::exchange(messages_.held_, {});
    Notifier& target = messages_.target_;
    for (const PageMessages::Held& message : held) {
        switch (message.kind) {
        case PageMessages::Kind::Info:
            target.Info(message.text);
            break;
        case PageMessages::Kind::Error:
            target.Error(message.text);
            break;
        case PageMessages::Kind::Warning:
            target.Warning(message.text);
            break;
        }
    }
}

}  // namespace kestrava
