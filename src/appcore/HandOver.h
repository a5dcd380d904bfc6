#pragma once
// The message in which a second start of the program hands its series files
// to the running one: "KSTV", the number of files (32 bits, big-endian),
// then each file as its length in bytes (32 bits) and its absolute path in
// UTF-8. Read without trusting anything in it beyond being a list of paths.

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

namespace kestrava {

inline constexpr int kMaxHandOverFiles = 256;
inline constexpr int kMaxHandOverPathBytes = 4096;

QByteArray EncodeHandOver(const QStringList& files);

struct HandOverMessage {
    // Incomplete: more bytes are needed; Invalid: not a hand-over (wrong
    // start, too many or too long paths, a path that is not absolute UTF-8).
    enum class Status { Incomplete, Complete, Invalid };
    Status status = Status::Incomplete;
    QStringList files;
};
HandOverMessage DecodeHandOver(const QByteArray& bytes);

// The longest message there can be (the start and the number of files, then
// each path with its length), for a reader that must stop reading.
inline constexpr qsizetype kMaxHandOverBytes = 8 + qsizetype{kMaxHandOverFiles} * (4 + kMaxHandOverPathBytes);

}  // namespace kestrava
