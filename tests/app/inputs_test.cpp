// The series setup dialog: expiry proposals, strike proposals from a picked
// price file, the contract and model rules, the expiry count, the OK check,
// edit mode from a page's series and the keyboard.

#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/Inputs.h"
#include "common/dates.h"
#include "common/notifier.h"
#include "marketdata/PriceWorkFile.h"
#include "pricing/IORecObj1.h"
#include "support/qt_recording_notifier.h"

using namespace kestrava;

namespace {

using RecordingNotifier = kestrava::testsupport::QtRecordingNotifier;

LocaleInfo IsoLocale()
{
    return LocaleInfo::FromPattern("yyyy-MM-dd", '.');
}

}  // namespace

class InputsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setOptionDates_data();
    void setOptionDates();
    void newSeriesDefaults_data();
    void newSeriesDefaults();

    void strikeProposals_data();
    void strikeProposals();
    void symbolFromPriceFileName_data();
    void symbolFromPriceFileName();
    void unusablePriceFiles();

    void contractAndModelRules();
    void expiryCount_data();
    void expiryCount();
    void okCheck();
    void numberBoxesAreCheckedOnOk_data();
    void numberBoxesAreCheckedOnOk();
    void keyboard_data();
    void keyboard();

    void editIndexSeries();
    void editEquitySeries();
    void editWithoutSeries();
    void editKeepsStrikesChosenOneByOne();
    void editKeepsTextsOfTheSeriesCodePage();

private:
    // A price file whose closes run up to `lastClose` on 2005-01-07.
    QString WritePriceFile(const QString& name, double lastClose);
    QString WriteWorkFile(const QString& name, double lastClose);
    std::unique_ptr<TdlgInputs> NewDialog();
    void PickFile(TdlgInputs& dialog, const QString& path);

    template <typename T>
    static T* Find(const TdlgInputs& dialog, const char* name)
    {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    static QString Text(const TdlgInputs& dialog, const char* name)
    {
        return Find<QLineEdit>(dialog, name)->text();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    RecordingNotifier notifier_;
    int beeps_ = 0;
};

void InputsTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("prices")));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("temp")));
    notifier_.messages.clear();
    beeps_ = 0;
}

void InputsTest::cleanup()
{
    dir_.reset();
}

QString InputsTest::WritePriceFile(const QString& name, double lastClose)
{
    const QString path = dir_->filePath(QStringLiteral("prices/") + name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        qFatal("cannot write %s", qPrintable(path));
    // Varying closes, so the volatility is not 0 and the last close counts.
    const double factors[] = {1.03, 0.97, 1.02, 0.99, 1.0};
    file.write("Date,Open,High,Low,Close,Volume\n");
    for (int i = 0; i < 5; ++i) {
        const double close = lastClose * factors[i];
        file.write(QStringLiteral("2005-01-%1,%2,%3,%4,%5,1000\n")
                       .arg(i + 3, 2, 10, QLatin1Char('0'))
                       .arg(close, 0, 'f', 4)
                       .arg(close * 1.01, 0, 'f', 4)
                       .arg(close * 0.99, 0, 'f', 4)
                       .arg(close, 0, 'f', 4)
                       .toLatin1());
    }
    return path;
}

QString InputsTest::WriteWorkFile(const QString& name, double lastClose)
{
    const QString path = dir_->filePath(QStringLiteral("temp/") + name);
    PriceWorkFileWriter writer(path.toStdString());
    const double factors[] = {1.03, 0.97, 1.0};
    for (int i = 0; i < 3; ++i) {
        TPriceRecord record;
        record.Date = EncodeDate(2009, 6, 10 + i);
        record.Close = static_cast<float>(lastClose * factors[i]);
        writer.Append(record);
    }
    writer.Close();
    return path;
}

std::unique_ptr<TdlgInputs> InputsTest::NewDialog()
{
    TdlgInputs::Environment environment;
    environment.locale = IsoLocale();
    environment.tempDirectory = dir_->filePath(QStringLiteral("temp"));
    environment.asciiDataDir = dir_->path();
    environment.notifier = &notifier_;
    auto dialog = std::make_unique<TdlgInputs>(environment);
    dialog->SetBeeper([this] { ++beeps_; });
    dialog->SetFileChooser(
        [](QWidget*, const QString&, const QString&, const QString&) { return QString(); });
    return dialog;
}

void InputsTest::PickFile(TdlgInputs& dialog, const QString& path)
{
    QString folderOffered;
    dialog.SetFileChooser([&](QWidget*, const QString& title, const QString& folder, const QString&) {
        if (title != QStringLiteral("Select Underlying Price File"))
            qWarning("unexpected picker title %s", qPrintable(title));
        folderOffered = folder;
        return path;
    });
    const QString folderBefore = dialog.AsciiDataDir();
    Find<QPushButton>(dialog, "SetFileBtn")->click();
    QCOMPARE(folderOffered, folderBefore);
}

// ---- expiries

void InputsTest::setOptionDates_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("expiry");
    QTest::newRow("Thursday the 14th") << QDate(2024, 11, 14) << QDate(2024, 11, 16);
    QTest::newRow("the day after the 16th") << QDate(2024, 11, 17) << QDate(2024, 12, 21);
    QTest::newRow("the 16th, a Saturday the 22nd") << QDate(2025, 2, 16) << QDate(2025, 2, 22);
    QTest::newRow("Saturday the 22nd itself") << QDate(2025, 2, 22) << QDate(2025, 2, 22);
    QTest::newRow("the day after the 15th") << QDate(2025, 3, 16) << QDate(2025, 3, 22);
    QTest::newRow("Saturday the 14th") << QDate(2024, 12, 14) << QDate(2024, 12, 21);
    QTest::newRow("Saturday the 23rd") << QDate(2024, 11, 23) << QDate(2024, 12, 21);
    QTest::newRow("over the year end") << QDate(2024, 12, 22) << QDate(2025, 1, 18);
    QTest::newRow("leap February") << QDate(2020, 2, 23) << QDate(2020, 3, 21);
    QTest::newRow("no date") << QDate() << QDate();
}

void InputsTest::setOptionDates()
{
    QFETCH(QDate, from);
    QFETCH(QDate, expiry);
    QCOMPARE(TdlgInputs::SetOptionDates(from), expiry);
}

void InputsTest::newSeriesDefaults_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("second");
    QTest::addColumn<QDate>("third");
    QTest::newRow("Thursday the 14th")
        << QDate(2024, 11, 14) << QDate(2024, 11, 16) << QDate(2024, 12, 21) << QDate(2025, 1, 18);
    QTest::newRow("the 16th, a Saturday the 22nd")
        << QDate(2025, 2, 16) << QDate(2025, 2, 22) << QDate(2025, 3, 15) << QDate(2025, 3, 22);
    QTest::newRow("first expiry on the 15th")
        << QDate(2025, 3, 15) << QDate(2025, 3, 15) << QDate(2025, 3, 22) << QDate(2025, 4, 19);
}

void InputsTest::newSeriesDefaults()
{
    QFETCH(QDate, today);
    QFETCH(QDate, first);
    QFETCH(QDate, second);
    QFETCH(QDate, third);
    auto dialog = NewDialog();
    // Leave the dialog in another state first: preparing must reset it.
    Find<QRadioButton>(*dialog, "rbCurrency")->click();
    Find<QRadioButton>(*dialog, "rgModelItem3")->click();
    dialog->PrepareNew(today);

    QCOMPARE(dialog->windowTitle(), QStringLiteral("New Option Series Setup"));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker1")->date(), first);
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker2")->date(), second);
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker3")->date(), third);
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePickerDivDate")->date(), today);
    QCOMPARE(Text(*dialog, "edNumStr"), QStringLiteral("5"));
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("100"));
    QCOMPARE(Text(*dialog, "edStrIncr"), QStringLiteral("5"));
    QVERIFY(Find<QRadioButton>(*dialog, "rbEquity")->isChecked());
    QVERIFY(Find<QRadioButton>(*dialog, "rgModelItem2")->isChecked());
    QVERIFY(!Find<QLineEdit>(*dialog, "edDivAmt")->isHidden());
    QVERIFY(Find<QLineEdit>(*dialog, "edDivYld")->isHidden());
    QVERIFY(!Find<QLineEdit>(*dialog, "edDivYld")->isEnabled());

    const SeriesSetup values = dialog->Values();
    QCOMPARE(values.model, 3);
    QCOMPARE(values.contractType, 1);
    QCOMPARE(values.numExpiries, 3);
    QCOMPARE(values.expiryDates[2], third);
    QVERIFY(values.sourceFilePath.isEmpty() && values.workFilePath.isEmpty()
            && values.contractRoot.isEmpty());
}

// ---- the price-file picker

void InputsTest::strikeProposals_data()
{
    QTest::addColumn<double>("lastClose");
    QTest::addColumn<QString>("lowest");
    QTest::addColumn<QString>("increment");
    QTest::newRow("3.47") << 3.47 << QStringLiteral("3.4000") << QStringLiteral(".500");
    QTest::newRow("4.99") << 4.99 << QStringLiteral("4.9000") << QStringLiteral(".500");
    QTest::newRow("exactly 5") << 5.0 << QStringLiteral("5") << QStringLiteral("5.000");
    QTest::newRow("23.9") << 23.9 << QStringLiteral("20.00") << QStringLiteral("2.500");
    QTest::newRow("39.99") << 39.99 << QStringLiteral("35.00") << QStringLiteral("2.500");
    QTest::newRow("exactly 40") << 40.0 << QStringLiteral("40") << QStringLiteral("5.000");
    QTest::newRow("123.7") << 123.7 << QStringLiteral("120") << QStringLiteral("5.000");
}

void InputsTest::strikeProposals()
{
    QFETCH(double, lastClose);
    QFETCH(QString, lowest);
    QFETCH(QString, increment);
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2005, 1, 10));
    const QString priceFile = WritePriceFile(QStringLiteral("spy.csv"), lastClose);
    PickFile(*dialog, priceFile);

    QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(QLatin1Char('|'))));
    QCOMPARE(Text(*dialog, "ed1stStr"), lowest);
    QCOMPARE(Text(*dialog, "edStrIncr"), increment);
    QCOMPARE(Find<QLabel>(*dialog, "lblCurData")->text(),
             QString::asprintf("%6.2f on 2005-01-07", lastClose));
    QCOMPARE(dialog->SourceFilePath(), priceFile);
    QCOMPARE(dialog->AsciiDataDir(), QFileInfo(priceFile).absolutePath());
    QVERIFY(QFileInfo::exists(dialog->WorkFilePath()));
    QCOMPARE(QFileInfo(dialog->WorkFilePath()).absolutePath(),
             QFileInfo(dir_->filePath(QStringLiteral("temp"))).absoluteFilePath());
    QCOMPARE(dialog->SymbolText(), QStringLiteral("SPY"));
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("SPY"));
}

void InputsTest::symbolFromPriceFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("underlying");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("symbol");
    QTest::newRow("index with a caret") << QStringLiteral("^GSPC.csv") << QStringLiteral("^GSPC")
                                        << QStringLiteral("GSPC") << QStringLiteral("GSPC");
    // The reader keeps the case of a symbol named before " ="; only the
    // boxes are in capitals until OK takes the option box's text.
    QTest::newRow("option symbol = history symbol")
        << QStringLiteral("spx =^GSPC.csv") << QStringLiteral("SPX") << QStringLiteral("SPX")
        << QStringLiteral("spx");
    QTest::newRow("lower case") << QStringLiteral("qqq.csv") << QStringLiteral("QQQ") << QStringLiteral("QQQ")
                                << QStringLiteral("QQQ");
}

void InputsTest::symbolFromPriceFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, underlying);
    QFETCH(QString, option);
    QFETCH(QString, symbol);
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2005, 1, 10));
    PickFile(*dialog, WritePriceFile(fileName, 1210.5));
    QCOMPARE(Text(*dialog, "edUSymbl"), underlying);
    QCOMPARE(Text(*dialog, "edOSymbl"), option);
    QCOMPARE(dialog->SymbolText(), symbol);
}

void InputsTest::unusablePriceFiles()
{
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2005, 1, 10));
    PickFile(*dialog, WritePriceFile(QStringLiteral("spy.csv"), 120.0));
    const QString label = Find<QLabel>(*dialog, "lblCurData")->text();
    QVERIFY(!dialog->WorkFilePath().isEmpty());

    // A file without a single data line: the message, and no work file nor
    // symbol, but the file and its folder are remembered.
    QDir(dir_->path()).mkpath(QStringLiteral("other"));
    const QString junk = dir_->filePath(QStringLiteral("other/junk.csv"));
    QFile file(junk);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Date,Open,High,Low,Close,Volume\nnothing here\n");
    file.close();
    PickFile(*dialog, junk);
    QCOMPARE(notifier_.messages, QStringList{TdlgInputs::kCannotDigestMessage + QStringLiteral("junk.csv")});
    QVERIFY(dialog->WorkFilePath().isEmpty());
    QVERIFY(dialog->SymbolText().isEmpty());
    QCOMPARE(dialog->SourceFilePath(), junk);
    QCOMPARE(dialog->AsciiDataDir(), QFileInfo(junk).absolutePath());
    QCOMPARE(Find<QLabel>(*dialog, "lblCurData")->text(), label);

    // A file that vanished before it could be read: the same message, then
    // the reader's own words.
    notifier_.messages.clear();
    const QString missing = dir_->filePath(QStringLiteral("prices/gone.csv"));
    PickFile(*dialog, missing);
    QCOMPARE(notifier_.messages.size(), 2);
    QCOMPARE(notifier_.messages.at(0), TdlgInputs::kCannotDigestMessage + QStringLiteral("gone.csv"));
    QVERIFY(notifier_.messages.at(1).contains(QStringLiteral("gone.csv")));
    QVERIFY(dialog->WorkFilePath().isEmpty());
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("120"));
}

// ---- the control rules

void InputsTest::contractAndModelRules()
{
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2024, 11, 14));
    const char* adjustments[] = {"lblDivAmt",         "edDivAmt",  "lblDivDate",
                                 "DatePickerDivDate", "lblDivYld", "edDivYld"};
    auto shown = [&](const char* name) { return !Find<QWidget>(*dialog, name)->isHidden(); };

    Find<QRadioButton>(*dialog, "rgModelItem1")->click();
    QVERIFY(Find<QRadioButton>(*dialog, "rbFuture")->isChecked());
    for (const char* name : adjustments)
        QVERIFY2(!shown(name), name);

    // The contract does not take the model back with it.
    Find<QRadioButton>(*dialog, "rbEquity")->click();
    QVERIFY(Find<QRadioButton>(*dialog, "rgModelItem1")->isChecked());
    QVERIFY(shown("edDivAmt") && shown("DatePickerDivDate") && !shown("edDivYld"));
    QCOMPARE(dialog->Values().model, 2);
    QCOMPARE(dialog->Values().contractType, 1);

    // Index and currency share the yield box, enabled, with their captions.
    Find<QRadioButton>(*dialog, "rbIndex")->click();
    QVERIFY(shown("edDivYld") && Find<QWidget>(*dialog, "edDivYld")->isEnabled());
    QVERIFY(!shown("edDivAmt") && !shown("DatePickerDivDate"));
    QCOMPARE(Find<QLabel>(*dialog, "lblDivYld")->text(), QStringLiteral("% Div Yield:"));
    Find<QRadioButton>(*dialog, "rbCurrency")->click();
    QCOMPARE(Find<QLabel>(*dialog, "lblDivYld")->text(), QStringLiteral("% Foreign Rate:"));
    QVERIFY(!Find<QRadioButton>(*dialog, "rbIndex")->isChecked());
    QCOMPARE(dialog->Values().contractType, 4);

    // Other models leave the contract alone.
    Find<QRadioButton>(*dialog, "rgModelItem3")->click();
    QVERIFY(Find<QRadioButton>(*dialog, "rbCurrency")->isChecked());
    QCOMPARE(dialog->Values().model, 4);
}

void InputsTest::expiryCount_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("secondEnabled");
    QTest::addColumn<bool>("thirdEnabled");
    QTest::addColumn<int>("beeps");
    QTest::newRow("1") << QStringLiteral("1") << false << false << 0;
    QTest::newRow("2") << QStringLiteral("2") << true << false << 0;
    QTest::newRow("3") << QStringLiteral("3") << true << true << 0;
    // After 2, as the pickers stand then: an invalid count leaves them so.
    QTest::newRow("7") << QStringLiteral("7") << true << false << 1;
    QTest::newRow("0") << QStringLiteral("0") << true << false << 1;
    QTest::newRow("not a number") << QStringLiteral("x") << true << false << 0;
}

void InputsTest::expiryCount()
{
    QFETCH(QString, typed);
    QFETCH(bool, secondEnabled);
    QFETCH(bool, thirdEnabled);
    QFETCH(int, beeps);
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2024, 11, 14));
    auto* box = Find<QLineEdit>(*dialog, "edNumExp");
    const bool invalid = typed != QStringLiteral("1") && typed != QStringLiteral("3");
    if (invalid) {
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("2"));
        QCOMPARE(beeps_, 0);
    }
    box->selectAll();
    QTest::keyClicks(box, typed);
    QCOMPARE(box->text(), typed);
    QCOMPARE(beeps_, beeps);
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker2")->isEnabled(), secondEnabled);
    QCOMPARE(Find<QLabel>(*dialog, "lblExp2")->isEnabled(), secondEnabled);
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker3")->isEnabled(), thirdEnabled);
    QCOMPARE(Find<QLabel>(*dialog, "lblExp3")->isEnabled(), thirdEnabled);
    QVERIFY(Find<QDateEdit>(*dialog, "DatePicker1")->isEnabled());
}

void InputsTest::okCheck()
{
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2024, 11, 14));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QCOMPARE(QApplication::focusWidget(), Find<QWidget>(*dialog, "cmdOK"));

    Find<QPushButton>(*dialog, "cmdOK")->click();
    QCOMPARE(notifier_.messages,
             QStringList{QStringLiteral("You need to enter a Ticker/Symbol \n\ror hit Cancel.")});
    QVERIFY(dialog->isVisible());
    QCOMPARE(QApplication::focusWidget(), Find<QWidget>(*dialog, "edOSymbl"));

    // Typed in lower case, kept in capitals, at most eight.
    QTest::keyClicks(Find<QLineEdit>(*dialog, "edOSymbl"), QStringLiteral("spy"));
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("SPY"));
    QTest::keyClicks(Find<QLineEdit>(*dialog, "edUSymbl"), QStringLiteral("abcdefghij"));
    QCOMPARE(Text(*dialog, "edUSymbl"), QStringLiteral("ABCDEFGH"));

    // No expiry at all is refused as well.
    notifier_.messages.clear();
    Find<QLineEdit>(*dialog, "edNumExp")->setText(QStringLiteral("0"));
    Find<QPushButton>(*dialog, "cmdOK")->click();
    QCOMPARE(notifier_.messages, QStringList{TdlgInputs::kBadExpiryCountMessage});
    QVERIFY(dialog->isVisible());
    Find<QLineEdit>(*dialog, "edNumExp")->setText(QStringLiteral("2"));

    notifier_.messages.clear();
    Find<QPushButton>(*dialog, "cmdOK")->click();
    QVERIFY(notifier_.messages.isEmpty());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->SymbolText(), QStringLiteral("SPY"));
    const SeriesSetup values = dialog->Values();
    QCOMPARE(values.optionSymbol, QStringLiteral("SPY"));
    QCOMPARE(values.symbolText, QStringLiteral("SPY"));
    QCOMPARE(values.numExpiries, 2);
}

void InputsTest::numberBoxesAreCheckedOnOk_data()
{
    QTest::addColumn<QString>("contract");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");  // empty: the dialog closes
    QTest::newRow("lowest strike no number") << "rbEquity"
                                             << "ed1stStr"
                                             << "abc"
                                             << "Lowest Strike: 'abc' is not a number.";
    QTest::newRow("lowest strike negative") << "rbEquity"
                                            << "ed1stStr"
                                            << "-5"
                                            << "Lowest Strike must be above 0.";
    QTest::newRow("lowest strike zero") << "rbEquity"
                                        << "ed1stStr"
                                        << "0"
                                        << "Lowest Strike must be above 0.";
    QTest::newRow("increment zero") << "rbEquity"
                                    << "edStrIncr"
                                    << "0"
                                    << "Increment must be above 0 when there is more than one strike.";
    QTest::newRow("increment no number") << "rbEquity"
                                         << "edStrIncr"
                                         << "5x"
                                         << "Increment: '5x' is not a number.";
    QTest::newRow("20 strikes") << "rbEquity"
                                << "edNumStr"
                                << "20"
                                << "";
    QTest::newRow("21 strikes") << "rbEquity"
                                << "edNumStr"
                                << "21"
                                << "# of Strikes must be a whole number from 1 to 20.";
    QTest::newRow("no strikes") << "rbEquity"
                                << "edNumStr"
                                << "0"
                                << "# of Strikes must be a whole number from 1 to 20.";
    QTest::newRow("empty strikes") << "rbEquity"
                                   << "edNumStr"
                                   << ""
                                   << "# of Strikes must be a whole number from 1 to 20.";
    QTest::newRow("negative dividend") << "rbEquity"
                                       << "edDivAmt"
                                       << "-0.5"
                                       << "$ Div Amount must be 0 or more.";
    QTest::newRow("dividend no number") << "rbEquity"
                                        << "edDivAmt"
                                        << "x"
                                        << "$ Div Amount: 'x' is not a number.";
    QTest::newRow("yield no number") << "rbIndex"
                                     << "edDivYld"
                                     << "2%"
                                     << "% Div Yield: '2%' is not a number.";
    QTest::newRow("foreign rate no number") << "rbCurrency"
                                            << "edDivYld"
                                            << ","
                                            << "% Foreign Rate: ',' is not a number.";
    // What is not asked of the chosen contract is not checked.
    QTest::newRow("future ignores the dividend") << "rbFuture"
                                                 << "edDivAmt"
                                                 << "x"
                                                 << "";
    QTest::newRow("decimal point number") << "rbEquity"
                                          << "ed1stStr"
                                          << "1312.5"
                                          << "";
    QTest::newRow("empty dividend") << "rbEquity"
                                    << "edDivAmt"
                                    << ""
                                    << "";
}

void InputsTest::numberBoxesAreCheckedOnOk()
{
    QFETCH(QString, contract);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2024, 11, 14));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    Find<QLineEdit>(*dialog, "edOSymbl")->setText(QStringLiteral("SPY"));
    Find<QRadioButton>(*dialog, qPrintable(contract))->click();
    auto* edit = Find<QLineEdit>(*dialog, qPrintable(box));
    edit->setText(typed);
    Find<QPushButton>(*dialog, "cmdOK")->click();
    if (message.isEmpty()) {
        QVERIFY2(notifier_.messages.isEmpty(), qPrintable(notifier_.messages.join(QLatin1Char('\n'))));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        return;
    }
    QCOMPARE(notifier_.messages, QStringList{message});
    QVERIFY(dialog->isVisible());
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("SPY"));
}

void InputsTest::keyboard_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    for (const char* box : {"edNumStr", "ed1stStr", "edStrIncr", "edNumExp", "edOSymbl", "edUSymbl",
                            "edDivAmt", "DatePicker1", "DatePickerDivDate"})
        QTest::newRow((std::string("Enter in ") + box).c_str())
            << QString::fromLatin1(box) << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape") << QStringLiteral("edOSymbl") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void InputsTest::keyboard()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, result);
    auto dialog = NewDialog();
    dialog->PrepareNew(QDate(2024, 11, 14));
    Find<QLineEdit>(*dialog, "edOSymbl")->setText(QStringLiteral("IBM"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QWidget* widget = dialog->findChild<QWidget*>(control);
    QVERIFY(widget);
    widget->setFocus();
    QSignalSpy help(dialog.get(), &TdlgInputs::HelpRequested);
    QTest::keyClick(widget, Qt::Key_F1);
    QCOMPARE(help.size(), 1);
    QCOMPARE(help.at(0).at(0).toString(), QStringLiteral("Option Setup"));
    QVERIFY(dialog->isVisible());

    QTest::keyClick(widget, static_cast<Qt::Key>(key));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), result);
}

// ---- edit mode

void InputsTest::editIndexSeries()
{
    const QString workFile = WriteWorkFile(QStringLiteral("~TEM00A1.TEM"), 1210.5);
    TInOutObj near;
    near.ContractType = kIndex;
    near.Model = kWhaley;
    near.NumStrikes = 1;
    near.Strike(1, 1) = near.Strike(1, 2) = 1200;
    near.Dividend = 0.015f;
    near.OptSymbol = "spx";
    near.OptContract = "SPXW";
    near.SourceFile = "C:\\Data\\gspc.csv";
    near.ExpiryDate = EncodeDate(2009, 7, 18);
    TInOutObj far = near;
    far.ExpiryDate = EncodeDate(2009, 8, 22);
    const std::vector<const TInOutObj*> expiries{&near, &far};

    auto dialog = NewDialog();
    dialog->PrepareFromPage(expiries, workFile, QDate(2009, 6, 15));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Editing Option Series for spx"));
    QCOMPARE(dialog->SourceFilePath(), QStringLiteral("C:\\Data\\gspc.csv"));
    QCOMPARE(dialog->WorkFilePath(), workFile);
    QCOMPARE(dialog->ContractRoot(), QStringLiteral("SPXW"));
    QCOMPARE(dialog->SymbolText(), QStringLiteral("spx"));
    QCOMPARE(Text(*dialog, "edUSymbl"), QStringLiteral("GSPC"));
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("SPX"));
    QCOMPARE(Text(*dialog, "edNumStr"), QStringLiteral("1"));
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("1200"));
    QCOMPARE(Text(*dialog, "edStrIncr"), QStringLiteral("-1200.000"));
    QVERIFY(Find<QRadioButton>(*dialog, "rbIndex")->isChecked());
    QVERIFY(Find<QRadioButton>(*dialog, "rgModelItem3")->isChecked());
    QCOMPARE(Text(*dialog, "edDivYld"), QStringLiteral("1.50"));
    QVERIFY(!Find<QWidget>(*dialog, "edDivYld")->isHidden());
    QCOMPARE(Find<QLabel>(*dialog, "lblCurData")->text(), QStringLiteral("1210.50 on 2009-06-12"));
    QCOMPARE(Text(*dialog, "edNumExp"), QStringLiteral("2"));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker1")->date(), QDate(2009, 7, 18));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker2")->date(), QDate(2009, 8, 22));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker3")->date(), QDate(2009, 6, 15));
    QVERIFY(!Find<QDateEdit>(*dialog, "DatePicker3")->isEnabled());

    // A cancelled picker refreshes the label and both symbol boxes from the
    // page's work file, and leaves the strikes alone.
    Find<QLabel>(*dialog, "lblCurData")->clear();
    PickFile(*dialog, QString());
    QCOMPARE(Find<QLabel>(*dialog, "lblCurData")->text(), QStringLiteral("1210.50 on 2009-06-12"));
    QCOMPARE(Text(*dialog, "edUSymbl"), QStringLiteral("SPX"));
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("SPX"));
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("1200"));
    QCOMPARE(Text(*dialog, "edStrIncr"), QStringLiteral("-1200.000"));

    // Nor does a new price file propose strikes in edit mode.
    PickFile(*dialog, WritePriceFile(QStringLiteral("^GSPC.csv"), 3.47));
    QCOMPARE(Find<QLabel>(*dialog, "lblCurData")->text(), QStringLiteral("  3.47 on 2005-01-07"));
    QCOMPARE(Text(*dialog, "edOSymbl"), QStringLiteral("GSPC"));
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("1200"));
    QVERIFY(dialog->WorkFilePath() != workFile);
    QVERIFY(notifier_.messages.isEmpty());
}

void InputsTest::editEquitySeries()
{
    TInOutObj series;
    series.ContractType = kEquity;
    series.Model = kBinomial;
    series.NumStrikes = 4;
    series.Strike(1, 1) = 3.4f;
    series.Strike(2, 1) = 3.9f;
    series.Dividend = 0.25f;
    series.DivDate = EncodeDate(2009, 9, 1);
    series.OptSymbol = "IBM";
    // The quote loader may have moved the expiry to Friday; the series'
    // expiry day brings it back.
    series.ExpiryDate = EncodeDate(2009, 7, 17);
    series.ExpiryDay = 18;
    const std::vector<const TInOutObj*> expiries{&series};

    auto dialog = NewDialog();
    // A work file that is gone leaves the label empty without a message.
    dialog->PrepareFromPage(expiries, dir_->filePath(QStringLiteral("temp/~TEM0001.TEM")),
                            QDate(2009, 6, 15));
    QVERIFY(notifier_.messages.isEmpty());
    QVERIFY(Find<QLabel>(*dialog, "lblCurData")->text().isEmpty());
    QCOMPARE(Text(*dialog, "ed1stStr"), QStringLiteral("3.4"));
    QCOMPARE(Text(*dialog, "edStrIncr"), QStringLiteral(".500"));
    QCOMPARE(Text(*dialog, "edDivAmt"), QStringLiteral(".25"));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePickerDivDate")->date(), QDate(2009, 9, 1));
    QCOMPARE(Find<QDateEdit>(*dialog, "DatePicker1")->date(), QDate(2009, 7, 18));
    QCOMPARE(Text(*dialog, "edNumExp"), QStringLiteral("1"));
    QVERIFY(!Find<QDateEdit>(*dialog, "DatePicker2")->isEnabled());
    QVERIFY(Find<QRadioButton>(*dialog, "rbEquity")->isChecked());
    QVERIFY(Text(*dialog, "edUSymbl").isEmpty());

    // A Black futures series comes back as a future, whatever was saved.
    series.Model = kBlackFutures;
    auto futures = NewDialog();
    futures->PrepareFromPage(expiries, QString(), QDate(2009, 6, 15));
    QVERIFY(Find<QRadioButton>(*futures, "rbFuture")->isChecked());
    QVERIFY(Find<QWidget>(*futures, "edDivAmt")->isHidden());
}

void InputsTest::editKeepsTextsOfTheSeriesCodePage()
{
    // A series holds its texts in the file's single-byte code page: 0xE9 is
    // "é". The dialog shows them and hands them back unchanged.
    TInOutObj series;
    series.ContractType = kEquity;
    series.Model = kBinomial;
    series.NumStrikes = 1;
    series.Strike(1, 1) = 100;
    series.OptSymbol = "CAF\xC9";
    series.SourceFile = "/home/ren\xE9"
                        "e/cours/caf\xE9.csv";
    series.ExpiryDate = EncodeDate(2009, 7, 17);
    const std::vector<const TInOutObj*> expiries{&series};
    auto dialog = NewDialog();
    dialog->PrepareFromPage(expiries, QString(), QDate(2009, 6, 15));
    const SeriesSetup values = dialog->Values();
    QCOMPARE(values.sourceFilePath, QStringLiteral("/home/ren\u00e9e/cours/caf\u00e9.csv"));
    QCOMPARE(values.symbolText, QStringLiteral("CAF\u00c9"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Editing Option Series for CAF\u00c9"));
}

void InputsTest::editKeepsStrikesChosenOneByOne()
{
    // A page made from a chain's selection: strikes that no first strike
    // and increment give. They stay while the strike boxes are left alone;
    // evenly spaced strikes (a step of a tenth in singles too) are the boxes'.
    TInOutObj series;
    series.ContractType = kIndex;
    series.Model = kBlackScholes;
    series.OptSymbol = "SPX";
    series.ExpiryDate = EncodeDate(2011, 2, 19);
    const std::vector<const TInOutObj*> expiries{&series};
    const auto prepare = [&](std::initializer_list<float> strikes) {
        series.NumStrikes = static_cast<int>(strikes.size());
        int s = 1;
        for (const float strike : strikes) {
            series.Strike(s, 1) = series.Strike(s, 2) = strike;
            ++s;
        }
        auto dialog = NewDialog();
        dialog->PrepareFromPage(expiries, QString(), QDate(2011, 1, 24));
        return dialog;
    };

    auto chosen = prepare({1250, 1275, 1310, 1400});
    QCOMPARE(chosen->Values().strikes, (std::vector<float>{1250, 1275, 1310, 1400}));
    QVERIFY(
        Find<QLineEdit>(*chosen, "ed1stStr")->toolTip().contains(QStringLiteral("1250, 1275, 1310, 1400")));
    // Changing a box and changing it back keeps them; a box changed spaces
    // the strikes evenly.
    Find<QLineEdit>(*chosen, "edStrIncr")->setText(QStringLiteral("30"));
    QVERIFY(chosen->Values().strikes.empty());
    QCOMPARE(chosen->Values().strikeIncrement, QStringLiteral("30"));
    Find<QLineEdit>(*chosen, "edStrIncr")->setText(QStringLiteral("25.000"));
    QCOMPARE(chosen->Values().strikes.size(), std::size_t{4});

    for (const auto& even : {std::initializer_list<float>{1250, 1275, 1300},
                             std::initializer_list<float>{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f}}) {
        auto spaced = prepare(even);
        QVERIFY(spaced->Values().strikes.empty());
        QVERIFY(!Find<QLineEdit>(*spaced, "ed1stStr")->toolTip().contains(QStringLiteral("one by one")));
    }
}

void InputsTest::editWithoutSeries()
{
    auto dialog = NewDialog();
    dialog->PrepareFromPage({}, dir_->filePath(QStringLiteral("anything.TEM")));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Option Series Setup"));
    QCOMPARE(Text(*dialog, "edNumStr"), QStringLiteral("3"));
    QVERIFY(dialog->WorkFilePath().isEmpty());
    QCOMPARE(dialog->Values().model, 3);
}

QTEST_MAIN(InputsTest)
#include "inputs_test.moc"
