// The application's logic without windows: settings, folders, the download
// list, the strip's placement and the files the program carries.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <random>

#include <unistd.h>

#include "appcore/AppFolders.h"
#include "appcore/AppSettings.h"
#include "appcore/DownloadList.h"
#include "appcore/HelpPages.h"
#include "appcore/OpenDocument.h"
#include "appcore/SetupRules.h"
#include "appcore/StartupFiles.h"
#include "appcore/WindowPlacement.h"
#include "downloadcore/QuoteDownload.h"
#include "support/fifo_race.h"

using namespace kestrava;

namespace {

LocaleInfo CommaLocale()
{
    return LocaleInfo::FromPattern("dd.MM.yyyy", ',');
}

QStringList ReadLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

}  // namespace

class AppCoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ---- settings
    void settingsDefaultsWhenEmpty();
    void settingsKeepTheirTypes();
    void ratesRoundTripUnderEitherSeparator_data();
    void ratesRoundTripUnderEitherSeparator();
    void unreadableValuesKeepDefaults();
    void everySettingReadsBackAsWritten();
    void secondWriteKeepsWhatWasEditedByHand();

    // ---- folders
    void firstRunCreatesBothFolders();
    void existingDataFolderLeavesAsciiDirEmpty();
    void folderThatCannotBeMadeNamesItself();
    void priceFileBase_data();
    void priceFileBase();

    // ---- download list
    void defaultsAreSortedIgnoringCase();
    void equalEntriesIgnoringCaseCollapse();
    void replaceSymbolRemovesOnlyItsOwnEntry();
    void loadSkipsBlankAndDamagedLines();
    void saveLeavesOldFileWhenFolderIsGone();

    // ---- placement
    void placement_data();
    void placement();

    // ---- carried files
    void requestTemplateFileReplacesTheResource();
    void listAndTemplateNeverWaitOnASwappedFifo();
    void samplesArePlacedOnlyWhenAbsent();
    void helpKeywordsNamePages();
    void installedHelpPagesAreFoundBesideTheProgram();
    void openerThatFailsIsReported_data();
    void openerThatFailsIsReported();
};

void AppCoreTest::settingsDefaultsWhenEmpty()
{
    QTemporaryDir dir;
    QSettings stored(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    AppSettings settings;
    QStringList problems;
    settings.Load(stored, LocaleInfo{}, &problems);
    QVERIFY(problems.isEmpty());
    QCOMPARE(settings.Left, 0);
    QCOMPARE(settings.Top, 10);
    QCOMPARE(settings.Width, 0);
    QCOMPARE(settings.SourceFileType, std::uint8_t{5});
    QCOMPARE(settings.Rate30, 0.005f);
    QCOMPARE(settings.Rate90, 0.005f);
}

void AppCoreTest::settingsKeepTheirTypes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    {
        QSettings stored(path, QSettings::IniFormat);
        AppSettings settings;
        settings.Left = 12;
        settings.Width = 900;
        settings.AsciiDataDir = QStringLiteral("/data/prices");
        settings.QuoteServer = QStringLiteral("http://quotes.example:8080");
        // Into a new file every value goes, changed or not.
        settings.SaveChanges(stored, LocaleInfo{}, AppSettings{});
    }
    // Integers stay plain numbers and the rates plain decimal text in the
    // file, as other tools reading it expect.
    const QStringList lines = ReadLines(path);
    QVERIFY2(lines.contains(QStringLiteral("Width=900")), qPrintable(lines.join(QLatin1Char('|'))));
    QVERIFY(lines.contains(QStringLiteral("SourceFileType=5")));
    QVERIFY(lines.contains(QStringLiteral("30DayRate=0.00499999988824129")));
    QVERIFY(lines.contains(QStringLiteral("AsciiDataDir=/data/prices")));
    // The unset servers are written too, so the user finds where they go.
    QVERIFY(lines.contains(QStringLiteral("[Servers]")));
    QVERIFY(lines.contains(QStringLiteral("HistoryServer=")));

    QSettings stored(path, QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("WinDims/Left")).toString(), QStringLiteral("12"));
    AppSettings reread;
    reread.Load(stored, LocaleInfo{});
    QCOMPARE(reread.Left, 12);
    QCOMPARE(reread.Width, 900);
    QCOMPARE(reread.Rate60, 0.005f);
    QCOMPARE(reread.QuoteServer, QStringLiteral("http://quotes.example:8080"));
}

void AppCoreTest::ratesRoundTripUnderEitherSeparator_data()
{
    QTest::addColumn<bool>("commaLocale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("expected");
    QTest::newRow("point") << true << QStringLiteral("0.00499999988824129") << 0.005f;
    QTest::newRow("comma") << true << QStringLiteral("0,0275") << 0.0275f;
    QTest::newRow("whole") << true << QStringLiteral("0") << 0.0f;
    QTest::newRow("exponent") << true << QStringLiteral("1e-05") << 0.00001f;
    // Written under a comma locale, read after a change to a point locale:
    // the comma is the decimal separator, never a thousands separator.
    QTest::newRow("comma under a point locale") << false << QStringLiteral("0,125") << 0.125f;
    QTest::newRow("long comma under a point locale")
        << false << QStringLiteral("0,00499999988824129") << 0.005f;
    QTest::newRow("point under a point locale") << false << QStringLiteral("0.0275") << 0.0275f;
}

void AppCoreTest::ratesRoundTripUnderEitherSeparator()
{
    QFETCH(bool, commaLocale);
    QFETCH(QString, text);
    QFETCH(float, expected);
    float rate = -1;
    QVERIFY(ParseRateText(text, commaLocale ? CommaLocale() : LocaleInfo{}, rate));
    QCOMPARE(rate, expected);
    QCOMPARE(RateText(0.005f, CommaLocale()), QStringLiteral("0,00499999988824129"));
    QCOMPARE(RateText(0.005f, LocaleInfo{}), QStringLiteral("0.00499999988824129"));
}

void AppCoreTest::unreadableValuesKeepDefaults()
{
    QTemporaryDir dir;
    QSettings stored(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    stored.setValue(QStringLiteral("Rates/30DayRate"), QStringLiteral("five"));
    stored.setValue(QStringLiteral("Rates/60DayRate"), QStringLiteral("1e999"));
    stored.setValue(QStringLiteral("Rates/90DayRate"), QStringLiteral("0.01"));
    stored.setValue(QStringLiteral("WinDims/Width"), QStringLiteral("wide"));
    stored.setValue(QStringLiteral("Servers/RequestDeadline"), QStringLiteral("soon"));
    AppSettings settings;
    QStringList problems;
    settings.Load(stored, LocaleInfo{}, &problems);
    QCOMPARE(settings.Rate30, 0.005f);
    QCOMPARE(settings.Rate60, 0.005f);
    QCOMPARE(settings.Rate90, 0.01f);
    QCOMPARE(settings.Width, 0);
    QCOMPARE(settings.RequestDeadline, 120);
    QCOMPARE(problems.size(), 4);
    // A deadline is kept within a second and an hour.
    stored.setValue(QStringLiteral("Servers/RequestDeadline"), 0);
    settings.Load(stored, LocaleInfo{});
    QCOMPARE(settings.RequestDeadline, 1);
    QVERIFY(problems.join(QLatin1Char(' ')).contains(QStringLiteral("\"five\"")));
}

namespace {

// Random settings of every kind the file holds: coordinates to the desktop's
// edges, any file type, rates of a single's whole range of digits, texts
// with the characters an INI file escapes.
AppSettings RandomSettings(std::mt19937& random)
{
    const auto between = [&random](int least, int most) {
        return std::uniform_int_distribution<int>(least, most)(random);
    };
    const QString texts[] = {QString(),
                             QStringLiteral("/data/prices"),
                             QStringLiteral("C:\\Kurse\\M\u00fcnchen"),
                             QStringLiteral("/a b/;#=x,y\"z"),
                             QStringLiteral("http://quotes.example:8080"),
                             QStringLiteral("https://h.example/p?q=1&r=%2F")};
    const float rates[] = {0.0f,
                           0.005f,
                           0.0425f,
                           1e-5f,
                           0.2f,
                           0.123456789f,
                           std::uniform_real_distribution<float>(0, 0.2f)(random)};
    const QString formats[] = {QString(), QStringLiteral("M/d/yyyy"), QStringLiteral("dd.MM.yyyy"),
                               QStringLiteral("yyyy-MM-dd")};
    const auto pick = [&random](const auto& list) { return list[random() % std::size(list)]; };
    AppSettings settings;
    settings.Left = between(-1000000, 1000000);
    settings.Top = between(-1000000, 1000000);
    settings.Width = between(0, 1000000);
    settings.AsciiDataDir = pick(texts);
    settings.SourceFileType = static_cast<std::uint8_t>(between(0, 255));
    settings.Rate30 = pick(rates);
    settings.Rate60 = pick(rates);
    settings.Rate90 = pick(rates);
    settings.QuoteServer = pick(texts);
    settings.HistoryServer = pick(texts);
    settings.HistoryHomePage = pick(texts);
    settings.DateFormat = pick(formats);
    settings.QuoteByTemplate = random() % 2;
    settings.HistoryByTemplate = random() % 2;
    settings.QuoteUrlTemplate = pick(texts) + QStringLiteral("/{SYMBOL}");
    settings.HistoryUrlTemplate = pick(texts) + QStringLiteral("?from={FROM}&to={TO}");
    return settings;
}

// Every value the file holds, as one text a failure can show.
QString SettingsText(const AppSettings& s)
{
    return QStringLiteral("%1 %2 %3 [%4] %5 %6 %7 %8 [%9] [%10] [%11] [%12] %13 %14 [%15] [%16]")
        .arg(s.Left)
        .arg(s.Top)
        .arg(s.Width)
        .arg(s.AsciiDataDir)
        .arg(s.SourceFileType)
        .arg(static_cast<double>(s.Rate30), 0, 'g', 9)
        .arg(static_cast<double>(s.Rate60), 0, 'g', 9)
        .arg(static_cast<double>(s.Rate90), 0, 'g', 9)
        .arg(s.QuoteServer, s.HistoryServer, s.HistoryHomePage, s.DateFormat)
        .arg(s.QuoteByTemplate)
        .arg(s.HistoryByTemplate)
        .arg(s.QuoteUrlTemplate, s.HistoryUrlTemplate);
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

void AppCoreTest::everySettingReadsBackAsWritten()
{
    unsigned seed = 20080102;
    if (const char* chosen = std::getenv("KESTRAVA_TEST_SEED"))
        seed = static_cast<unsigned>(std::strtoul(chosen, nullptr, 10));
    qInfo("settings round trips, seed %u (KESTRAVA_TEST_SEED)", seed);
    std::mt19937 random(seed);
    QTemporaryDir dir;
    for (int round = 0; round < 60; ++round) {
        const LocaleInfo locale = round % 2 ? CommaLocale() : LocaleInfo{};
        const QString path = dir.filePath(QStringLiteral("round%1.ini").arg(round));
        const AppSettings written = RandomSettings(random);
        {
            QSettings stored(path, QSettings::IniFormat);
            written.SaveChanges(stored, locale, AppSettings{});
        }
        // Read under either separator: a file outlives a change of locale.
        for (const LocaleInfo& reader : {locale, round % 2 ? LocaleInfo{} : CommaLocale()}) {
            QSettings stored(path, QSettings::IniFormat);
            AppSettings read;
            read.RequestDeadline = 7;
            QStringList problems;
            read.Load(stored, reader, &problems);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char(' '))));
            QVERIFY2(SettingsText(read) == SettingsText(written),
                     qPrintable(QStringLiteral("seed %1 round %2: %3 read as %4")
                                    .arg(seed)
                                    .arg(round)
                                    .arg(SettingsText(written), SettingsText(read))));
            QCOMPARE(read.Rate30, written.Rate30);
            QCOMPARE(read.Rate60, written.Rate60);
            QCOMPARE(read.Rate90, written.Rate90);
            // The deadline is never written: whoever set it keeps it.
            QCOMPARE(read.RequestDeadline, 7);
            QVERIFY(!stored.contains(QStringLiteral("Servers/RequestDeadline")));
        }
    }
}

void AppCoreTest::secondWriteKeepsWhatWasEditedByHand()
{
    // One run writes twice (a dialog's change, then the shut-down); between
    // the writes the user edits the file. What the user edited stays, also a
    // value the first write changed, and the second write changes only what
    // the run changed since the first.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrava27.ini"));
    WriteFile(path, "[Rates]\n30DayRate=0.01\n[WinDims]\nLeft=5\nTop=10\nWidth=800\n");
    AppSettings settings;
    {
        QSettings stored(path, QSettings::IniFormat);
        settings.Load(stored, CommaLocale());
    }
    AppSettings baseline = settings;
    settings.Rate30 = 0.0325f;
    settings.Left = 40;
    {
        QSettings stored(path, QSettings::IniFormat);
        settings.SaveChanges(stored, CommaLocale(), baseline);
    }
    baseline = settings;

    // By hand: a value the run wrote, a value it never changed, one it will
    // change again, and a group of another tool.
    QList<QByteArray> lines = ReadBytes(path).split('\n');
    const auto edit = [&lines](const QByteArray& key, const QByteArray& value) {
        for (QByteArray& line : lines)
            if (line.startsWith(key + '='))
                line = key + '=' + value;
    };
    edit("30DayRate", "0.045");
    edit("Width", "1280");
    edit("Left", "41");
    const QByteArray text = lines.join('\n') + "\n[Other]\nKeep=yes\n";
    WriteFile(path, text);

    settings.Left = 60;
    settings.HistoryServer = QStringLiteral("http://history.example");
    {
        QSettings stored(path, QSettings::IniFormat);
        settings.SaveChanges(stored, CommaLocale(), baseline);
    }
    const QByteArray after = ReadBytes(path);
    QSettings stored(path, QSettings::IniFormat);
    AppSettings read;
    read.Load(stored, CommaLocale());
    QCOMPARE(read.Rate30, 0.045f);
    QCOMPARE(read.Width, 1280);
    QCOMPARE(read.Left, 60);
    QCOMPARE(read.HistoryServer, QStringLiteral("http://history.example"));
    QCOMPARE(stored.value(QStringLiteral("Other/Keep")).toString(), QStringLiteral("yes"));
    // Line by line, only the two values the run changed differ.
    const QList<QByteArray> before = text.split('\n');
    QList<QByteArray> changed;
    for (const QByteArray& line : after.split('\n'))
        if (!before.contains(line))
            changed.append(line);
    std::sort(changed.begin(), changed.end());
    QCOMPARE(changed, (QList<QByteArray>{"HistoryServer=http://history.example", "Left=60"}));
}

void AppCoreTest::firstRunCreatesBothFolders()
{
    QTemporaryDir root;
    const FolderRoots roots{root.filePath(QStringLiteral("local/")), root.filePath(QStringLiteral("docs")),
                            root.path()};
    QString asciiDir;
    const AppFolders folders = AppFolders::Prepare(roots, asciiDir);
    QCOMPARE(folders.SeriesDir, root.filePath(QStringLiteral("local/Tovanek/Kestrava27/Data")));
    QCOMPARE(folders.DataDir, root.filePath(QStringLiteral("docs/Tovanek/Kestrava27/Data")));
    QCOMPARE(folders.AppDir, root.filePath(QStringLiteral("docs/Tovanek/Kestrava27")));
    QCOMPARE(folders.TickersFile(), root.filePath(QStringLiteral("docs/Tovanek/Kestrava27/Tickers.txt")));
    QVERIFY(QFileInfo(folders.SeriesDir).isDir());
    QVERIFY(QFileInfo(folders.DataDir).isDir());
    QVERIFY(folders.SeriesDirCreated && folders.DataDirCreated);
    QCOMPARE(asciiDir, QDir::toNativeSeparators(folders.DataDir));
    // Work files and replies go to a private folder, never straight into
    // the shared temporary folder.
    QCOMPARE(folders.TempDir, root.filePath(QStringLiteral("kestrava-%1").arg(::geteuid())));
    QCOMPARE(QFileInfo(folders.TempDir).permissions()
                 & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             QFileDevice::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // A second run finds them and leaves a chosen price folder alone.
    asciiDir = QStringLiteral("elsewhere");
    const AppFolders again = AppFolders::Prepare(roots, asciiDir);
    QVERIFY(!again.SeriesDirCreated && !again.DataDirCreated);
    QCOMPARE(asciiDir, QStringLiteral("elsewhere"));
}

void AppCoreTest::existingDataFolderLeavesAsciiDirEmpty()
{
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("docs/Tovanek/Kestrava27/Data"))));
    QString asciiDir;
    AppFolders::Prepare(
        {root.filePath(QStringLiteral("local")), root.filePath(QStringLiteral("docs")), root.path()},
        asciiDir);
    QVERIFY(asciiDir.isEmpty());
}

void AppCoreTest::folderThatCannotBeMadeNamesItself()
{
    QTemporaryDir root;
    // A file where the documents folder should be: nothing can go below it.
    const QString blocked = root.filePath(QStringLiteral("docs"));
    WriteFile(blocked, "not a folder");
    QString asciiDir;
    try {
        AppFolders::Prepare({root.filePath(QStringLiteral("local")), blocked, root.path()}, asciiDir);
        QFAIL("a folder below a file was reported as made");
    } catch (const FolderError& error) {
        QCOMPARE(error.Message(),
                 QStringLiteral("Cannot create ")
                     + QDir::toNativeSeparators(blocked + QStringLiteral("/Tovanek/Kestrava27/Data")));
    }
    QVERIFY(asciiDir.isEmpty());
}

void AppCoreTest::priceFileBase_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << QStringLiteral("/data/Spy.csv") << QStringLiteral("Spy");
    QTest::newRow("caret") << QStringLiteral("/data/^GSPC.csv") << QStringLiteral("^GSPC");
    QTest::newRow("no extension") << QStringLiteral("/data/SPY") << QString();
    QTest::newRow("extension inside") << QStringLiteral("/data/a.csv.b.csv") << QStringLiteral("a");
    QTest::newRow("two dots") << QStringLiteral("/data/my.data.txt") << QStringLiteral("my.data");
    QTest::newRow("written elsewhere") << QStringLiteral("C:\\Data\\Spy.csv") << QStringLiteral("Spy");
}

void AppCoreTest::priceFileBase()
{
    QFETCH(QString, path);
    QFETCH(QString, base);
    QCOMPARE(PriceFileBase(path), base);
}

void AppCoreTest::defaultsAreSortedIgnoringCase()
{
    DownloadList list;
    list.Assign(DownloadList::DefaultEntries());
    const QStringList sorted{QStringLiteral("GLD=GLD"),   QStringLiteral("OEX=^OEX"),
                             QStringLiteral("OIL=OIL"),   QStringLiteral("QQQ=QQQ"),
                             QStringLiteral("SPX=^GSPC"), QStringLiteral("SPY=SPY"),
                             QStringLiteral("YHOO=YHOO")};
    QCOMPARE(list.Entries(), sorted);
    list.Add(QStringLiteral("abc=ABC"));
    list.Add(QStringLiteral("Pfe=PFE"));
    QCOMPARE(list.Entries().first(), QStringLiteral("abc=ABC"));
    QCOMPARE(list.Entries().indexOf(QStringLiteral("Pfe=PFE")), 4);
}

void AppCoreTest::equalEntriesIgnoringCaseCollapse()
{
    DownloadList list;
    QVERIFY(list.Add(QStringLiteral("IBM=IBM")));
    QVERIFY(!list.Add(QStringLiteral("ibm=ibm")));
    QVERIFY(list.Add(QStringLiteral("IBM=IBM.X")));
    QCOMPARE(list.Count(), 2);
}

void AppCoreTest::replaceSymbolRemovesOnlyItsOwnEntry()
{
    DownloadList list;
    list.Assign(DownloadList::DefaultEntries());
    // SP is not SPX: the user's SPX=^GSPC stays.
    list.ReplaceSymbol(QStringLiteral("sp"), QStringLiteral("Spx"));
    QVERIFY(list.Entries().contains(QStringLiteral("SPX=^GSPC")));
    QVERIFY(list.Entries().contains(QStringLiteral("SP=Spx")));
    QCOMPARE(list.Count(), 8);
    // The same symbol in another case is the same entry; an entry without
    // "=" is all history symbol and no option symbol's entry.
    list.Add(QStringLiteral("IBM"));
    list.ReplaceSymbol(QStringLiteral("Spy"), QStringLiteral("SPY.X"));
    list.ReplaceSymbol(QStringLiteral("ibm"), QStringLiteral("IBM"));
    QVERIFY(!list.Entries().contains(QStringLiteral("SPY=SPY")));
    QVERIFY(list.Entries().contains(QStringLiteral("SPY=SPY.X")));
    QVERIFY(list.Entries().contains(QStringLiteral("IBM")));
    QVERIFY(list.Entries().contains(QStringLiteral("IBM=IBM")));
    QCOMPARE(list.Count(), 10);

    list.ReplaceSymbol(QStringLiteral("NEW"), QString());
    QVERIFY(list.Entries().contains(QStringLiteral("NEW=")));
    QCOMPARE(list.Count(), 11);
}

void AppCoreTest::loadSkipsBlankAndDamagedLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tickers.txt"));
    WriteFile(path, "SPY=SPY\r\n\r\nqqq=QQQ\nbad\x01line=X\nSPY=spy\n");
    DownloadList list;
    const DownloadList::LoadResult result = list.Load(path);
    QCOMPARE(list.Entries(), (QStringList{QStringLiteral("qqq=QQQ"), QStringLiteral("SPY=SPY")}));
    QVERIFY(!result.complete);
    QVERIFY(result.message.contains(QStringLiteral("1 line(s)")));

    // Bytes that are no UTF-8 text are damage too: read as replacement
    // characters they would be written back changed at shut-down.
    WriteFile(path, "IBM=IBM\n\xff\xfeJUNK=\xe9\nMSFT=MSFT\n");
    DownloadList undecodable;
    const DownloadList::LoadResult mixed = undecodable.Load(path);
    QCOMPARE(undecodable.Entries(), (QStringList{QStringLiteral("IBM=IBM"), QStringLiteral("MSFT=MSFT")}));
    QVERIFY(!mixed.complete);
    QVERIFY(mixed.message.contains(QStringLiteral("1 line(s)")));

    DownloadList clean;
    QVERIFY(clean.Load(QStringLiteral("%1/none.txt").arg(dir.path()))
                .message.contains(QStringLiteral("Cannot read")));
}

void AppCoreTest::saveLeavesOldFileWhenFolderIsGone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tickers.txt"));
    DownloadList list;
    list.Assign(DownloadList::DefaultEntries());
    QVERIFY(list.Save(path).isEmpty());
    QCOMPARE(ReadLines(path).size(), 7);
    QCOMPARE(ReadLines(path).first(), QStringLiteral("GLD=GLD"));

    // Written beside and renamed: no temporary file stays behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Tickers.txt")});

    DownloadList other;
    other.Add(QStringLiteral("X=X"));
    QVERIFY(!other.Save(dir.filePath(QStringLiteral("gone/Tickers.txt"))).isEmpty());
    QCOMPARE(ReadLines(path).size(), 7);
}

void AppCoreTest::placement_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QRect>("expected");  // left, top, width, least width
    QTest::newRow("first run centred")
        << 0 << 10 << 0 << QRect(0, 0, 1920, 1040) << 1920 << QRect(570, 0, 780, 780);
    QTest::newRow("work area offset")
        << 0 << 10 << 0 << QRect(64, 24, 1216, 776) << 1280 << QRect(282, 24, 780, 780);
    QTest::newRow("odd margin rounds down")
        << 0 << 10 << 0 << QRect(0, 0, 1025, 768) << 1025 << QRect(122, 0, 780, 780);
    QTest::newRow("narrower than strip")
        << 0 << 10 << 0 << QRect(0, 0, 700, 500) << 700 << QRect(0, 0, 700, 700);
    QTest::newRow("200 % on 1400 pixels")
        << 0 << 10 << 0 << QRect(0, 0, 700, 412) << 700 << QRect(0, 0, 700, 700);
    QTest::newRow("640 screen fills width")
        << 0 << 10 << 0 << QRect(0, 0, 640, 450) << 640 << QRect(0, 0, 640, 640);
    QTest::newRow("saved") << 100 << 200 << 1000 << QRect(0, 0, 1920, 1040) << 1920
                           << QRect(100, 200, 1000, 780);
    QTest::newRow("saved without top")
        << 100 << 10 << 900 << QRect(0, 0, 1920, 1040) << 1920 << QRect(100, 10, 900, 780);
    QTest::newRow("saved too narrow")
        << 5 << 6 << 300 << QRect(0, 0, 1920, 1040) << 1920 << QRect(5, 6, 780, 780);
    QTest::newRow("saved off the right")
        << 1500 << 6 << 800 << QRect(0, 0, 1920, 1040) << 1920 << QRect(1120, 6, 800, 780);
    QTest::newRow("saved above and left")
        << -300 << -50 << 800 << QRect(0, 20, 1920, 1040) << 1920 << QRect(0, 20, 800, 780);
    QTest::newRow("saved wider than screen")
        << 0 << 0 << 2500 << QRect(0, 0, 1920, 1040) << 1920 << QRect(0, 0, 1920, 780);
    QTest::newRow("saved on a narrow screen")
        << 0 << 0 << 900 << QRect(0, 0, 700, 500) << 700 << QRect(0, 0, 700, 700);
}

void AppCoreTest::placement()
{
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(QRect, workArea);
    QFETCH(int, screenWidth);
    QFETCH(QRect, expected);
    const StripPlacement placed = PlaceStrip(left, top, width, workArea, screenWidth);
    QCOMPARE(QRect(placed.left, placed.top, placed.width, placed.minWidth), expected);
}

void AppCoreTest::requestTemplateFileReplacesTheResource()
{
    QTemporaryDir dir;
    QString problem;
    const QByteArray builtIn = LoadRequestTemplate(dir.path(), &problem);
    QVERIFY(problem.isEmpty());
    // The symbol goes after the template's last field, the submit button's
    // field after it; the opaque form state goes out as stored.
    const QByteArray body = QByteArray::fromStdString(QuoteRequestBody(builtIn.toStdString(), "SpX"));
    QVERIFY(body.startsWith(builtIn));
    const QList<QByteArray> fields = body.split('&');
    QCOMPARE(fields.size(), 8);
    QVERIFY(fields[6].endsWith("txtTicker=spx"));
    QVERIFY(fields[7].endsWith("cmdSubmit=Download"));
    QVERIFY(fields[2].startsWith("__VIEWSTATE="));

    // A deployment's own capture wins; an editor's line end is no part of it.
    const QString own = dir.filePath(QStringLiteral("POSTSTR5B"));
    WriteFile(own, "__VIEWSTATE=abc%2B&txtTicker=\r\n");
    QCOMPARE(LoadRequestTemplate(dir.path(), &problem), QByteArray("__VIEWSTATE=abc%2B&txtTicker="));
    QVERIFY(problem.isEmpty());

    // What cannot be a form body is reported, and the built-in one used.
    for (const QByteArray& bad : {QByteArray("\n"), QByteArray("a=1&b=2"), QByteArray("a=1 &b=")}) {
        WriteFile(own, bad);
        problem.clear();
        QCOMPARE(LoadRequestTemplate(dir.path(), &problem), builtIn);
        QVERIFY2(problem.contains(QDir::toNativeSeparators(own)), qPrintable(problem));
    }
}

// The download list and the request template are read through one open of
// their name: another process swapping a FIFO in never holds the program.
void AppCoreTest::listAndTemplateNeverWaitOnASwappedFifo()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("list"))
            && QDir(dir.path()).mkpath(QStringLiteral("app")));
    // Each read either takes the file or refuses the FIFO; anything else is
    // kept to be shown here, on the test's own thread.
    QStringList unexpected;
    const QString list = dir.filePath(QStringLiteral("list/Tickers.txt"));
    std::string problem = testsupport::ReadsComeBackWhileAFifoIsSwappedIn(
        list.toStdString(), "SPX=^GSPC\nSPY\n", [&](const std::filesystem::path&) {
            DownloadList entries;
            const DownloadList::LoadResult result = entries.Load(list);
            if (!(result.complete && entries.Entries().size() == 2)
                && !result.message.contains(QStringLiteral("it is not a regular file")))
                unexpected.append(result.message);
        });
    QVERIFY2(problem.empty(), problem.c_str());
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
    DownloadList after;
    QVERIFY(after.Load(list).complete);
    QCOMPARE(after.Entries().size(), 2);

    QString builtInProblem;
    const QByteArray builtIn = LoadRequestTemplate(QString(), &builtInProblem);
    const QString app = dir.filePath(QStringLiteral("app"));
    const QByteArray own = "__VIEWSTATE=x&txtTicker=";
    problem = testsupport::ReadsComeBackWhileAFifoIsSwappedIn(
        (app + QStringLiteral("/POSTSTR5B")).toStdString(), own.toStdString(),
        [&](const std::filesystem::path&) {
            QString said;
            const QByteArray body = LoadRequestTemplate(app, &said);
            const bool read = said.isEmpty() && body == own;
            const bool refused = said.contains(QStringLiteral("it is not a regular file")) && body == builtIn;
            if (!read && !refused)
                unexpected.append(said);
        });
    QVERIFY2(problem.empty(), problem.c_str());
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
    QString said;
    QCOMPARE(LoadRequestTemplate(app, &said), own);
    QVERIFY2(said.isEmpty(), qPrintable(said));
}

void AppCoreTest::samplesArePlacedOnlyWhenAbsent()
{
    QTemporaryDir root;
    QString asciiDir;
    const AppFolders folders = AppFolders::Prepare(
        {root.filePath(QStringLiteral("l")), root.filePath(QStringLiteral("d")), root.path()}, asciiDir);
    const QString ownSeries = folders.SeriesDir + QStringLiteral("/sample.ops");
    WriteFile(ownSeries, "mine");
    const QStringList placed = PlaceSamples(folders);
    QCOMPARE(placed, QStringList{folders.DataDir + QStringLiteral("/SMPL.csv")});
    QCOMPARE(ReadLines(placed.first()).first(), QStringLiteral("Date,Open,High,Low,Close,Volume"));
    QFile own(ownSeries);
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("mine"));
    QVERIFY(PlaceSamples(folders).isEmpty());
}

void AppCoreTest::helpKeywordsNamePages()
{
    QTemporaryDir dir;
    QVERIFY(WriteHelpPages(dir.path()).isEmpty());
    for (const QString& keyword :
         {kHelpGettingStarted, kHelpOptionSetup, kHelpOptionSeriesGrid, kHelpFetchingMarketPrices,
          kHelpDownloadList, kHelpRiskFreeRates, kHelpOptionChain, kHelpServers, kHelpSmileTab,
          kHelpPositionTab, kHelpPositionFile, kHelpExportGrid, QString()}) {
        const QString page = HelpPageName(keyword);
        QVERIFY2(QFileInfo::exists(dir.filePath(page)), qPrintable(keyword + QStringLiteral(" -> ") + page));
    }
    // Every page is reachable from the contents, and every link between
    // pages leads to a page that was written.
    const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(pages.size() >= 13);
    const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)\""));
    QSet<QString> linkedFromContents;
    for (const QString& name : pages) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = link.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            QVERIFY2(QFileInfo::exists(dir.filePath(target)),
                     qPrintable(name + QStringLiteral(" -> ") + target));
            if (name == QStringLiteral("index.html"))
                linkedFromContents.insert(target);
        }
    }
    for (const QString& name : pages)
        QVERIFY2(name == QStringLiteral("index.html") || linkedFromContents.contains(name), qPrintable(name));
    QCOMPARE(HelpPageName(QStringLiteral("no such topic")), QStringLiteral("index.html"));
    QCOMPARE(HelpPageName(QStringLiteral("option setup")), QStringLiteral("option-setup.html"));
}

QTEST_GUILESS_MAIN(AppCoreTest)
void AppCoreTest::installedHelpPagesAreFoundBesideTheProgram()
{
    // An installation keeps the programs in bin/ and the pages in
    // share/kestrava/help/; a build tree has no pages beside the program.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    QCOMPARE(InstalledHelpFolder(prefix.filePath(QStringLiteral("bin"))), QString());
    const QString help = prefix.filePath(QStringLiteral("share/kestrava/help"));
    QVERIFY(QDir().mkpath(help));
    QCOMPARE(InstalledHelpFolder(prefix.filePath(QStringLiteral("bin"))), QString());  // no index yet
    QFile index(help + QStringLiteral("/index.html"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.close();
    QCOMPARE(InstalledHelpFolder(prefix.filePath(QStringLiteral("bin"))), QDir::cleanPath(help));
}

void AppCoreTest::openerThatFailsIsReported_data()
{
    QTest::addColumn<QString>("script");  // empty: no such program
    QTest::addColumn<bool>("reported");
    QTest::newRow("no browser found") << "exit 3" << true;
    QTest::newRow("opened") << "exit 0" << false;
    QTest::newRow("no opener") << "" << true;
}

void AppCoreTest::openerThatFailsIsReported()
{
    // The desktop's opener only finds out after it started that there is no
    // browser; its failure reaches the user with the page's path.
    QFETCH(QString, script);
    QFETCH(bool, reported);
    QTemporaryDir dir;
    QString opener = dir.filePath(QStringLiteral("opener"));
    if (!script.isEmpty()) {
        QFile file(opener);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + script.toUtf8() + "\n");
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QObject context;
    QStringList reports;
    bool ended = false;
    const QString page = dir.filePath(QStringLiteral("index.html"));
    const QString failure = QStringLiteral("No web browser could be started to show ")
                            + QDir::toNativeSeparators(page);
    OpenWithOpener(
        opener, page, &context, [&](const QString& problem) { reports.append(problem); }, failure);
    QObject* process = context.findChild<QObject*>();
    QVERIFY(process);
    connect(process, &QObject::destroyed, this, [&ended] { ended = true; });
    QTRY_VERIFY(ended);
    QCOMPARE(reports, reported ? QStringList{failure} : QStringList());
}

#include "appcore_test.moc"
