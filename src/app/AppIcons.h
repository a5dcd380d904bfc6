#pragma once
// The program's icons, drawn as SVG and built into the program.

#include <QIcon>
#include <QString>

namespace kestrava {

// The icon NAME.svg of the program's own icons ("kestrava", "new", "open", ...).
QIcon AppIcon(const QString& name);

}  // namespace kestrava
