#include "app/InstanceChannel.h"

#include <memory>
#include <utility>

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include "app/InstanceFolder.h"

namespace kestrava {
namespace {

constexpr char kTaken = 0x06;

constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 5000;
constexpr int kClaimLockMs = 10000;
// A sender that stays silent this long is dropped.
constexpr int kReadMs = 10000;

// ":0.0" and ":0" are the same display; the rest only has to make a file name.
QString DisplayTag()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        static const QRegularExpression screen(QStringLiteral("^(.*:\\d+)\\.\\d+$"));
        display.replace(screen, QStringLiteral("\\1"));
    }
    if (display.isEmpty())
        display = QGuiApplication::platformName();
    QString tag;
    for (const QChar c : display.left(48)) {
        const bool plain = (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.')
                           || c == QLatin1Char('-');
        tag += plain ? c : QLatin1Char('_');
    }
    return tag;
}

}  // namespace

QString InstanceSocketPath(QString* problem)
{
#ifdef _WIN32
    // A named pipe there, of the user's own session.
    (void)problem;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#else
    // Read here rather than through QStandardPaths, which makes a folder of
    // its own in the shared temporary directory when the variable is unset.
    const QString folder = PrivateSocketFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
                                               problem);
#endif
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/kestrava-") + DisplayTag() + QStringLiteral(".socket");
}

InstanceChannel::InstanceChannel(const QString& socketPath, const QString& noSocket, QObject* parent)
    : QObject(parent), socketPath_(socketPath), noSocket_(noSocket)
{
    connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::AcceptConnections);
}

InstanceChannel::~InstanceChannel()
{
    // Closing removes the socket file, so the next start finds none.
    server_.close();
}

InstanceChannel::Claim InstanceChannel::ClaimOrHandOver(const QStringList& files, QString* problem)
{
    const auto fail = [problem](Claim claim, const QString& why) {
        if (problem)
            *problem = why;
        return claim;
    };
    if (socketPath_.isEmpty())
        return fail(Claim::Unavailable, !noSocket_.isEmpty()
                                            ? noSocket_
                                            : QStringLiteral("There is no folder for the socket that keeps "
                                                             "Kestrava to one running program."));

    // Two starts at once: the second waits until the first listens.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kClaimLockMs))
        return fail(Claim::NotAnswered,
                    QStringLiteral("Another start of Kestrava did not finish claiming %1.")
                        .arg(QDir::toNativeSeparators(socketPath_)));

    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(kConnectMs)) {
        // What the listener would refuse is left out: more files than a
        // desktop hands over at once, or a path longer than any file's.
        QStringList sent;
        for (const QString& file : files)
            if (sent.size() < kMaxHandOverFiles && file.toUtf8().size() <= kMaxHandOverPathBytes)
                sent.append(file);
        socket.write(EncodeHandOver(sent));
        const QDeadlineTimer deadline(kAnswerMs);
        // Qt's waits take int milliseconds; what remains is at most kAnswerMs.
        const auto remaining = [&deadline] { return static_cast<int>(deadline.remainingTime()); };
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(remaining())) {}
        while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState
               && socket.waitForReadyRead(remaining())) {}
        if (socket.read(1) == QByteArray(1, kTaken))
            return Claim::HandedOver;
        return fail(Claim::NotAnswered,
                    QStringLiteral("Kestrava is running already but did not answer on %1.")
                        .arg(QDir::toNativeSeparators(socketPath_)));
    }
    const QLocalSocket::LocalSocketError error = socket.error();
    if (error != QLocalSocket::ServerNotFoundError && error != QLocalSocket::ConnectionRefusedError)
        return fail(Claim::Unavailable,
                    QStringLiteral("Cannot reach %1: %2")
                        .arg(QDir::toNativeSeparators(socketPath_), socket.errorString()));

    // Nobody listens: a socket file left behind by a crash is taken over.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_))
        return fail(Claim::Unavailable,
                    QStringLiteral("Cannot listen on %1: %2")
                        .arg(QDir::toNativeSeparators(socketPath_), server_.errorString()));
    return Claim::Listening;
}

void InstanceChannel::SetReceiver(std::function<void(const QStringList&)> receiver)
{
    receiver_ = std::move(receiver);
    const QList<QStringList> waiting = std::exchange(undelivered_, {});
    for (const QStringList& files : waiting)
        Deliver(files);
}

void InstanceChannel::AcceptConnections()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, received] { ReadFrom(socket, *received); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kReadMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void InstanceChannel::ReadFrom(QLocalSocket* socket, QByteArray& received)
{
    received += socket->read(kMaxHandOverBytes + 1 - received.size());
    const HandOverMessage message = received.size() > kMaxHandOverBytes
                                        ? HandOverMessage{HandOverMessage::Status::Invalid, {}}
                                        : DecodeHandOver(received);
    switch (message.status) {
    case HandOverMessage::Status::Incomplete:
        return;
    case HandOverMessage::Status::Invalid:
        disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
        socket->abort();
        socket->deleteLater();
        return;
    case HandOverMessage::Status::Complete:
        disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
        socket->write(QByteArray(1, kTaken));
        socket->flush();
        socket->disconnectFromServer();
        // Opened once this handler is done: opening may show message boxes.
        QMetaObject::invokeMethod(
            this, [this, files = message.files] { Deliver(files); }, Qt::QueuedConnection);
        return;
    }
}

void InstanceChannel::Deliver(const QStringList& files)
{
    if (receiver_)
        receiver_(files);
    else
        undelivered_.append(files);
}

}  // namespace kestrava
