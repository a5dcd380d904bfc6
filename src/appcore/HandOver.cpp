#include "appcore/HandOver.h"

#include <algorithm>

#include <QDir>
#include <QStringDecoder>
#include <QtEndian>

namespace kestrava {
namespace {

constexpr char kMagic[] = "KSTV";
constexpr qsizetype kHeaderBytes = 8;  // the start and the number of files

quint32 BigEndian32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

void AppendBigEndian32(QByteArray& bytes, quint32 value)
{
    char raw[4];
    qToBigEndian(value, raw);
    bytes.append(raw, 4);
}

}  // namespace

QByteArray EncodeHandOver(const QStringList& files)
{
    QByteArray bytes(kMagic, 4);
    AppendBigEndian32(bytes, static_cast<quint32>(files.size()));
    for (const QString& file : files) {
        const QByteArray path = file.toUtf8();
        AppendBigEndian32(bytes, static_cast<quint32>(path.size()));
        bytes.append(path);
    }
    return bytes;
}

HandOverMessage DecodeHandOver(const QByteArray& bytes)
{
    using Status = HandOverMessage::Status;
    HandOverMessage message;
    const qsizetype magicBytes = std::min<qsizetype>(bytes.size(), 4);
    if (bytes.left(magicBytes) != QByteArray(kMagic, magicBytes)) {
        message.status = Status::Invalid;
        return message;
    }
    if (bytes.size() < kHeaderBytes)
        return message;
    const quint32 count = BigEndian32(bytes, 4);
    if (count > static_cast<quint32>(kMaxHandOverFiles)) {
        message.status = Status::Invalid;
        return message;
    }
    qsizetype at = kHeaderBytes;
    for (quint32 i = 0; i < count; ++i) {
        if (bytes.size() < at + 4)
            return {};
        const quint32 length = BigEndian32(bytes, at);
        if (length == 0 || length > static_cast<quint32>(kMaxHandOverPathBytes)) {
            message.status = Status::Invalid;
            return message;
        }
        at += 4;
        if (bytes.size() < at + static_cast<qsizetype>(length))
            return {};
        const QByteArray raw = bytes.mid(at, length);
        at += length;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8.decode(raw);
        if (utf8.hasError() || raw.contains('\0') || !QDir::isAbsolutePath(path)) {
            message.status = Status::Invalid;
            return message;
        }
        message.files.append(QDir::cleanPath(path));
    }
    // A message is one hand-over: anything after it is not ours.
    message.status = at == bytes.size() ? Status::Complete : Status::Invalid;
    if (message.status == Status::Invalid)
        message.files.clear();
    return message;
}

}  // namespace kestrava
