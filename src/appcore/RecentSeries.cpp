#include "appcore/RecentSeries.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kestrava {
namespace {

const QString kRecentGroup = QStringLiteral("Recent");
const QString kSeriesFiles = QStringLiteral("SeriesFiles");

QString Normalised(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

bool RecentSeries::Add(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString file = Normalised(path);
    if (!files_.isEmpty() && files_.front() == file)
        return false;
    files_.removeAll(file);
    files_.prepend(file);
    while (files_.size() > kMaxFiles)
        files_.removeLast();
    return true;
}

bool RecentSeries::Remove(const QString& path)
{
    return files_.removeAll(Normalised(path)) > 0;
}

bool RecentSeries::Clear()
{
    if (files_.isEmpty())
        return false;
    files_.clear();
    return true;
}

void RecentSeries::Load(QSettings& settings)
{
    files_.clear();
    settings.beginGroup(kRecentGroup);
    const QStringList stored = settings.value(kSeriesFiles).toStringList();
    settings.endGroup();
    for (const QString& entry : stored) {
        if (files_.size() == kMaxFiles)
            break;
        if (entry.isEmpty() || !QDir::isAbsolutePath(entry))
            continue;
        const QString file = QDir::cleanPath(entry);
        if (!files_.contains(file))
            files_.append(file);
    }
}

void RecentSeries::Save(QSettings& settings) const
{
    settings.beginGroup(kRecentGroup);
    settings.setValue(kSeriesFiles, files_);
    settings.endGroup();
}

QStringList RecentSeries::MenuTexts() const
{
    QStringList texts;
    for (int i = 0; i < files_.size(); ++i) {
        const QFileInfo file(files_[i]);
        QString text = file.fileName();
        const auto sameName = [&text](const QString& other) { return QFileInfo(other).fileName() == text; };
        if (std::count_if(files_.cbegin(), files_.cend(), sameName) > 1)
            text += QStringLiteral("  (%1)").arg(QDir::toNativeSeparators(file.absolutePath()));
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        texts.append(QStringLiteral("&%1 %2").arg(i + 1).arg(text));
    }
    return texts;
}

}  // namespace kestrava
