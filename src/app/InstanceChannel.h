#pragma once
// One running program per user and display. The first start listens on a
// local socket in a folder private to the user (InstanceFolder.h); a later
// start hands its series files to it over that socket and ends.
//
// A hand-over is a small message (appcore/HandOver.h). The listener answers
// one byte once it has read a message whole, and trusts nothing in it
// beyond being a list of paths, which it opens as File > Open would.

#include <functional>

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QStringList>

#include "appcore/HandOver.h"

class QLocalSocket;

namespace kestrava {

// The socket of this user's program on this display: "kestrava-DISPLAY.socket"
// in the runtime folder (XDG_RUNTIME_DIR) when that is private to the user,
// else in the user's private work folder in the temporary directory. Empty
// when there is no such folder; `problem` then says why.
QString InstanceSocketPath(QString* problem = nullptr);

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Listening,    // this is the running program now
        HandedOver,   // the running program took the files
        NotAnswered,  // a program listens but did not take the files
        Unavailable,  // no socket can be had; the program runs on its own
    };

    // An empty `socketPath` has no socket, for the reason `noSocket`.
    explicit InstanceChannel(const QString& socketPath, const QString& noSocket = QString(),
                             QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Hands `files` (the first kMaxHandOverFiles) to the program listening
    // on the socket or, when none listens, takes the socket over: one left by
    // a program that crashed is removed unread. `problem` says why for NotAnswered and Unavailable.
    Claim ClaimOrHandOver(const QStringList& files, QString* problem);

    // Where received hand-overs go (no files: come to the front). Those that
    // came before a receiver was set are delivered to it at once.
    void SetReceiver(std::function<void(const QStringList&)> receiver);

private:
    void AcceptConnections();
    void ReadFrom(QLocalSocket* socket, QByteArray& received);
    void Deliver(const QStringList& files);

    QString socketPath_;
    QString noSocket_;
    QLocalServer server_;
    std::function<void(const QStringList&)> receiver_;
    QList<QStringList> undelivered_;
};

}  // namespace kestrava
