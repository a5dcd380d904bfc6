// The interest rates dialog and the about box.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include "app/About.h"
#include "app/GuiSeams.h"
#include "app/IntRateDlg.h"
#include "appcore/AppSettings.h"
#include "controls/rmSpin.h"

using namespace kestrava;

class AppDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void ratesShowInPercent();
    void okStoresUnchangedRatesBack();
    void okStoresTypedRates();
    void cancelKeepsRates();
    void ratesKeepToTheirRange();
    void enterPressesOk();
    void typingOverTheShownRate_data();
    void typingOverTheShownRate();

    void versionText_data();
    void versionText();
    void aboutShowsProgramVersion();
    void mailLinkCarriesSubject();

    void messagesShowOverTheWindowInUse();
};

void AppDialogsTest::ratesShowInPercent()
{
    AppSettings settings;
    settings.Rate60 = 0.0275f;
    TdlgIntRates dialog(settings, LocaleInfo{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Interest Rates"));
    QCOMPARE(dialog.FSpinEdit1->text(), QStringLiteral("0.50"));
    QCOMPARE(dialog.FSpinEdit2->text(), QStringLiteral("2.75"));
    QCOMPARE(dialog.FSpinEdit3->text(), QStringLiteral("0.50"));
}

void AppDialogsTest::okStoresUnchangedRatesBack()
{
    AppSettings settings;
    TdlgIntRates dialog(settings, LocaleInfo{});
    dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.Rate30, static_cast<float>(0.5 / 100));
    QCOMPARE(settings.Rate90, 0.005f);
}

void AppDialogsTest::okStoresTypedRates()
{
    AppSettings settings;
    TdlgIntRates dialog(settings, LocaleInfo{});
    dialog.FSpinEdit1->setText(QStringLiteral("1.25"));
    dialog.FSpinEdit2->SetValue(3);
    dialog.FSpinEdit3->Up();
    dialog.accept();
    QCOMPARE(settings.Rate30, 0.0125f);
    QCOMPARE(settings.Rate60, 0.03f);
    QCOMPARE(settings.Rate90, 0.015f);
}

void AppDialogsTest::cancelKeepsRates()
{
    AppSettings settings;
    settings.Rate90 = 0.04f;
    TdlgIntRates dialog(settings, LocaleInfo{});
    dialog.FSpinEdit1->SetValue(7);
    dialog.FSpinEdit2->SetValue(8);
    dialog.FSpinEdit3->SetValue(9);
    dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(settings.Rate30, 0.005f);
    QCOMPARE(settings.Rate60, 0.005f);
    QCOMPARE(settings.Rate90, 0.04f);
}

void AppDialogsTest::ratesKeepToTheirRange()
{
    AppSettings settings;
    settings.Rate30 = 1.5f;  // 150 %, beyond what the dialog offers
    TdlgIntRates dialog(settings, LocaleInfo{});
    QCOMPARE(dialog.FSpinEdit1->Value(), 99.0);
    dialog.FSpinEdit2->SetValue(-3);
    QCOMPARE(dialog.FSpinEdit2->Value(), 0.0);
    dialog.FSpinEdit2->Down();
    QCOMPARE(dialog.FSpinEdit2->Value(), 0.0);
}

void AppDialogsTest::enterPressesOk()
{
    AppSettings settings;
    TdlgIntRates dialog(settings, LocaleInfo{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.FSpinEdit2->setFocus();
    dialog.FSpinEdit2->SetValue(4);
    QTest::keyClick(dialog.FSpinEdit2, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.Rate60, 0.04f);
}

void AppDialogsTest::typingOverTheShownRate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<float>("stored");
    QTest::newRow("a new rate replaces the shown one") << QStringLiteral("2") << 0.02f;
    QTest::newRow("above 99 %") << QStringLiteral("150") << 0.99f;
    QTest::newRow("negative") << QStringLiteral("-2") << 0.0f;
    QTest::newRow("three decimals kept") << QStringLiteral("1.255") << 0.01255f;
}

void AppDialogsTest::typingOverTheShownRate()
{
    // The dialog opens with the focus in the 30-day rate; the user types and
    // presses Enter without leaving the box.
    QFETCH(QString, typed);
    QFETCH(float, stored);
    AppSettings settings;
    TdlgIntRates dialog(settings, LocaleInfo{});
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(dialog.FSpinEdit1->hasFocus());
    QTest::keyClicks(dialog.FSpinEdit1, typed);
    QTest::keyClick(dialog.FSpinEdit1, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.Rate30, stored);
    QCOMPARE(settings.Rate60, 0.005f);
}

void AppDialogsTest::versionText_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("three parts") << QStringLiteral("2.7.0") << QStringLiteral("Kestrava v2.7.0");
    QTest::newRow("build left out") << QStringLiteral("2.7.1.0") << QStringLiteral("Kestrava v2.7.1");
    QTest::newRow("two parts") << QStringLiteral("3.1") << QStringLiteral("Kestrava v3.1.0");
    QTest::newRow("none") << QString() << QStringLiteral("Kestrava v2.50");
}

void AppDialogsTest::versionText()
{
    QFETCH(QString, version);
    QFETCH(QString, shown);
    QCOMPARE(AboutVersionText(version), shown);
}

void AppDialogsTest::aboutShowsProgramVersion()
{
    TAboutBoxVer box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About Kestrava"));
    QVERIFY(box.VersionStr->text().startsWith(QStringLiteral("Kestrava v2.7.")));
    QVERIFY(box.Done->isDefault());
    box.Done->click();
    QCOMPARE(box.result(), int(QDialog::Accepted));

    TAboutBoxVer unversioned(nullptr, QString());
    QCOMPARE(unversioned.VersionStr->text(), QStringLiteral("Kestrava v2.50"));
}

void AppDialogsTest::mailLinkCarriesSubject()
{
    const QUrl url = SupportMailUrl();
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QCOMPARE(url.path(), kSupportAddress);
    QCOMPARE(QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("Kestrava26 "));
    QVERIFY(url.toString(QUrl::FullyEncoded).endsWith(QStringLiteral("?subject=Kestrava26%20")));
}

void AppDialogsTest::messagesShowOverTheWindowInUse()
{
    // The notifier belongs to the strip at the top of the screen; a message
    // about a dialog's input shows over that dialog, not up at the strip.
    QWidget strip;
    strip.show();
    MessageBoxNotifier notifier(&strip);
    QDialog dialog;
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    QPointer<QWidget> over;
    QString shown;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            over = box->parentWidget();
            shown = box->text();
            box->accept();
        }
    });
    answer.start(20);
    notifier.Info("You need to enter a Ticker/Symbol");
    QCOMPARE(shown, QStringLiteral("You need to enter a Ticker/Symbol"));
    QCOMPARE(over.data(), &dialog);

    // With no window of the program in use, the strip is the owner.
    dialog.hide();
    QApplication::setActiveWindow(nullptr);
    over = nullptr;
    notifier.Error("Cannot create");
    QCOMPARE(over.data(), &strip);
}

QTEST_MAIN(AppDialogsTest)
#include "appdialogs_test.moc"
