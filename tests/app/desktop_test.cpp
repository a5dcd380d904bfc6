// The program as a desktop uses it: files on the command line, a second start
// handing its files to the running program (two processes), File > Open
// Recent with a file deleted meanwhile, drops on the strip and on a page,
// Ctrl+Q, and a start whose folders cannot be made.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include <QDropEvent>
#include <QLocalSocket>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QtEndian>

#include "app/Application.h"
#include "app/BatchNotifier.h"
#include "app/InstanceChannel.h"
#include "app/StartArguments.h"
#include "mainform_fixture.h"
#include "second_start.h"

using namespace kestrava;
using namespace kestrava::mainformtest;

class DesktopTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void handOverMessages_data();
    void handOverMessages();
    void secondStartHandsOverItsFiles();
    void filesOpenAsFileOpenDoes();
    void openRecentKeepsTheLastEight();
    void openRecentDropsOnlyWhatIsGone_data();
    void openRecentDropsOnlyWhatIsGone();
    void failuresOfAHandOverMakeOneMessage();
    void aBatchMessageStaysShort();
    void dropsOpenSeriesFilesOnly();
    void ctrlQQuitsFromAPage();
    void aStartWhoseFoldersCannotBeMadeSaysWhyAndFails();
    void eachDisplayHasOneSocketName_data();
    void eachDisplayHasOneSocketName();

private:
    QString MakeFile(const QString& relative, const QByteArray& bytes = QByteArrayLiteral("\x01\x00"));
    QProcess* StartProgram(const QStringList& arguments, const QString& folder);
    QString runtime_;
};

namespace {

// Pages that record which file they were opened from.
TMainForm::PageFactory RecordingPages(QStringList* opened)
{
    return [opened](TMainForm& owner) {
        auto page = std::make_unique<FakePage>(QFileInfo(owner.Request().openFileName).completeBaseName());
        page->seriesFile = owner.Request().openFileName;
        opened->append(owner.Request().openFileName);
        return page;
    };
}

// What a program that crashed leaves behind: a socket file nobody listens on.
bool LeaveStaleSocket(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (static_cast<std::size_t>(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

void Drop(QWidget* target, const QMimeData& mime)
{
    const QPoint middle = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(middle, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(middle), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    // Never a move: the file manager would take the file away.
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
}

QWidget* PageWindow(TMainForm& form, const QString& title)
{
    for (QWidget* widget : form.findChildren<QWidget*>())
        if (widget->isWindow() && widget->windowTitle() == title)
            return widget;
    return nullptr;
}

QStringList RecentInMenu(TMainForm& form)
{
    QStringList files;
    for (QAction* action : form.findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"))->actions())
        if (!action->isSeparator() && action->objectName() != QLatin1String("FileClearRecentItem"))
            files.append(QDir::fromNativeSeparators(action->toolTip()));
    return files;
}

}  // namespace

void DesktopTest::init()
{
    FreshFolders();
    // Each test its own runtime folder, so two runs of the suite never meet
    // on one socket.
    runtime_ = root_->filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime_));
    QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_));
}

void DesktopTest::cleanup()
{
    for (QProcess* process : findChildren<QProcess*>()) {
        process->kill();
        process->waitForFinished();
        delete process;
    }
    root_.reset();
}

QString DesktopTest::MakeFile(const QString& relative, const QByteArray& bytes)
{
    const QString path = root_->filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QProcess* DesktopTest::StartProgram(const QStringList& arguments, const QString& folder)
{
    return StartSecondProgram(this, QStringLiteral(KESTRAVA_PROGRAM), arguments, folder, root_->path());
}

void DesktopTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("files");

    using Action = StartArguments::Action;
    const auto row = [](const char* name, QStringList arguments, Action action, QStringList files) {
        arguments.prepend(QStringLiteral("kestrava"));
        QTest::newRow(name) << arguments << static_cast<int>(action) << files;
    };
    row("nothing", {}, Action::Run, {});
    row("relative and absolute, in order", {"SPX.ops", "/data/b.ops", "sub/../c.OPS"}, Action::Run,
        {"/home/u/series/SPX.ops", "/data/b.ops", "/home/u/series/c.OPS"});
    row("a launcher's file URL", {"file:///srv/My%20Series.ops"}, Action::Run, {"/srv/My Series.ops"});
    row("help wins over a bad option", {"--frobnicate", "a.ops", "--help"}, Action::Help, {});
    row("version", {"-v", "a.ops"}, Action::Version, {});
    row("an unknown option", {"a.ops", "-x"}, Action::Error, {});
    row("after -- everything is a file", {"--", "--help", "-x.ops"}, Action::Run,
        {"/home/u/series/--help", "/home/u/series/-x.ops"});
}

void DesktopTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QStringList, files);
    const StartArguments parsed = ParseStartArguments(arguments, QStringLiteral("/home/u/series"));
    QCOMPARE(static_cast<int>(parsed.action), action);
    if (parsed.action == StartArguments::Action::Run)
        QCOMPARE(parsed.files, files);
    QCOMPARE(parsed.error.isEmpty(), parsed.action != StartArguments::Action::Error);
}

void DesktopTest::handOverMessages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");

    using Status = HandOverMessage::Status;
    const auto header = [](quint32 count) {
        QByteArray bytes("KSTV");
        char raw[4];
        qToBigEndian(count, raw);
        return bytes.append(raw, 4);
    };
    const auto path = [](const QByteArray& utf8) {
        char raw[4];
        qToBigEndian(static_cast<quint32>(utf8.size()), raw);
        return QByteArray(raw, 4) + utf8;
    };
    QTest::newRow("no files: come to the front") << header(0) << int(Status::Complete);
    QTest::newRow("one more byte than the message") << header(0) + 'x' << int(Status::Invalid);
    QTest::newRow("another program's greeting")
        << QByteArray("GET / HTTP/1.0\r\n\r\n") << int(Status::Invalid);
    QTest::newRow("a relative path") << header(1) + path("SPX.ops") << int(Status::Invalid);
    QTest::newRow("a path with a NUL")
        << header(1) + path(QByteArray("/a\0b.ops", 8)) << int(Status::Invalid);
    QTest::newRow("not UTF-8") << header(1) + path("/tmp/\xff\xfe.ops") << int(Status::Invalid);
    QTest::newRow("an empty path") << header(1) + path("") << int(Status::Invalid);
    // A header alone must not make the listener wait for more than it takes.
    QTest::newRow("too many files announced") << header(kMaxHandOverFiles + 1) << int(Status::Invalid);
    QTest::newRow("too long a path announced")
        << header(1) + path(QByteArray(kMaxHandOverPathBytes + 1, 'a')).left(12) << int(Status::Invalid);
}

void DesktopTest::handOverMessages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    const HandOverMessage message = DecodeHandOver(bytes);
    QCOMPARE(static_cast<int>(message.status), status);
    if (message.status == HandOverMessage::Status::Invalid)
        QVERIFY(message.files.isEmpty());

    // What a second start sends comes back whole, and every shorter part of
    // it asks for more.
    const QStringList files{QStringLiteral("/home/u/Séries/SPX Jan.ops"), QStringLiteral("/srv/a.ops")};
    const QByteArray sent = EncodeHandOver(files);
    QCOMPARE(DecodeHandOver(sent).files, files);
    for (qsizetype size = 0; size < sent.size(); ++size)
        QCOMPARE(int(DecodeHandOver(sent.left(size)).status), int(HandOverMessage::Status::Incomplete));
}

void DesktopTest::secondStartHandsOverItsFiles()
{
    // --help answers on standard output even without a display.
    {
        QProcess help;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        help.setProcessEnvironment(environment);
        help.start(QStringLiteral(KESTRAVA_PROGRAM), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(20000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().startsWith("Usage: kestrava"));
        QCOMPARE(help.readAllStandardError(), QByteArray());
    }

    const QString socketPath = InstanceSocketPath();
    QVERIFY2(socketPath.startsWith(runtime_ + QLatin1Char('/')), qPrintable(socketPath));
    QVERIFY(LeaveStaleSocket(socketPath));

    QStringList opened;
    SavePlacement(0, 10, 780);  // a later start: no sample page
    auto form = NewForm();
    form->SetPageFactory(RecordingPages(&opened));
    QVERIFY(form->FormCreate());
    {
        InstanceChannel channel(socketPath);
        QString problem;
        QCOMPARE(channel.ClaimOrHandOver({}, &problem), InstanceChannel::Claim::Listening);
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                          | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(socketPath).permissions() & others, QFile::Permissions());
        channel.SetReceiver([&form](const QStringList& files) { form->HandOver(files); });

        // Another program's bytes open nothing and are cut off.
        QLocalSocket stranger;
        stranger.connectToServer(socketPath);
        QVERIFY(stranger.waitForConnected(5000));
        stranger.write("GET / HTTP/1.0\r\n\r\n");
        QTRY_COMPARE(stranger.state(), QLocalSocket::UnconnectedState);

        // A relative name is taken against the second start's own folder.
        const QString folder = root_->filePath(QStringLiteral("series"));
        const QString first = MakeFile(QStringLiteral("series/SPX.ops"));
        const QString second = MakeFile(QStringLiteral("elsewhere/SPY Feb.ops"));
        QProcess* start = StartProgram({QStringLiteral("SPX.ops"), second}, folder);
        QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
        QCOMPARE(start->exitStatus(), QProcess::NormalExit);
        QCOMPARE(start->exitCode(), 0);
        QTRY_COMPARE(opened, (QStringList{first, second}));

        // Without files it only brings the running program back; a file
        // already open brings its page to the front instead of a second page.
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        start = StartProgram({}, folder);
        QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
        QCOMPARE(start->exitCode(), 0);
        QTRY_VERIFY(!form->isMinimized());
        QCOMPARE(form->Pages().Count(), 2);

        QTRY_VERIFY(form->Pages().Current()
                    && form->Pages().Current()->windowTitle() == QLatin1String("SPY Feb"));
        start = StartProgram({first}, folder);
        QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
        QCOMPARE(start->exitCode(), 0);
        QTRY_VERIFY(form->Pages().Current()
                    && form->Pages().Current()->windowTitle() == QLatin1String("SPX"));
        QCOMPARE(opened.size(), 2);
        QCOMPARE(form->Pages().Count(), 2);
    }
    // A program that ends leaves no socket behind.
    QVERIFY(!QFileInfo::exists(socketPath));
}

void DesktopTest::filesOpenAsFileOpenDoes()
{
    const QString good = MakeFile(
        QStringLiteral("good.ops"),
        FileBytes(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/series/worked_example.ops")));
    const QString damaged = MakeFile(QStringLiteral("damaged.ops"),
                                     QByteArrayLiteral("\x01\x02\x01\x7f garbage"));
    const QString missing = root_->filePath(QStringLiteral("missing.ops"));

    // A first start with a file on its command line shows that file, not the
    // sample.
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    form->SetStartFiles({good});
    QVERIFY(form->FormCreate());
    QCOMPARE(form->Pages().Count(), 1);
    QCOMPARE(form->findChild<QWidget*>(QStringLiteral("frmOPage"))->windowTitle(), QStringLiteral("ABC"));

    WhileModal(TypeIntoFileDialog(root_->path(), QStringLiteral("damaged.ops")));
    form->Files().FileOpen();
    WhileModal(nullptr);
    QCOMPARE(notifier_.errors.size() + notifier_.infos.size(), 1);
    const QStringList fromTheDialog = notifier_.errors + notifier_.infos;
    notifier_ = RecordingNotifier();

    // Two files that cannot be opened: one message naming each with its cause.
    form->OpenSeriesFiles({missing, damaged});
    QCOMPARE(form->Pages().Count(), 1);
    const QStringList messages = notifier_.errors + notifier_.infos;
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QDir::toNativeSeparators(missing) + QLatin1String(": "))
                 && messages[0].contains(QDir::toNativeSeparators(damaged) + QLatin1String(": ")
                                         + fromTheDialog[0]),
             qPrintable(messages[0]));
    // Only what opened is remembered.
    QCOMPARE(form->Session().RecentFiles().Files(), QStringList{good});
}

void DesktopTest::openRecentKeepsTheLastEight()
{
    QStringList opened;
    auto form = NewForm();
    form->SetPageFactory(RecordingPages(&opened));
    QVERIFY(form->FormCreate());
    QMenu* menu = form->findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"));
    QVERIFY(menu);
    QVERIFY(!menu->menuAction()->isEnabled());

    QStringList files;
    for (int i = 0; i < 10; ++i)
        files.append(MakeFile(QStringLiteral("series/S%1.ops").arg(i)));
    form->OpenSeriesFiles(files);
    const QString sameName = MakeFile(QStringLiteral("other/S5.ops"));
    form->OpenSeriesFiles({sameName});
    // Opening one again (its page comes to the front) puts it first once.
    form->OpenSeriesFiles({files[4]});
    const QStringList expected{files[4], sameName, files[9], files[8],
                               files[7], files[6], files[5], files[3]};
    QCOMPARE(form->Session().RecentFiles().Files(), expected);
    QCOMPARE(RecentInMenu(*form), expected);
    QVERIFY(menu->menuAction()->isEnabled());
    // Two files of one name are told apart by their folders.
    const QList<QAction*> actions = menu->actions();
    QVERIFY(actions[1]->text() != actions[6]->text());
    // Written when it changed, not at shut-down.
    QVERIFY(FileBytes(SettingsFile()).contains("other/S5.ops"));

    // A file deleted meanwhile is said to be gone and leaves the list.
    QVERIFY(QFile::remove(files[9]));
    const int pages = form->Pages().Count();
    actions[2]->trigger();
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY2(notifier_.infos[0].contains(QLatin1String("S9.ops"))
                 && notifier_.infos[0].contains(QLatin1String("gone")),
             qPrintable(notifier_.infos[0]));
    QCOMPARE(form->Pages().Count(), pages);
    QVERIFY(!RecentInMenu(*form).contains(files[9]));
    QVERIFY(!FileBytes(SettingsFile()).contains("S9.ops"));

    // An entry opens a page as File > Open does, also for a file shown already.
    opened.clear();
    menu->actions()[0]->trigger();
    QCOMPARE(opened, QStringList{files[4]});

    // The next start reads the list, leaving out what cannot be an entry.
    form->close();
    {
        QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
        stored.setValue(QStringLiteral("Recent/SeriesFiles"),
                        QStringList{QStringLiteral("relative.ops"), files[3], QString(), files[3], files[2]});
    }
    auto later = NewForm();
    QVERIFY(later->FormCreate());
    QCOMPARE(RecentInMenu(*later), (QStringList{files[3], files[2]}));
    later->findChild<QAction*>(QStringLiteral("FileClearRecentItem"))->trigger();
    QVERIFY(RecentInMenu(*later).isEmpty());
    QVERIFY(!later->findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"))->menuAction()->isEnabled());
    QVERIFY(!FileBytes(SettingsFile()).contains("S3.ops"));
}

void DesktopTest::openRecentDropsOnlyWhatIsGone_data()
{
    // How the entry is made in folder `at`; whether File > Open's dialog can
    // pick it (a folder it would open instead); whether it is gone.
    QTest::addColumn<std::function<QString(const QString&)>>("make");
    QTest::addColumn<bool>("dialogPicks");
    QTest::addColumn<bool>("gone");

    const auto fifo = [](const QString& at) {
        const QString path = at + QStringLiteral("/fifo.ops");
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
    };
    const auto folder = [](const QString& at) {
        const QString path = at + QStringLiteral("/folder.ops");
        return QDir().mkpath(path) ? path : QString();
    };
    // A relative target is taken in the entry's folder.
    const auto linkTo = [](const QString& target) {
        return [target](const QString& at) {
            const QString path = at + QStringLiteral("/link.ops");
            return QFile::link(QDir(at).absoluteFilePath(target), path) ? path : QString();
        };
    };
    const auto missing = [](const QString& at) { return at + QStringLiteral("/missing.ops"); };
    QTest::newRow("a FIFO") << std::function<QString(const QString&)>(fifo) << true << false;
    QTest::newRow("a folder") << std::function<QString(const QString&)>(folder) << false << false;
    QTest::newRow("a link to /dev/zero")
        << std::function<QString(const QString&)>(linkTo(QStringLiteral("/dev/zero"))) << true << false;
    QTest::newRow("nothing at the name") << std::function<QString(const QString&)>(missing) << false << true;
    QTest::newRow("a link to nothing")
        << std::function<QString(const QString&)>(linkTo(QStringLiteral("nowhere.ops"))) << false << true;
}

void DesktopTest::openRecentDropsOnlyWhatIsGone()
{
    QFETCH(std::function<QString(const QString&)>, make);
    QFETCH(bool, dialogPicks);
    QFETCH(bool, gone);
    const QString folder = root_->filePath(QStringLiteral("series"));
    QVERIFY(QDir().mkpath(folder));
    const QString entry = make(folder);
    QVERIFY(!entry.isEmpty());
    const QString kept = MakeFile(QStringLiteral("series/kept.ops"));
    SavePlacement(0, 10, 780);
    {
        QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
        stored.setValue(QStringLiteral("Recent/SeriesFiles"), QStringList{entry, kept});
    }
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    QCOMPARE(RecentInMenu(*form), (QStringList{entry, kept}));

    form->findChild<QMenu*>(QStringLiteral("FileOpenRecentMenu"))->actions()[0]->trigger();
    const QStringList said = notifier_.messages;
    QCOMPARE(said.size(), 1);
    QCOMPARE(form->Pages().Count(), 0);
    QVERIFY2(said[0].contains(QFileInfo(entry).fileName()), qPrintable(said[0]));
    QCOMPARE(said[0].contains(QLatin1String("gone")), gone);
    // Only what is gone leaves the list, also the one written for the next run.
    const QStringList expected = gone ? QStringList{kept} : QStringList{entry, kept};
    QCOMPARE(RecentInMenu(*form), expected);
    const QByteArray written = FileBytes(SettingsFile());
    QVERIFY(written.contains("series/kept.ops"));
    QCOMPARE(written.contains(("series/" + QFileInfo(entry).fileName()).toUtf8()), !gone);

    // What is there says what File > Open says of it.
    if (dialogPicks) {
        notifier_ = RecordingNotifier();
        WhileModal(TypeIntoFileDialog(folder, QFileInfo(entry).fileName()));
        form->Files().FileOpen();
        WhileModal(nullptr);
        QCOMPARE(notifier_.messages, said);
    }
}

void DesktopTest::failuresOfAHandOverMakeOneMessage()
{
    // Thirty files of four kinds that cannot be opened, and one that can.
    const QString bad = root_->filePath(QStringLiteral("bad"));
    QVERIFY(QDir().mkpath(bad));
    QStringList failing;
    for (int i = 0; i < 30; ++i) {
        const QString path = bad + QStringLiteral("/S%1.ops").arg(i);
        switch (i % 4) {
        case 0:
            break;  // missing
        case 1:
            QVERIFY(!MakeFile(QStringLiteral("bad/S%1.ops").arg(i), QByteArrayLiteral("\x01\x02\x01\x7f ?"))
                         .isEmpty());
            break;
        case 2:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            break;
        default:
            QVERIFY(QDir().mkpath(path));
        }
        failing.append(path);
    }
    const QString good = MakeFile(
        QStringLiteral("good.ops"),
        FileBytes(QStringLiteral(KESTRAVA_TEST_DATA_DIR "/series/worked_example.ops")));

    SavePlacement(0, 10, 780);
    auto form = NewForm();
    form->SetPageFactory(OptionPageFactory());
    QVERIFY(form->FormCreate());
    // What File > Open says of each alone: one file handed over says it as
    // the dialog does.
    QStringList causes;
    for (const QString& file : failing) {
        notifier_ = RecordingNotifier();
        form->OpenSeriesFiles({file});
        QCOMPARE(notifier_.messages.size(), 1);
        causes.append(notifier_.messages[0]);
    }
    for (int i : {1, 2}) {
        notifier_ = RecordingNotifier();
        WhileModal(TypeIntoFileDialog(bad, QFileInfo(failing[i]).fileName()));
        form->Files().FileOpen();
        WhileModal(nullptr);
        QCOMPARE(notifier_.messages, QStringList{causes[i]});
    }
    QCOMPARE(form->Pages().Count(), 0);

    notifier_ = RecordingNotifier();
    InstanceChannel channel(InstanceSocketPath());
    QCOMPARE(channel.ClaimOrHandOver({}, nullptr), InstanceChannel::Claim::Listening);
    channel.SetReceiver([&form](const QStringList& files) { form->HandOver(files); });
    QProcess* start = StartProgram(failing + QStringList{good}, root_->path());
    QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
    QCOMPARE(start->exitCode(), 0);
    QTRY_COMPARE(notifier_.messages.size(), 1);
    // The one that could be opened was.
    QCOMPARE(form->Pages().Count(), 1);
    // The first twenty failures, each with its cause; the rest counted.
    const QStringList lines = notifier_.messages[0].split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 1 + kMaxListedFiles + 1);
    QVERIFY2(lines[0].contains(QLatin1String("30")) && lines[0].contains(QLatin1String("31")),
             qPrintable(lines[0]));
    for (int i = 0; i < kMaxListedFiles; ++i)
        QCOMPARE(lines[1 + i], QDir::toNativeSeparators(failing[i]) + QLatin1String(": ") + causes[i]);
    QVERIFY2(lines.last().contains(QString::number(30 - kMaxListedFiles)), qPrintable(lines.last()));
    // Errors among them make the message an error.
    QCOMPARE(notifier_.errors.size(), 1);

    // The same at start-up, from the command line.
    form.reset();
    notifier_ = RecordingNotifier();
    auto later = NewForm();
    later->SetPageFactory(OptionPageFactory());
    later->SetStartFiles(failing);
    QVERIFY(later->FormCreate());
    QCOMPARE(notifier_.messages.size(), 1);
    QCOMPARE(notifier_.messages[0].split(QLatin1Char('\n')).mid(1), lines.mid(1));
}

void DesktopTest::aBatchMessageStaysShort()
{
    // As many files as a hand-over takes, each with the longest path it takes.
    std::vector<FileReport> reports;
    for (int i = 0; i < kMaxHandOverFiles; ++i) {
        const QString path = QLatin1Char('/') + QString(kMaxHandOverPathBytes - 8, QLatin1Char('a'))
                             + QString::number(i) + QStringLiteral(".ops");
        reports.push_back({path, false, {QStringLiteral("Cannot open file \"%1\". Gone.").arg(path)}});
    }
    const QString text = BatchReportText(reports, kMaxHandOverFiles);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 1 + kMaxListedFiles + 1);
    QVERIFY2(lines.last().contains(QString::number(kMaxHandOverFiles - kMaxListedFiles)),
             qPrintable(lines.last()));
    // A line is cut in its middle: it starts as the file's name and ends as
    // its cause.
    for (int i = 0; i < kMaxListedFiles; ++i) {
        QVERIFY(lines[1 + i].size() < kMaxHandOverPathBytes / 4);
        QVERIFY(reports[std::size_t(i)].file.startsWith(lines[1 + i].left(20)));
        QVERIFY(lines[1 + i].endsWith(QString::number(i) + QStringLiteral(".ops\". Gone.")));
    }
}

void DesktopTest::dropsOpenSeriesFilesOnly()
{
    QStringList opened;
    SavePlacement(0, 10, 780);
    auto form = NewForm();
    form->SetPageFactory(RecordingPages(&opened));
    QVERIFY(form->FormCreate());
    const QString spx = MakeFile(QStringLiteral("SPX.ops"));
    const QString upper = MakeFile(QStringLiteral("SPY.OPS"));
    const QString third = MakeFile(QStringLiteral("QQQ.ops"));
    const QString notes = MakeFile(QStringLiteral("notes.txt"));

    // On the strip: the series opens, the rest is named and left.
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(spx), QUrl::fromLocalFile(notes),
                   QUrl(QStringLiteral("https://example.com/x.ops"))});
    Drop(form.get(), mixed);
    QTRY_COMPARE(opened, QStringList{spx});
    QCOMPARE(notifier_.infos.size(), 1);
    QVERIFY2(notifier_.infos[0].contains(QLatin1String("notes.txt"))
                 && notifier_.infos[0].contains(QLatin1String("https://example.com/x.ops")),
             qPrintable(notifier_.infos[0]));

    // On a page: a file open already gets no second page.
    QWidget* page = PageWindow(*form, QStringLiteral("SPX"));
    QVERIFY(page);
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(spx), QUrl::fromLocalFile(upper)});
    Drop(page, two);
    QTRY_COMPARE(opened, (QStringList{spx, upper}));

    // On a box of a page, a file opens too rather than becoming its text.
    auto* box = page->findChild<QLineEdit*>();
    QMimeData one;
    one.setUrls({QUrl::fromLocalFile(third)});
    Drop(box, one);
    QTRY_COMPARE(opened, (QStringList{spx, upper, third}));
    QVERIFY(box->text().isEmpty());

    // Text is no file.
    QMimeData text;
    text.setText(QStringLiteral("SPX"));
    Drop(form.get(), text);
    QTRY_COMPARE(notifier_.infos.size(), 2);
    QCOMPARE(opened.size(), 3);
}

void DesktopTest::ctrlQQuitsFromAPage()
{
    auto form = NewForm();
    QVERIFY(form->FormCreate());
    FakePage* page = AddSpyPage(*form);
    QTest::keyClick(page->Window(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!form->isVisible());
    // As File > Exit: the settings were written.
    QVERIFY(FileBytes(SettingsFile()).contains("Width="));
}

void DesktopTest::aStartWhoseFoldersCannotBeMadeSaysWhyAndFails()
{
    // The program as main() starts it, in a home whose Documents is a file:
    // no data folder can be made below it.
    const QByteArray home = qgetenv("HOME");
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });
    qputenv("HOME", QFile::encodeName(root_->path()));
    const QString blocked = MakeFile(QStringLiteral("Documents"), "not a folder");
    QVERIFY(!blocked.isEmpty());
    QStringList shown;
    modalAction_ = [&shown](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            shown.append(box->text());
    };
    QCOMPARE(RunApplication(*qApp, {}), 1);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(QDir::toNativeSeparators(blocked)), qPrintable(shown[0]));
}

void DesktopTest::eachDisplayHasOneSocketName_data()
{
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<QString>("name");
    QTest::newRow("a screen of a display is the display") << ""
                                                          << ":1.0"
                                                          << "kestrava-_1.socket";
    QTest::newRow("host and display") << ""
                                      << "box.lan:10"
                                      << "kestrava-box.lan_10.socket";
    QTest::newRow("Wayland first") << "wayland-1"
                                   << ":0"
                                   << "kestrava-wayland-1.socket";
    QTest::newRow("no separator, space or letter beyond ASCII") << "../w ay/l\u00e4nd"
                                                                << ""
                                                                << "kestrava-.._w_ay_l_nd.socket";
}

void DesktopTest::eachDisplayHasOneSocketName()
{
    QFETCH(QString, wayland);
    QFETCH(QString, x11);
    QFETCH(QString, name);
    const QByteArray waylandBefore = qgetenv("WAYLAND_DISPLAY"), x11Before = qgetenv("DISPLAY");
    const auto restore = qScopeGuard([&] {
        for (const auto& [variable, value] :
             {std::pair{"WAYLAND_DISPLAY", waylandBefore}, {"DISPLAY", x11Before}})
            value.isNull() ? qunsetenv(variable) : qputenv(variable, value);
    });
    wayland.isEmpty() ? qunsetenv("WAYLAND_DISPLAY") : qputenv("WAYLAND_DISPLAY", wayland.toUtf8());
    qputenv("DISPLAY", x11.toUtf8());
    QCOMPARE(InstanceSocketPath(), runtime_ + QLatin1Char('/') + name);
}

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
