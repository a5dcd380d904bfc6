#pragma once
// The windows' side of the core's seams: message boxes for the notifier and
// the wait cursor for the busy indicator.

#include <QPointer>
#include <QWidget>

#include "common/busy.h"
#include "common/notifier.h"

namespace kestrava {

class MessageBoxNotifier : public Notifier {
public:
    // The boxes are centred over the program's window in use, else over
    // `parent` when it is set and still alive.
    explicit MessageBoxNotifier(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Info(const std::string& text) override;
    void Error(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskYesNoDefaultNo(const std::string& text) override;
    Answer AskYesNoCancel(const std::string& text) override;
    // Shown with the normal cursor also while the hourglass is up.
    void Warning(const std::string& text) override;

private:
    QWidget* Owner() const;

    QPointer<QWidget> parent_;
};

class WaitCursorIndicator : public BusyIndicator {
public:
    void Begin() override;
    void End() override;
};

}  // namespace kestrava
