// Where the socket of the one running program lives: a runtime folder that
// is not private to the user is passed over for the user's private work
// folder, and a second start still finds the first there; a work folder
// whose name someone else holds is named in the message, with its owner.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/InstanceChannel.h"
#include "app/InstanceFolder.h"
#include "second_start.h"

using namespace kestrava;

class InstanceFolderTest : public QObject {
    Q_OBJECT

private:
    // Listens at socketPath and has a second program started with this
    // test's environment hand its file over.
    void SecondStartHandsOver(const QString& socketPath)
    {
        InstanceChannel channel(socketPath);
        QString problem;
        QCOMPARE(channel.ClaimOrHandOver({}, &problem), InstanceChannel::Claim::Listening);
        QStringList received;
        channel.SetReceiver([&received](const QStringList& files) { received = files; });
        const QString file = root_->filePath(QStringLiteral("SPX.ops"));
        QProcess* start = kestrava::mainformtest::StartSecondProgram(this, QStringLiteral(KESTRAVA_PROGRAM),
                                                                     {file}, root_->path(), root_->path());
        QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
        QCOMPARE(start->exitCode(), 0);
        QTRY_COMPARE(received, QStringList{file});
    }

private slots:
    void init();
    void cleanup();

    void judgesFolders_data();
    void judgesFolders();
    void anUnsafeRuntimeFolderIsPassedOver_data();
    void anUnsafeRuntimeFolderIsPassedOver();
    void aHeldWorkFolderIsNamed_data();
    void aHeldWorkFolderIsNamed();
    void foldersAreLookedAtWithTheirOwnersName();

private:
    // The test's own temporary directory, where the work folder goes.
    QString temp() const { return root_->filePath(QStringLiteral("tmp")); }
    QString workFolder() const
    {
        return temp() + QStringLiteral("/kestrava-") + QString::number(::geteuid());
    }

    std::unique_ptr<QTemporaryDir> root_;
    QByteArray savedRuntime_, savedTemp_;
    bool hadRuntime_ = false, hadTemp_ = false;
};

namespace {

constexpr unsigned kUser = 1000;

FolderFacts Facts(bool exists, bool isLink, bool isFolder, unsigned owner, unsigned mode)
{
    FolderFacts facts;
    facts.exists = exists;
    facts.isLink = isLink;
    facts.isFolder = isFolder;
    facts.ownerUid = owner;
    facts.mode = mode;
    facts.owner = QStringLiteral("uid %1").arg(owner);
    return facts;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

}  // namespace

void InstanceFolderTest::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    QVERIFY(QDir().mkpath(temp()));
    hadRuntime_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    savedRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    hadTemp_ = qEnvironmentVariableIsSet("TMPDIR");
    savedTemp_ = qgetenv("TMPDIR");
    // Both this test and the second starts it makes look here.
    qputenv("TMPDIR", QFile::encodeName(temp()));
}

void InstanceFolderTest::cleanup()
{
    for (QProcess* process : findChildren<QProcess*>()) {
        process->kill();
        process->waitForFinished();
        delete process;
    }
    const auto restore = [](const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    };
    restore("XDG_RUNTIME_DIR", hadRuntime_, savedRuntime_);
    restore("TMPDIR", hadTemp_, savedTemp_);
    root_.reset();
}

void InstanceFolderTest::judgesFolders_data()
{
    QTest::addColumn<FolderFacts>("facts");
    QTest::addColumn<int>("fault");

    const auto row = [](const char* name, const FolderFacts& facts, FolderFault fault) {
        QTest::newRow(name) << facts << static_cast<int>(fault);
    };
    row("the user's, owner only", Facts(true, false, true, kUser, 0700), FolderFault::None);
    row("the user's, sticky, owner only", Facts(true, false, true, kUser, 01700), FolderFault::None);
    row("the group may read", Facts(true, false, true, kUser, 0740), FolderFault::OpenToOthers);
    row("the group may enter", Facts(true, false, true, kUser, 0710), FolderFault::OpenToOthers);
    row("others may write", Facts(true, false, true, kUser, 0702), FolderFault::OpenToOthers);
    row("another user's, owner only", Facts(true, false, true, kUser + 1, 0700), FolderFault::OtherOwner);
    row("root's", Facts(true, false, true, 0, 0700), FolderFault::OtherOwner);
    row("a link of the user's", Facts(true, true, false, kUser, 0777), FolderFault::Link);
    row("another user's link", Facts(true, true, false, kUser + 1, 0777), FolderFault::Link);
    row("a file of the user's", Facts(true, false, false, kUser, 0600), FolderFault::NotFolder);
    row("nothing", Facts(false, false, false, 0, 0), FolderFault::Missing);
}

void InstanceFolderTest::judgesFolders()
{
    QFETCH(FolderFacts, facts);
    QFETCH(int, fault);
    const auto judged = JudgeSocketFolder(facts, kUser);
    QCOMPARE(static_cast<int>(judged), fault);
    // What is wrong is said naming the folder, and its owner where it has one.
    const QString folder = QStringLiteral("/run/user/%1").arg(kUser);
    const QString text = FolderFaultText(folder, facts, judged);
    QCOMPARE(text.isEmpty(), judged == FolderFault::None);
    if (judged != FolderFault::None)
        QVERIFY2(text.contains(folder) && (!facts.exists || text.contains(facts.owner)), qPrintable(text));
}

void InstanceFolderTest::anUnsafeRuntimeFolderIsPassedOver_data()
{
    // How the runtime folder is left; empty: XDG_RUNTIME_DIR unset.
    QTest::addColumn<QString>("kind");
    QTest::newRow("open to the group and others") << QStringLiteral("open");
    QTest::newRow("a link to a private folder") << QStringLiteral("link");
    // Qt makes a missing runtime folder when a program starts, where it can:
    // this one, under a file, cannot be made.
    QTest::newRow("missing, and not to be made") << QStringLiteral("missing");
    QTest::newRow("not set") << QString();
}

void InstanceFolderTest::anUnsafeRuntimeFolderIsPassedOver()
{
    QFETCH(QString, kind);
    const QString runtime = kind == QLatin1String("missing") ? root_->filePath(QStringLiteral("file/run"))
                                                             : root_->filePath(QStringLiteral("run"));
    const QString target = root_->filePath(QStringLiteral("private"));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (kind == QLatin1String("open")) {
        QVERIFY(QDir().mkpath(runtime));
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), 0755), 0);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(target, runtime));
    } else if (kind == QLatin1String("missing")) {
        QFile file(root_->filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (kind.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

    QString problem;
    const QString socketPath = InstanceSocketPath(&problem);
    QVERIFY2(!socketPath.isEmpty(), qPrintable(problem));
    QCOMPARE(QFileInfo(socketPath).absolutePath(), workFolder());
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(workFolder()).constData(), &info), 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_mode & 077, 0u);

    // A second start with the same environment finds the first.
    SecondStartHandsOver(socketPath);

    // Nothing was put in, or changed on, the folder passed over.
    QVERIFY(Entries(target).isEmpty());
    if (kind == QLatin1String("open")) {
        QVERIFY(Entries(runtime).isEmpty());
        QCOMPARE(QFileInfo(runtime).permissions() & QFile::ExeOther, QFile::ExeOther);
    }
}

void InstanceFolderTest::aHeldWorkFolderIsNamed_data()
{
    QTest::addColumn<QString>("held");
    QTest::newRow("a link to a private folder") << QStringLiteral("link");
    QTest::newRow("a file") << QStringLiteral("file");
    QTest::newRow("a temporary folder where nothing can be made") << QStringLiteral("unwritable");
}

// While another holds the work folder's name every start meets in the same
// private folder of another name; only where no folder at all can be made
// does a start run on its own, naming the folder and the cause.
void InstanceFolderTest::aHeldWorkFolderIsNamed()
{
    QFETCH(QString, held);
    qunsetenv("XDG_RUNTIME_DIR");
    if (held == QLatin1String("link")) {
        const QString target = root_->filePath(QStringLiteral("private"));
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QFile::link(target, workFolder()));
    } else if (held == QLatin1String("file")) {
        QFile file(workFolder());
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        // A file where the temporary folder should be: not even root makes
        // a folder inside it.
        QVERIFY(QDir(temp()).removeRecursively());
        QFile file(temp());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QString problem;
    const QString socketPath = InstanceSocketPath(&problem);
    if (held == QLatin1String("unwritable")) {
        QVERIFY2(socketPath.isEmpty(), qPrintable(socketPath));
        QVERIFY2(problem.contains(QDir::toNativeSeparators(workFolder())), qPrintable(problem));
        InstanceChannel channel(socketPath, problem);
        QString said;
        QCOMPARE(channel.ClaimOrHandOver({}, &said), InstanceChannel::Claim::Unavailable);
        QCOMPARE(said, problem);
        return;
    }
    QVERIFY2(!socketPath.isEmpty(), qPrintable(problem));
    const QString folder = QFileInfo(socketPath).absolutePath();
    QVERIFY(folder != workFolder());
    QVERIFY(QFileInfo(folder).fileName().startsWith(QFileInfo(workFolder()).fileName() + QLatin1Char('-')));
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    QVERIFY(S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0);
    // The next start finds the same folder, and a second program hands over.
    QCOMPARE(InstanceSocketPath(&problem), socketPath);
    SecondStartHandsOver(socketPath);
}

// The facts a message is made of: a folder's owner by name and number, by
// number alone where the system knows no name for it.
void InstanceFolderTest::foldersAreLookedAtWithTheirOwnersName()
{
    const QString folder = root_->filePath(QStringLiteral("looked-at"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const passwd* user = ::getpwuid(::geteuid());
    QVERIFY(user && user->pw_name);
    const QString name = QString::fromLocal8Bit(user->pw_name);
    FolderFacts facts = LookAtFolder(folder);
    QVERIFY(facts.exists && facts.isFolder && !facts.isLink);
    QCOMPARE(facts.ownerUid, static_cast<unsigned>(::geteuid()));
    QCOMPARE(facts.mode, 0700u);
    QCOMPARE(facts.owner, QStringLiteral("%1 (uid %2)").arg(name).arg(::geteuid()));

    QVERIFY(!LookAtFolder(root_->filePath(QStringLiteral("none"))).exists);
    if (::geteuid() != 0)
        return;  // only root gives a folder away
    // A number no account has.
    uid_t nobody = 54321;
    while (::getpwuid(nobody))
        ++nobody;
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), nobody, ::getegid()), 0);
    facts = LookAtFolder(folder);
    QCOMPARE(facts.owner, QStringLiteral("uid %1").arg(nobody));
}

QTEST_MAIN(InstanceFolderTest)
#include "instance_folder_test.moc"
