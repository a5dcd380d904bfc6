#include "appcore/DownloadList.h"

#include <algorithm>
#include <string>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include "common/filestream.h"

namespace kestrava {
namespace {

// Far more symbols than any download list holds.
constexpr std::uintmax_t kMaxDownloadListBytes = 16u << 20;

bool LessIgnoringCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

// Control characters, bytes that were no UTF-8 text and came out as
// replacement characters, or half a UTF-16 pair (a file taken for UTF-16 or
// UTF-32 by its first bytes), which could not be written back: such a line
// is not an entry of this list.
bool IsDamaged(const QString& line)
{
    return !line.isValidUtf16() || std::any_of(line.cbegin(), line.cend(), [](QChar c) {
        return (c.category() == QChar::Other_Control && c != QLatin1Char('\t'))
               || c == QChar::ReplacementCharacter;
    });
}

}  // namespace

QStringList DownloadList::DefaultEntries()
{
    return {QStringLiteral("GLD=GLD"),  QStringLiteral("OIL=OIL"),   QStringLiteral("OEX=^OEX"),
            QStringLiteral("QQQ=QQQ"),  QStringLiteral("SPX=^GSPC"), QStringLiteral("SPY=SPY"),
            QStringLiteral("YHOO=YHOO")};
}

bool DownloadList::Add(const QString& entry)
{
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), entry, LessIgnoringCase);
    if (at != entries_.end() && QString::compare(*at, entry, Qt::CaseInsensitive) == 0)
        return false;
    entries_.insert(at, entry);
    return true;
}

void DownloadList::Assign(const QStringList& entries)
{
    entries_.clear();
    for (const QString& entry : entries)
        Add(entry);
}

QString DownloadList::OptionSymbolOf(const QString& entry)
{
    const qsizetype equals = entry.indexOf(QLatin1Char('='));
    return equals < 0 ? QString() : entry.left(equals);
}

bool DownloadList::RemoveSymbol(const QString& symbol)
{
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (OptionSymbolOf(entries_[i]).compare(symbol, Qt::CaseInsensitive) == 0) {
            entries_.removeAt(i);
            return true;
        }
    }
    return false;
}

void DownloadList::ReplaceSymbol(const QString& symbol, const QString& historySymbol)
{
    const QString upper = symbol.toUpper();
    RemoveSymbol(upper);
    Add(upper + QLatin1Char('=') + historySymbol);
}

DownloadList::LoadResult DownloadList::Load(const QString& path)
{
    LoadResult result;
    // Opened once and checked on the open file: a FIFO at the name would
    // hold the program.
    std::string bytes;
    std::string reason;
    if (!ReadRegularFile(QFile::encodeName(path).toStdString(), bytes, kMaxDownloadListBytes, reason)) {
        result.complete = false;
        result.message = QStringLiteral("Cannot read the download list %1: %2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(reason));
        return result;
    }
    QTextStream in(QByteArray::fromStdString(bytes));
    int skipped = 0;
    QString line;
    while (in.readLineInto(&line)) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        // A byte order mark inside the file (two lists joined into one) is
        // no part of an entry, and would be lost on the next start anyway.
        line.remove(QChar(0xFEFF));
        if (line.trimmed().isEmpty())
            continue;
        if (IsDamaged(line)) {
            ++skipped;
            continue;
        }
        Add(line);
    }
    if (skipped > 0) {
        result.complete = false;
        result.message = QStringLiteral(
                             "The download list %1 is damaged: %2 line(s) could not be read "
                             "and were left out. The file is kept as it is unless you change the list.")
                             .arg(QDir::toNativeSeparators(path))
                             .arg(skipped);
    }
    return result;
}

QString DownloadList::Save(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    QTextStream out(&file);
    for (const QString& entry : entries_)
        out << entry << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancelWriting();
        return QStringLiteral("the list could not be written");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

}  // namespace kestrava
