#pragma once
// The download list "Tickers.txt": one entry per line, the option symbol,
// "=", the history symbol. Kept sorted without regard to case; an entry that
// compares equal to one already held is ignored.

#include <QString>
#include <QStringList>

namespace kestrava {

class DownloadList {
public:
    static QStringList DefaultEntries();

    const QStringList& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsEmpty() const { return entries_.isEmpty(); }

    // False when an equal entry (ignoring case) is already held.
    bool Add(const QString& entry);
    void Clear() { entries_.clear(); }
    // Clears the list and adds every entry.
    void Assign(const QStringList& entries);
    // The option symbol of an entry: the text before its first "="; empty
    // for an entry without "=", which is all history symbol.
    static QString OptionSymbolOf(const QString& entry);
    // Deletes the first entry, in list order, whose option symbol equals
    // `symbol` (ignoring case); false when none does.
    bool RemoveSymbol(const QString& symbol);
    // A new or changed series puts its symbol on the list: the entry of
    // SYMBOL goes (and no other: a new "SP" leaves "SPX=^GSPC" alone),
    // SYMBOL=historySymbol comes.
    void ReplaceSymbol(const QString& symbol, const QString& historySymbol);

    struct LoadResult {
        bool complete = true;  // every line was read
        QString message;       // what went wrong, for the user
    };
    // Adds the lines of the file to the list. Blank lines are skipped; lines
    // holding control characters or bytes that are no UTF-8 text are not
    // entries of this list and are skipped too, and the result says so.
    LoadResult Load(const QString& path);
    // Writes beside the file and renames, so that a failure leaves the old
    // file whole. Returns an empty text or the reason of the failure.
    QString Save(const QString& path) const;

private:
    QStringList entries_;
};

}  // namespace kestrava
