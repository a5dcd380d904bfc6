// The session of the program without its window: the recent series as the
// settings keep them, files handed over while busy, drops, the question
// before a save over another file, and what shut-down writes back.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

#include "appcore/AppSession.h"
#include "appcore/HandOver.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;
using testsupport::QtRecordingNotifier;

namespace {

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AppSessionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();

    void recentListAsTheMenuShowsIt_data();
    void recentListAsTheMenuShowsIt();
    void recentListForgetsOnlyWhatIsGone_data();
    void recentListForgetsOnlyWhatIsGone();
    void filesHandedOverWhileBusyWaitInOrder();
    void dropsOpenSeriesFilesOnly_data();
    void dropsOpenSeriesFilesOnly();
    void saveOverAnotherFileAsksFirst_data();
    void saveOverAnotherFileAsksFirst();
    void shutDownKeepsAListThatCouldNotBeRead_data();
    void shutDownKeepsAListThatCouldNotBeRead();
    void startFailsWithTheFolderNamed();
    void shutDownOnceAndOnlyAfterAStart();
    void settingsThatCannotBeWrittenAreNamed();
    void theLargestHandOverFitsTheReadersLimit();

private:
    std::unique_ptr<AppSession> NewSession();
    QString Path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    QtRecordingNotifier notifier_;
};

void AppSessionTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // The settings of every case in a folder of its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path(QStringLiteral("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path(QStringLiteral("config")));
    notifier_ = QtRecordingNotifier();
}

std::unique_ptr<AppSession> AppSessionTest::NewSession()
{
    const FolderRoots roots{Path(QStringLiteral("share")), Path(QStringLiteral("Documents")), dir_->path()};
    return std::make_unique<AppSession>(roots, LocaleInfo{}, notifier_);
}

void AppSessionTest::recentListAsTheMenuShowsIt_data()
{
    QTest::addColumn<QStringList>("noted");  // relative to the case's folder, oldest first
    QTest::addColumn<QStringList>("menu");
    QTest::addColumn<int>("changes");

    QTest::newRow("newest first") << QStringList{"a.ops", "b.ops"} << QStringList{"&1 b.ops", "&2 a.ops"}
                                  << 2;
    QTest::newRow("a repeat moves up")
        << QStringList{"a.ops", "b.ops", "a.ops"} << QStringList{"&1 a.ops", "&2 b.ops"} << 3;
    QTest::newRow("the newest again changes nothing")
        << QStringList{"a.ops", "a.ops", "x/../a.ops"} << QStringList{"&1 a.ops"} << 1;
    QTest::newRow("ampersand stays text") << QStringList{"R&D.ops"} << QStringList{"&1 R&&D.ops"} << 1;
    QTest::newRow("same name, two folders")
        << QStringList{"one/s.ops", "two/s.ops", "t.ops"}
        << QStringList{"&1 t.ops", "&2 s.ops  (two)", "&3 s.ops  (one)"} << 3;
    QStringList nine, eight;
    for (int i = 1; i <= 9; ++i)
        nine << QStringLiteral("f%1.ops").arg(i);
    for (int i = 9; i >= 2; --i)
        eight << QStringLiteral("&%1 f%2.ops").arg(10 - i).arg(i);
    QTest::newRow("nine keep the newest eight") << nine << eight << 9;
}

void AppSessionTest::recentListAsTheMenuShowsIt()
{
    QFETCH(QStringList, noted);
    QFETCH(QStringList, menu);
    QFETCH(int, changes);

    // The folder shown beside a shared name is the whole folder; the table
    // names only its last part.
    for (QString& text : menu)
        for (const QString& folder : {QStringLiteral("one"), QStringLiteral("two")})
            text.replace(QStringLiteral("(%1)").arg(folder),
                         QStringLiteral("(%1)").arg(QDir::toNativeSeparators(Path(folder))));

    std::unique_ptr<AppSession> session = NewSession();
    session->ReadSettings();
    int changed = 0;
    session->SetRecentListener([&changed] { ++changed; });
    for (const QString& name : noted)
        session->NoteRecent(Path(name));
    QCOMPARE(session->RecentFiles().MenuTexts(), menu);
    QCOMPARE(changed, changes);
    QVERIFY(notifier_.messages.isEmpty());

    // The next run reads the same list from the settings.
    std::unique_ptr<AppSession> next = NewSession();
    next->ReadSettings();
    QCOMPARE(next->RecentFiles().Files(), session->RecentFiles().Files());

    session->ClearRecent();
    QVERIFY(session->RecentFiles().IsEmpty());
    std::unique_ptr<AppSession> cleared = NewSession();
    cleared->ReadSettings();
    QVERIFY(cleared->RecentFiles().IsEmpty());
}

void AppSessionTest::recentListForgetsOnlyWhatIsGone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("gone");

    QTest::newRow("file") << "file" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("missing") << "missing" << true;
    QTest::newRow("link to nothing") << "dangling" << true;
}

void AppSessionTest::recentListForgetsOnlyWhatIsGone()
{
    QFETCH(QString, kind);
    QFETCH(bool, gone);

    const QString path = Path(QStringLiteral("entry.ops"));
    if (kind == QLatin1String("file"))
        WriteFile(path, "x");
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(Path(QStringLiteral("nowhere.ops")), path));
    const QString other = Path(QStringLiteral("other.ops"));

    std::unique_ptr<AppSession> session = NewSession();
    session->ReadSettings();
    session->NoteRecent(path);
    session->NoteRecent(other);
    QCOMPARE(session->ForgetIfGone(path), gone);
    QCOMPARE(session->RecentFiles().Files().contains(path), !gone);
    QVERIFY(session->RecentFiles().Files().contains(other));
    if (gone) {
        QCOMPARE(notifier_.infos.size(), 1);
        QVERIFY2(notifier_.infos.front().startsWith(QStringLiteral("entry.ops is gone")),
                 qPrintable(notifier_.infos.front()));
        QVERIFY(notifier_.infos.front().contains(QDir::toNativeSeparators(dir_->path())));
    } else {
        QVERIFY(notifier_.messages.isEmpty());
    }
    std::unique_ptr<AppSession> next = NewSession();
    next->ReadSettings();
    QCOMPARE(next->RecentFiles().Files(), session->RecentFiles().Files());
}

void AppSessionTest::filesHandedOverWhileBusyWaitInOrder()
{
    std::unique_ptr<AppSession> session = NewSession();
    QVERIFY(session->Defer({QStringLiteral("/a.ops")}));
    QVERIFY(!session->Defer({QStringLiteral("/b.ops"), QStringLiteral("/c.ops")}));
    QVERIFY(!session->Defer({}));
    QCOMPARE(session->TakeDeferred(), (QStringList{"/a.ops", "/b.ops", "/c.ops"}));
    QVERIFY(session->TakeDeferred().isEmpty());
    // A new batch asks for a new look.
    QVERIFY(session->Defer({QStringLiteral("/d.ops")}));
}

void AppSessionTest::dropsOpenSeriesFilesOnly_data()
{
    QTest::addColumn<QStringList>("urls");  // "FILE:name" for a file of the case's folder
    QTest::addColumn<QStringList>("series");
    QTest::addColumn<QString>("refused");  // the end of the message; "-" for none

    QTest::newRow("series files") << QStringList{"FILE:a.ops", "FILE:B.OPS"} << QStringList{"a.ops", "B.OPS"}
                                  << "-";
    QTest::newRow("others named") << QStringList{"FILE:a.ops", "FILE:n.txt", "https://example.org/x.ops"}
                                  << QStringList{"a.ops"} << " Not opened: n.txt, https://example.org/x.ops.";
    QTest::newRow("a folder named .ops")
        << QStringList{"FILE:dir.ops"} << QStringList{} << " Not opened: dir.ops.";
    QTest::newRow("nothing dropped") << QStringList{} << QStringList{} << "Kestrava.";
}

void AppSessionTest::dropsOpenSeriesFilesOnly()
{
    QFETCH(QStringList, urls);
    QFETCH(QStringList, series);
    QFETCH(QString, refused);

    QVERIFY(QDir().mkpath(Path(QStringLiteral("dir.ops"))));
    QList<QUrl> dropped;
    for (const QString& url : urls)
        dropped << (url.startsWith(QLatin1String("FILE:")) ? QUrl::fromLocalFile(Path(url.mid(5)))
                                                           : QUrl(url));
    for (QString& name : series)
        name = Path(name);

    const DroppedFiles sorted = SortDroppedFiles(dropped);
    QCOMPARE(sorted.series, series);
    if (refused == QLatin1String("-")) {
        QVERIFY(sorted.refusal.isEmpty());
    } else {
        QVERIFY2(sorted.refusal.startsWith(QStringLiteral("Only option series files")),
                 qPrintable(sorted.refusal));
        QVERIFY2(sorted.refusal.endsWith(refused), qPrintable(sorted.refusal));
    }
}

void AppSessionTest::saveOverAnotherFileAsksFirst_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("ownFile");
    QTest::addColumn<bool>("asks");

    QTest::newRow("a new file") << "new.ops"
                                << "own.ops" << false;
    QTest::newRow("the page's own file") << "own.ops"
                                         << "own.ops" << false;
    QTest::newRow("its own file through a link") << "link.ops"
                                                 << "own.ops" << false;
    QTest::newRow("another series") << "other.ops"
                                    << "own.ops" << true;
    QTest::newRow("a new series over a file") << "other.ops"
                                              << "" << true;
}

void AppSessionTest::saveOverAnotherFileAsksFirst()
{
    QFETCH(QString, target);
    QFETCH(QString, ownFile);
    QFETCH(bool, asks);

    WriteFile(Path(QStringLiteral("own.ops")), "own");
    WriteFile(Path(QStringLiteral("other.ops")), "other");
    QVERIFY(QFile::link(Path(QStringLiteral("own.ops")), Path(QStringLiteral("link.ops"))));

    const QString question = ReplaceQuestion(Path(target), ownFile.isEmpty() ? QString() : Path(ownFile));
    QCOMPARE(!question.isEmpty(), asks);
    if (asks)
        QVERIFY2(question.startsWith(target + QStringLiteral(" already exists")), qPrintable(question));
}

void AppSessionTest::shutDownKeepsAListThatCouldNotBeRead_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("written");

    // A blank line is no loss: the list written back leaves it out.
    QTest::newRow("read whole") << QByteArray("SPX\n\nIBM=IBM\n") << false << true;
    QTest::newRow("damaged, unchanged") << QByteArray("SPX\nI\x01M\n") << false << false;
    QTest::newRow("damaged, edited") << QByteArray("SPX\nI\x01M\n") << true << true;
}

void AppSessionTest::shutDownKeepsAListThatCouldNotBeRead()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, edited);
    QFETCH(bool, written);

    QString listFile;
    {
        std::unique_ptr<AppSession> first = NewSession();
        first->ReadSettings();
        QVERIFY(first->PrepareFiles(true));
        listFile = first->Folders().TickersFile();
    }
    QVERIFY(QFileInfo::exists(listFile));
    WriteFile(listFile, list);
    notifier_ = QtRecordingNotifier();

    std::unique_ptr<AppSession> session = NewSession();
    session->ReadSettings();
    QVERIFY(session->PrepareFiles(false));
    QCOMPARE(notifier_.infos.size(), list.contains('\x01') ? 1 : 0);
    QVERIFY(session->TickerList().Entries().contains(QStringLiteral("SPX")));
    if (edited)
        session->TickerList().ReplaceSymbol(QStringLiteral("QQQ"), QString());
    session->Finish(10, 20, 300);

    const QByteArray after = ReadFile(listFile);
    QCOMPARE(after == list, !written);
    if (written)
        QVERIFY(!after.contains('\x01'));
    // The placement goes into the settings that the next run reads.
    std::unique_ptr<AppSession> next = NewSession();
    QVERIFY(next->ReadSettings());
    QCOMPARE(next->Settings().Left, 10);
    QCOMPARE(next->Settings().Width, 300);
}

void AppSessionTest::startFailsWithTheFolderNamed()
{
    // A file where the program's folders should be made.
    WriteFile(Path(QStringLiteral("share")), "not a folder");
    std::unique_ptr<AppSession> session = NewSession();
    QVERIFY(!session->ReadSettings());
    QVERIFY(!session->PrepareFiles(true));
    QCOMPARE(notifier_.errors.size(), 1);
    QVERIFY2(notifier_.errors.front().contains(QDir::toNativeSeparators(Path(QStringLiteral("share")))),
             qPrintable(notifier_.errors.front()));
}

void AppSessionTest::settingsThatCannotBeWrittenAreNamed()
{
    std::unique_ptr<AppSession> session = NewSession();
    session->ReadSettings();
    const QString file = AppSession::SettingsFile();
    const QString said =
        QStringLiteral("The settings could not be saved in %1.").arg(QDir::toNativeSeparators(file));
    // Read as bytes: a QSettings of the same file would see, and write, what
    // is still waiting to be written.
    auto stored = [&file](const char* server) { return ReadFile(file).contains(server); };
    session->Settings().QuoteServer = QStringLiteral("https://one.example/dq");
    QVERIFY(session->WriteSettings());
    QVERIFY(stored("https://one.example/dq"));

    // The file reads well, but no file may grow: the write fails, is named,
    // and the file keeps what it held.
    session->Settings().QuoteServer = QStringLiteral("https://two.example/dq");
    {
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlimit before = limit;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        limit.rlim_cur = 0;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &before);
            std::signal(SIGXFSZ, oldHandler);
        });
        QVERIFY(!session->WriteSettings());
    }
    QCOMPARE(notifier_.messages, QStringList{said});
    QVERIFY(stored("https://one.example/dq"));
    QVERIFY(!stored("two.example"));

    // A folder where the file belongs: it can be neither read nor written.
    notifier_ = QtRecordingNotifier();
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir().mkpath(file));
    QVERIFY(!session->WriteSettings());
    QCOMPARE(notifier_.messages, QStringList{said});

    // Once it can be written, the change is written.
    QVERIFY(QDir(file).removeRecursively());
    QVERIFY(session->WriteSettings());
    QVERIFY(stored("https://two.example/dq"));
}

void AppSessionTest::shutDownOnceAndOnlyAfterAStart()
{
    const auto savedLeft = [] {
        return QSettings(QLatin1String(kOrganisationName), QLatin1String(kApplicationName))
            .value(QStringLiteral("WinDims/Left"));
    };
    std::unique_ptr<AppSession> failed = NewSession();
    failed->ReadSettings();
    QVERIFY(!failed->Finish(1, 2, 300));
    QVERIFY(!failed->Finished());
    QVERIFY(!savedLeft().isValid());

    std::unique_ptr<AppSession> session = NewSession();
    session->ReadSettings();
    QVERIFY(session->PrepareFiles(true));
    const QString listFile = session->Folders().TickersFile();
    QVERIFY(session->Finish(5, 6, 300));
    QVERIFY(session->Finished());
    QCOMPARE(savedLeft().toInt(), 5);
    const QByteArray list = ReadFile(listFile);
    // A second way out (the window closed, then the application quits)
    // writes nothing more.
    session->TickerList().ReplaceSymbol(QStringLiteral("QQQ"), QString());
    QVERIFY(!session->Finish(7, 8, 300));
    QCOMPARE(savedLeft().toInt(), 5);
    QCOMPARE(ReadFile(listFile), list);
}

void AppSessionTest::theLargestHandOverFitsTheReadersLimit()
{
    // As many files as a hand-over may name, each path as long as it may be.
    QStringList files;
    for (int i = 0; i < kMaxHandOverFiles; ++i) {
        QString path = QStringLiteral("/%1/").arg(i);
        path += QString(kMaxHandOverPathBytes - path.size(), QLatin1Char('x'));
        files << path;
    }
    const QByteArray largest = EncodeHandOver(files);
    QCOMPARE(largest.size(), kMaxHandOverBytes);
    const HandOverMessage message = DecodeHandOver(largest);
    QCOMPARE(int(message.status), int(HandOverMessage::Status::Complete));
    QCOMPARE(message.files, files);
    // One file more is refused as a whole.
    files << files.front();
    QCOMPARE(int(DecodeHandOver(EncodeHandOver(files)).status), int(HandOverMessage::Status::Invalid));
}

QTEST_GUILESS_MAIN(AppSessionTest)
#include "appsession_test.moc"
