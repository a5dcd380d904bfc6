// The settings file belongs to the user as much as to the program: what is
// written into it by hand while the program runs survives the exit, the
// program writes only what it changed, and the Servers dialog gives the
// download servers and the date format a place in the program.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>

#include "app/DownloadCommands.h"
#include "controls/rmSpin.h"
#include "download/DownLoadDlg.h"
#include "mainform_fixture.h"

using namespace kestrava;
using namespace kestrava::mainformtest;

namespace {

class PageRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// The settings file as an editor changes it: `line` replaces the line that
// starts with `key` + "=" in `group`, or goes at the group's end.
void EditByHand(const QString& file, const QString& group, const QString& key, const QString& value)
{
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    in.close();
    const int start = lines.indexOf(QLatin1Char('[') + group + QLatin1Char(']'));
    QVERIFY2(start >= 0, qPrintable(group));
    int at = start + 1;
    while (at < lines.size() && !lines[at].startsWith(QLatin1Char('[')) && !lines[at].isEmpty()
           && !lines[at].startsWith(key + QLatin1Char('=')))
        ++at;
    const QString line = key + QLatin1Char('=') + value;
    if (at < lines.size() && lines[at].startsWith(key + QLatin1Char('=')))
        lines[at] = line;
    else
        lines.insert(at, line);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(lines.join(QLatin1Char('\n')).toUtf8());
    // A time of its own, as a later edit has: read again, never from a cache.
    QVERIFY(out.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
}

QString Stored(const QString& key)
{
    return QSettings(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27")).value(key).toString();
}

}  // namespace

class MainFormSettingsTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init() { FreshFolders(); }
    void cleanup() { root_.reset(); }

    void whatWasWrittenMeanwhileSurvivesTheExit()
    {
        // A first run writes every setting, the servers empty, so the user
        // finds where they go.
        auto first = NewForm();
        QVERIFY(first->FormCreate());
        first->close();
        QVERIFY(QFileInfo::exists(SettingsFile()));
        QCOMPARE(Stored(QStringLiteral("Servers/QuoteServer")), QString());
        QCOMPARE(Stored(QStringLiteral("Rates/90DayRate")), QStringLiteral("0.00499999988824129"));

        // While the next run runs, the user sets a server and a rate by hand;
        // the run changes another rate in its dialog and moves the strip.
        auto form = NewForm();
        QVERIFY(form->FormCreate());
        EditByHand(SettingsFile(), QStringLiteral("Servers"), QStringLiteral("QuoteServer"),
                   QStringLiteral("http://quotes.example:8080"));
        EditByHand(SettingsFile(), QStringLiteral("Rates"), QStringLiteral("90DayRate"),
                   QStringLiteral("0.03"));
        WhileModal([](QWidget* modal) {
            if (auto* rate = modal->findChild<TrmFloatSpinEdit*>(QStringLiteral("FSpinEdit2"))) {
                rate->SetValue(2.75);
                static_cast<QDialog*>(modal)->accept();
            }
        });
        form->findChild<QAction*>(QStringLiteral("Editdefaultinterestrates1"))->trigger();
        WhileModal(nullptr);
        // The dialog's rate is in the file at once.
        QCOMPARE(Stored(QStringLiteral("Rates/60DayRate")), QStringLiteral("0.0274999998509884"));
        form->move(form->x() + 40, form->y());
        form->findChild<QAction*>(QStringLiteral("FileExitItem"))->trigger();

        QCOMPARE(Stored(QStringLiteral("Servers/QuoteServer")), QStringLiteral("http://quotes.example:8080"));
        QCOMPARE(Stored(QStringLiteral("Rates/90DayRate")), QStringLiteral("0.03"));
        QCOMPARE(Stored(QStringLiteral("Rates/60DayRate")), QStringLiteral("0.0274999998509884"));
        QCOMPARE(Stored(QStringLiteral("WinDims/Left")).toInt(), form->x());
        QVERIFY(notifier_.infos.isEmpty());
    }

    void serversDialogTakesAUrlTemplateOfEitherKind()
    {
        auto form = NewForm();
        QVERIFY(form->FormCreate());
        QStringList problems;
        WhileModal([&](QWidget* modal) {
            if (modal->objectName() != QStringLiteral("dlgServers"))
                return;
            auto* dialog = static_cast<QDialog*>(modal);
            auto* kind = dialog->findChild<QComboBox*>(QStringLiteral("cmbHistoryKind"));
            auto* server = dialog->findChild<QLineEdit*>(QStringLiteral("edHistoryServer"));
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("edHistoryTemplate"));
            auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            QVERIFY(server->isEnabled() && !edit->isEnabled());
            kind->setCurrentIndex(1);
            QVERIFY(!server->isEnabled() && edit->isEnabled());
            // The server of the kind not chosen is not judged.
            server->setText(QStringLiteral("no address"));
            for (const char* bad : {"example.com/h?s={SYMBOL}", "https://example.com/h?s={TICKER}"}) {
                edit->setText(QLatin1String(bad));
                ok->setFocus();
                ok->click();
                QVERIFY(dialog->isVisible());
                problems << dialog->findChild<QLabel*>(QStringLiteral("lblProblem"))->text();
                // The refused text is selected in its box, ready to be typed over.
                QCOMPARE(dialog->focusWidget(), edit);
                QCOMPARE(edit->selectedText(), edit->text());
            }
            edit->setText(QStringLiteral("https://example.com/h?s={SYMBOL}&from={FROM}"));
            ok->click();
        });
        form->findChild<QAction*>(QStringLiteral("EditServersItem"))->trigger();
        WhileModal(nullptr);

        QCOMPARE(problems.size(), 2);
        for (const QString& problem : problems)
            QVERIFY2(problem.contains(QStringLiteral("The setting Servers/HistoryUrlTemplate is not used: ")),
                     qPrintable(problem));
        QVERIFY2(problems[0].contains(QStringLiteral("does not begin with http:// or https://")),
                 qPrintable(problems[0]));
        QVERIFY2(problems[1].contains(QStringLiteral("{TICKER}")), qPrintable(problems[1]));
        QCOMPARE(Stored(QStringLiteral("Servers/HistoryServerKind")), QStringLiteral("template"));
        QCOMPARE(Stored(QStringLiteral("Servers/HistoryUrlTemplate")),
                 QStringLiteral("https://example.com/h?s={SYMBOL}&from={FROM}"));
        QCOMPARE(Stored(QStringLiteral("Servers/QuoteServerKind")), QStringLiteral("classic"));
    }

    void serversDialogGivesTheServersAPlace()
    {
        PageRecorder browser;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "open");
        auto form = NewForm();
        QVERIFY(form->FormCreate());
        QString shownFile;
        WhileModal([&](QWidget* modal) {
            if (modal->objectName() != QStringLiteral("dlgServers"))
                return;
            auto* dialog = static_cast<QDialog*>(modal);
            shownFile = dialog->findChild<QLabel*>(QStringLiteral("lblSettingsFile"))->text();
            auto* quotes = dialog->findChild<QLineEdit*>(QStringLiteral("edQuoteServer"));
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTest::keyClick(quotes, Qt::Key_F1);
            // An address that is none keeps the dialog open and says why.
            auto* problem = dialog->findChild<QLabel*>(QStringLiteral("lblProblem"));
            QVERIFY(!problem->isVisible());
            quotes->setText(QStringLiteral("quotes.example"));
            dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            QVERIFY(dialog->isVisible());
            QVERIFY(problem->isVisible());
            QVERIFY(problem->text().contains(QStringLiteral("no http or https address")));
            quotes->setText(QStringLiteral("https://quotes.example/dq"));
            auto* dates = dialog->findChild<QComboBox*>(QStringLiteral("cmbDateFormat"));
            dates->setCurrentIndex(dates->findData(QStringLiteral("dd.MM.yyyy")));
            dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        });
        form->findChild<QAction*>(QStringLiteral("EditServersItem"))->trigger();
        WhileModal(nullptr);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        QCOMPARE(browser.opened.size(), 1);
        QCOMPARE(browser.opened[0].fileName(), QStringLiteral("servers.html"));
        QVERIFY(QFileInfo::exists(browser.opened[0].toLocalFile()));
        QVERIFY2(shownFile.contains(QDir::toNativeSeparators(SettingsFile())), qPrintable(shownFile));
        // In the file at once, and the program's dates follow the new format.
        QCOMPARE(Stored(QStringLiteral("Servers/QuoteServer")), QStringLiteral("https://quotes.example/dq"));
        QCOMPARE(Stored(QStringLiteral("Servers/DateFormat")), QStringLiteral("dd.MM.yyyy"));
        QCOMPARE(form->Session().Locale().shortDateFormat, std::string("dd.MM.yyyy"));
        QCOMPARE(form->Session().Locale().dateSeparator, '.');

        // A download from the server still missing says where to set it.
        DownloadCommandOptions options;
        options.dialogHook = [](TDloadDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.ckDoCBOE->click();
                dialog.ckDoMSN->click();
                dialog.btnOK->click();
            });
        };
        form->SetDownloadCommand(DownloadCommand(options));
        form->Data().DoDownload();
        QCOMPARE(notifier_.infos.size(), 1);
        const QString& message = notifier_.infos.front();
        QVERIFY2(message.startsWith(QStringLiteral("No server is set")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Edit > Servers...")), qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(SettingsFile())), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("HistoryServer")), qPrintable(message));
    }
};

QTEST_MAIN(MainFormSettingsTest)
#include "mainform_settings_test.moc"
