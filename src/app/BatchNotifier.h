#pragma once
// Series files opened together (named on the command line, handed over by a
// second start, dropped) tell what went wrong in one message once all have
// been tried: thirty files that cannot be opened make one message, not
// thirty message boxes in a row.

#include <string>
#include <utility>
#include <vector>

#include <QString>
#include <QStringList>

#include "common/notifier.h"

namespace kestrava {

// At most this many files are listed in a batch's message; the rest are
// counted.
inline constexpr int kMaxListedFiles = 20;

// What one file of a batch left to say.
struct FileReport {
    QString file;
    bool opened = true;
    QStringList messages;
};

// The one message of a batch of `batchSize` files: those that could not be
// opened, each with its cause, then those that opened with something to say.
QString BatchReportText(const std::vector<FileReport>& files, qsizetype batchSize);

// Passes messages on to `shown` as they come, except while a batch opens:
// they are kept then, each under the file being opened, and shown when the
// batch is over.
class BatchNotifier : public Notifier {
public:
    explicit BatchNotifier(Notifier& shown) : shown_(shown) {}

    void Info(const std::string& text) override { Keep(Kind::Info, text); }
    void Error(const std::string& text) override { Keep(Kind::Error, text); }
    void Warning(const std::string& text) override { Keep(Kind::Warning, text); }
    // A question cannot wait for the end of the batch.
    bool AskYesNo(const std::string& text) override { return shown_.AskYesNo(text); }
    bool AskYesNoDefaultNo(const std::string& text) override { return shown_.AskYesNoDefaultNo(text); }
    Answer AskYesNoCancel(const std::string& text) override { return shown_.AskYesNoCancel(text); }

    // A batch while it lives; one inside another joins it.
    class Batch {
    public:
        Batch(BatchNotifier& notifier, qsizetype files);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // What is said from now on is about `file`.
        void StartFile(const QString& file);
        // The file being opened could not be.
        void FileFailed();

    private:
        BatchNotifier& notifier_;
    };

private:
    enum class Kind { Info, Warning, Error };

    void Keep(Kind kind, const std::string& text);
    // Shows what the batch kept: the messages of a single file as they came,
    // those of several files as one.
    void ShowKept();
    void Show(Kind kind, const std::string& text);

    Notifier& shown_;
    int depth_ = 0;
    qsizetype batchSize_ = 0;
    std::vector<FileReport> files_;
    // Every message of the batch as it came, shown so when one file alone
    // had something to say.
    std::vector<std::pair<Kind, std::string>> asTheyCame_;
};

}  // namespace kestrava
