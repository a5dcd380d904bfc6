#include "app/BatchNotifier.h"

#include <algorithm>

#include <QDir>

namespace kestrava {
namespace {

const QString kNoneOpened = QStringLiteral("None of the %1 series files could be opened:");
const QString kSomeNotOpened = QStringLiteral("%1 of the %2 series files could not be opened:");
const QString kAllOpened = QStringLiteral("The %1 series files opened, with these messages:");
const QString kNotOpened = QStringLiteral("%1: %2");
const QString kOpenedSaying = QStringLiteral("%1 (opened): %2");
const QString kNoCause = QStringLiteral("it could not be opened.");
const QString kAndMore = QStringLiteral("and %1 more.");

// A file's line is cut in its middle beyond this: a path handed over may be
// thousands of characters long.
constexpr qsizetype kMaxLineChars = 300;

QString Shortened(const QString& line)
{
    if (line.size() <= kMaxLineChars)
        return line;
    const qsizetype kept = kMaxLineChars - 1;
    return line.left(kept / 2) + QChar(0x2026) + line.right(kept - kept / 2);
}

QString ReportLine(const FileReport& report)
{
    QString said = report.messages.isEmpty() ? kNoCause : report.messages.join(QLatin1Char(' '));
    if (report.file.isEmpty())
        return said;
    return (report.opened ? kOpenedSaying : kNotOpened).arg(QDir::toNativeSeparators(report.file), said);
}

}  // namespace

QString BatchReportText(const std::vector<FileReport>& files, qsizetype batchSize)
{
    const auto failed = std::count_if(files.cbegin(), files.cend(),
                                      [](const FileReport& report) { return !report.opened; });
    QStringList lines;
    if (failed == 0)
        lines.append(kAllOpened.arg(batchSize));
    else if (failed >= batchSize)
        lines.append(kNoneOpened.arg(batchSize));
    else
        lines.append(kSomeNotOpened.arg(failed).arg(batchSize));
    // The files that did not open first: they are what the message is about.
    qsizetype listed = 0, more = 0;
    for (const bool opened : {false, true}) {
        for (const FileReport& report : files) {
            if (report.opened != opened || (opened && report.messages.isEmpty()))
                continue;
            if (listed < kMaxListedFiles) {
                lines.append(Shortened(ReportLine(report)));
                ++listed;
            } else {
                ++more;
            }
        }
    }
    if (more > 0)
        lines.append(kAndMore.arg(more));
    return lines.join(QLatin1Char('\n'));
}

BatchNotifier::Batch::Batch(BatchNotifier& notifier, qsizetype files) : notifier_(notifier)
{
    ++notifier_.depth_;
    notifier_.batchSize_ += files;
}

BatchNotifier::Batch::~Batch()
{
    if (--notifier_.depth_ == 0)
        notifier_.ShowKept();
}

void BatchNotifier::Batch::StartFile(const QString& file)
{
    notifier_.files_.push_back({file, true, {}});
}

void BatchNotifier::Batch::FileFailed()
{
    if (!notifier_.files_.empty())
        notifier_.files_.back().opened = false;
}

void BatchNotifier::Keep(Kind kind, const std::string& text)
{
    if (depth_ == 0) {
        Show(kind, text);
        return;
    }
    if (files_.empty())
        files_.push_back({});
    files_.back().messages.append(QString::fromStdString(text));
    asTheyCame_.emplace_back(kind, text);
}

void BatchNotifier::ShowKept()
{
    // Taken out first: a message box lets events run, and they may start
    // the next batch.
    const std::vector<FileReport> files = std::exchange(files_, {});
    const auto asTheyCame = std::exchange(asTheyCame_, {});
    const qsizetype batchSize = std::exchange(batchSize_, 0);
    const auto speaking = std::count_if(files.cbegin(), files.cend(), [](const FileReport& report) {
        return !report.opened || !report.messages.isEmpty();
    });
    if (speaking <= 1) {
        // One file: as File > Open would have said it.
        for (const auto& [kind, text] : asTheyCame)
            Show(kind, text);
        return;
    }
    Kind worst = Kind::Info;
    for (const auto& said : asTheyCame)
        worst = std::max(worst, said.first);
    Show(worst, BatchReportText(files, batchSize).toStdString());
}

void BatchNotifier::Show(Kind kind, const std::string& text)
{
    switch (kind) {
    case Kind::Info:
        shown_.Info(text);
        return;
    case Kind::Warning:
        shown_.Warning(text);
        return;
    case Kind::Error:
        shown_.Error(text);
        return;
    }
}

}  // namespace kestrava
