#pragma once
// Opening a file with the desktop's own program for it (a help page in the
// browser, a quote file in a text viewer), and telling the user when no
// program could be started.

#include <QString>

#include <functional>

class QObject;

namespace kestrava {

// What went wrong in opening a file, for the user.
using OpenReport = std::function<void(const QString&)>;

// Opens `file` with the desktop's default program for it. When none can be
// started, `failure` is passed to `report`: at once, or, when the desktop's
// opener only finds out later, when the opener ends (as long as `context`
// lives).
void OpenDocument(const QString& file, QObject* context, const OpenReport& report, const QString& failure);

// Opens `file` with the program `opener` (the desktop's opener, such as
// xdg-open) and passes `failure` to `report` when it cannot be started or
// ends in failure.
void OpenWithOpener(const QString& opener, const QString& file, QObject* context, const OpenReport& report,
                    const QString& failure);

}  // namespace kestrava
