#include "app/StartupFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/AppFolders.h"

// The resources of a static library are only linked in when registered by
// name; this file is always linked, as the main window reads the template.
static void InitAppResources()
{
    Q_INIT_RESOURCE(app);
    Q_INIT_RESOURCE(help);
}

namespace {
const struct ResourceRegistration {
    ResourceRegistration() { InitAppResources(); }
} resourceRegistration;
}  // namespace

namespace kestrava {
namespace {

bool CopyResource(const QString& resource, const QString& target, QStringList* problems)
{
    QFile in(resource);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit()) {
        if (problems)
            problems->append(QStringLiteral("Cannot write %1: %2")
                                 .arg(QDir::toNativeSeparators(target), out.errorString()));
        return false;
    }
    return true;
}

}  // namespace

QByteArray LoadRequestTemplate()
{
    QFile resource(QStringLiteral(":/POSTSTR5B"));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

QStringList PlaceSamples(const AppFolders& folders, QStringList* problems)
{
    const struct {
        QString resource;
        QString folder;
    } samples[] = {
        {QStringLiteral(":/samples/sample.ops"), folders.SeriesDir},
        {QStringLiteral(":/samples/SMPL.csv"), folders.DataDir},
    };
    QStringList placed;
    for (const auto& sample : samples) {
        const QString target = sample.folder + QLatin1Char('/') + QFileInfo(sample.resource).fileName();
        if (QFileInfo::exists(target) || !QFileInfo::exists(sample.resource))
            continue;
        if (CopyResource(sample.resource, target, problems))
            placed.append(target);
    }
    return placed;
}

}  // namespace kestrava
