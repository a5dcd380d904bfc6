#include "app/InstanceFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <filesystem>
#include <string>

#include "common/fileaccess.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/WorkFolder.h"

#ifndef _WIN32
#include <cerrno>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrava {
namespace {

const QString kNoPrivateFolder = QStringLiteral(
    "There is no private folder for the socket that keeps Kestrava to one running program: %1.");
const QString kNoRuntimeFolder = QStringLiteral("XDG_RUNTIME_DIR is not set");
const QString kRuntimeFolder = QStringLiteral("the runtime folder %1");
const QString kMissing = QStringLiteral("%1 does not exist");
const QString kUnreachable = QStringLiteral("%1 cannot be looked at: %2");
const QString kLink = QStringLiteral("%1, owned by %2, is a link");
const QString kNotFolder = QStringLiteral("%1, owned by %2, is not a folder");
const QString kOtherOwner = QStringLiteral("%1 belongs to %2, not to you");
const QString kOpenToOthers = QStringLiteral("%1, owned by %2, is open to other users (permissions %3)");
const QString kCannotMake = QStringLiteral("%1 cannot be made in %2, owned by %3: %4");

constexpr unsigned kGroupAndOthers = 077;

}  // namespace

FolderFault JudgeSocketFolder(const FolderFacts& facts, unsigned userUid)
{
    if (!facts.exists)
        return FolderFault::Missing;
    if (facts.isLink)
        return FolderFault::Link;
    if (!facts.isFolder)
        return FolderFault::NotFolder;
    if (facts.ownerUid != userUid)
        return FolderFault::OtherOwner;
    if ((facts.mode & kGroupAndOthers) != 0)
        return FolderFault::OpenToOthers;
    return FolderFault::None;
}

QString FolderFaultText(const QString& folder, const FolderFacts& facts, FolderFault fault)
{
    const QString name = QDir::toNativeSeparators(folder);
    switch (fault) {
    case FolderFault::None:
        return {};
    case FolderFault::Missing:
        return facts.lookError.isEmpty() ? kMissing.arg(name) : kUnreachable.arg(name, facts.lookError);
    case FolderFault::Link:
        return kLink.arg(name, facts.owner);
    case FolderFault::NotFolder:
        return kNotFolder.arg(name, facts.owner);
    case FolderFault::OtherOwner:
        return kOtherOwner.arg(name, facts.owner);
    case FolderFault::OpenToOthers:
        return kOpenToOthers.arg(name, facts.owner,
                                 QString::number(facts.mode & 07777, 8).rightJustified(4, QLatin1Char('0')));
    }
    return {};
}

#ifndef _WIN32
namespace {

QString OwnerText(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return QStringLiteral("%1 (uid %2)").arg(QString::fromLocal8Bit(found->pw_name)).arg(uid);
    return QStringLiteral("uid %1").arg(uid);
}

// The user's private work folder in `temp` for the socket: `shared`, or the
// private folder of another name that every start finds while another user
// holds that name. Empty, with the reason in fault, when there is none.
QString WorkFolderForSocket(const QString& temp, const QString& shared, QString& fault)
{
    QString failure;
    try {
        const std::filesystem::path made = PrivateWorkFolder(std::filesystem::path(temp.toStdU16String()));
        return QString::fromStdU16String(made.u16string());
    } catch (const MarketDataError& error) {
        failure = QString::fromStdString(error.what());
    }
    const FolderFacts facts = LookAtFolder(shared);
    const FolderFault judged = JudgeSocketFolder(facts, ::geteuid());
    if (judged == FolderFault::None || (judged == FolderFault::Missing && facts.lookError.isEmpty())) {
        const int denied = ::access(QFile::encodeName(temp).constData(), W_OK | X_OK) == 0 ? 0 : errno;
        const QString why = denied != 0 ? QString::fromStdString(SystemErrorText(denied)) : failure;
        fault = kCannotMake.arg(QDir::toNativeSeparators(shared), QDir::toNativeSeparators(temp),
                                LookAtFolder(temp).owner, why);
    } else {
        fault = FolderFaultText(shared, facts, judged) + QStringLiteral(" (") + failure + QLatin1Char(')');
    }
    return {};
}

}  // namespace

FolderFacts LookAtFolder(const QString& folder)
{
    FolderFacts facts;
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR)
            facts.lookError = QString::fromStdString(SystemErrorText(error));
        return facts;
    }
    facts.exists = true;
    facts.isLink = S_ISLNK(info.st_mode);
    facts.isFolder = S_ISDIR(info.st_mode);
    facts.ownerUid = info.st_uid;
    facts.mode = info.st_mode & 07777;
    facts.owner = OwnerText(info.st_uid);
    return facts;
}

QString PrivateSocketFolder(const QString& runtimeFolder, const QString& tempFolder, QString* problem)
{
    QStringList faults;
    if (runtimeFolder.isEmpty()) {
        faults.append(kNoRuntimeFolder);
    } else {
        const FolderFacts facts = LookAtFolder(runtimeFolder);
        const FolderFault fault = JudgeSocketFolder(facts, ::geteuid());
        if (fault == FolderFault::None)
            return runtimeFolder;
        faults.append(kRuntimeFolder.arg(FolderFaultText(runtimeFolder, facts, fault)));
    }
    const QString temp = QDir::cleanPath(tempFolder);
    const QString shared = temp + QStringLiteral("/kestrava-") + QString::number(::geteuid());
    QString fault;
    QString folder = WorkFolderForSocket(temp, shared, fault);
    if (!folder.isEmpty())
        return folder;
    faults.append(fault);
    if (problem)
        *problem = kNoPrivateFolder.arg(faults.join(QStringLiteral(", and ")));
    return {};
}
#endif

}  // namespace kestrava
