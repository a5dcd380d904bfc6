#include "appcore/StartupFiles.h"

#include <algorithm>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "appcore/AppFolders.h"
#include "common/filestream.h"

// The resources of a static library are only linked in when registered by
// name; this file is always linked, as every program reads the template.
static void InitAppResources()
{
    Q_INIT_RESOURCE(appcore);
    Q_INIT_RESOURCE(help);
}

namespace {
const struct ResourceRegistration {
    ResourceRegistration() { InitAppResources(); }
} resourceRegistration;
}  // namespace

namespace kestrava {
namespace {

// A captured form body is a few kilobytes.
constexpr std::uintmax_t kMaxRequestTemplateBytes = 1u << 20;

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

QByteArray LoadRequestTemplate(const QString& appDir, QString* problem)
{
    const QString ownFile = appDir + QStringLiteral("/POSTSTR5B");
    if (!appDir.isEmpty() && QFileInfo::exists(ownFile)) {
        QByteArray body;
        QString reason;
        std::string bytes;
        std::string openProblem;
        // Opened once and checked on the open file: a FIFO at the name would
        // hold the program.
        if (!ReadRegularFile(QFile::encodeName(ownFile).toStdString(), bytes, kMaxRequestTemplateBytes,
                             openProblem)) {
            reason = QString::fromStdString(openProblem);
        } else {
            // An editor's line end after a pasted capture is no part of it.
            body = QByteArray::fromStdString(bytes);
            while (body.endsWith('\n') || body.endsWith('\r'))
                body.chop(1);
            if (body.isEmpty())
                reason = QStringLiteral("it is empty");
            else if (std::any_of(body.cbegin(), body.cend(), [](char c) { return c <= ' ' || c > '~'; }))
                reason = QStringLiteral("it holds characters that are no printable ASCII");
            else if (!body.endsWith('='))
                reason = QStringLiteral("it does not end with \"=\" for the symbol");
        }
        if (reason.isEmpty())
            return body;
        if (problem)
            *problem = QStringLiteral(
                           "The file %1 is no quote request template (%2); the built-in one is used.")
                           .arg(QDir::toNativeSeparators(ownFile), reason);
    }
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
