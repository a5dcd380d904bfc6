#pragma once
// What the program carries inside itself for the first run: the request
// template of the option quote download and the sample series.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kestrava {

struct AppFolders;

// The form body of the option quote request: the file "POSTSTR5B" in appDir
// when there is one (a template captured from the deployment's own server),
// else the program's resource "POSTSTR5B"; empty when neither exists. A file
// that is no form body (empty, not printable ASCII, not ending in "=" for the
// symbol) is not used, and *problem says why.
QByteArray LoadRequestTemplate(const QString& appDir = QString(), QString* problem = nullptr);

// The sample series' file name in the series folder.
inline const QString kSampleSeriesName = QStringLiteral("sample.ops");

// Places the sample series in the series folder and its price file in the
// data folder, each only when absent there. Returns the files placed; a copy
// that fails adds its reason to `problems`.
QStringList PlaceSamples(const AppFolders& folders, QStringList* problems = nullptr);

}  // namespace kestrava
