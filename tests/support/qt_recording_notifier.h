#pragma once
// The recorder of user messages for the Qt tests, holding QStrings.

#include <QString>
#include <QStringList>

#include "recording_notifier.h"

namespace kestrava::testsupport {

template <>
struct RecordedText<QString> {
    static QString From(const std::string& text) { return QString::fromStdString(text); }
};

using QtRecordingNotifier = BasicRecordingNotifier<QStringList>;

}  // namespace kestrava::testsupport
