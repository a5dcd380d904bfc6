#pragma once
// The series files opened or saved last, newest first, for File > Open
// Recent. Kept in the settings under a key of its own, written by the main
// window whenever the list changes rather than with the other settings at
// shut-down.

#include <QString>
#include <QStringList>

class QSettings;

namespace kestrava {

class RecentSeries {
public:
    static constexpr int kMaxFiles = 8;

    // Absolute paths, newest first.
    const QStringList& Files() const { return files_; }
    bool IsEmpty() const { return files_.isEmpty(); }

    // Puts the file first (moving it there when it is on the list already)
    // and drops the oldest beyond kMaxFiles. Returns whether the list changed.
    bool Add(const QString& path);
    bool Remove(const QString& path);
    bool Clear();

    // Reads the list, leaving out what cannot be a series file of the list
    // (empty or relative entries, repeats, entries beyond kMaxFiles).
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

    // The menu's caption of each file: "&1 SPX.ops" and so on, with the
    // folder added where two files share a name; an "&" in a name stays text.
    QStringList MenuTexts() const;

private:
    QStringList files_;
};

}  // namespace kestrava
