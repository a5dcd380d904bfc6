#include "app/AppIcons.h"

// The resources of a static library are only linked in when registered by
// name, so every icon is asked for through AppIcon.
static void InitIconResources()
{
    Q_INIT_RESOURCE(app);
}

namespace kestrava {

QIcon AppIcon(const QString& name)
{
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

}  // namespace kestrava
