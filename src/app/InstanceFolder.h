#pragma once
// The folder of the socket that keeps Kestrava to one running program. It
// must be the user's own and closed to everyone else: a folder another user
// made first, or may enter, lets them squat the socket's name (every start
// then runs alone) or listen in the program's place.

#include <QString>

namespace kestrava {

// What stands at a folder's name, seen without following a link.
struct FolderFacts {
    bool exists = false;
    bool isLink = false;
    bool isFolder = false;
    unsigned ownerUid = 0;
    unsigned mode = 0;  // the permission bits
    QString owner;      // "ann (uid 1000)", or "uid 1000" for a uid without a name
    QString lookError;  // why the name could not be looked at, other than nothing being there
};

enum class FolderFault { None, Missing, Link, NotFolder, OtherOwner, OpenToOthers };

// Whether a folder with these facts is a real folder of the user `userUid`
// that nobody else may enter, and if not, why.
FolderFault JudgeSocketFolder(const FolderFacts& facts, unsigned userUid);

// "/run/user/1000, owned by ann (uid 1000), is a link" and the like, naming
// the folder, its owner and the cause; empty for FolderFault::None.
QString FolderFaultText(const QString& folder, const FolderFacts& facts, FolderFault fault);

#ifndef _WIN32
// The facts of what stands at `folder` now.
FolderFacts LookAtFolder(const QString& folder);

// The folder for the socket: `runtimeFolder` ($XDG_RUNTIME_DIR, may be
// empty) when it is private to the user, else the user's private work folder
// "kestrava-UID" in `tempFolder`, the one the downloads use. Empty when
// neither can be had; `problem` then says why, naming each folder, its owner
// and the cause.
QString PrivateSocketFolder(const QString& runtimeFolder, const QString& tempFolder, QString* problem);
#endif

}  // namespace kestrava
