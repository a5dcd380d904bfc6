// Writes pictures of the series setup dialog for the documentation: a new
// series with a picked price file, and (without a suffix) the dialog editing
// an index series of two expiries.
// Usage: setup_screenshots <folder> [suffix]
// (run with QT_SCALE_FACTOR=2 and the suffix "-200" for the high-DPI one).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

#include "app/Inputs.h"
#include "common/dates.h"
#include "common/notifier.h"
#include "grab_picture.h"
#include "marketdata/PriceWorkFile.h"
#include "pricing/IORecObj1.h"

using namespace kestrava;

namespace {

// A price file whose closes run up to lastClose on 2005-01-07.
QString WritePriceFile(const QString& path, double lastClose)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return {};
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

// Three days of closes ending near lastClose in June 2009.
QString WriteWorkFile(const QString& path, double lastClose)
{
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

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: setup_screenshots <folder> [suffix]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QTemporaryDir temp;
    if (!temp.isValid() || !QDir(temp.path()).mkpath(QStringLiteral("work")))
        return 1;
    SilentNotifier quiet;
    TdlgInputs::Environment environment;
    environment.locale = LocaleInfo::FromPattern("yyyy-MM-dd", '.');
    environment.tempDirectory = temp.filePath(QStringLiteral("work"));
    environment.asciiDataDir = temp.path();
    environment.notifier = &quiet;

    TdlgInputs fresh(environment);
    fresh.PrepareNew(QDate(2009, 6, 11));
    const QString prices = WritePriceFile(temp.filePath(QStringLiteral("spy.csv")), 93.47);
    fresh.SetFileChooser([&](QWidget*, const QString&, const QString&, const QString&) { return prices; });
    if (auto* picker = fresh.findChild<QPushButton*>(QStringLiteral("SetFileBtn")))
        picker->click();
    bool ok = testsupport::SaveGrab(
        fresh, folder.filePath(QStringLiteral("setup-new") + suffix + QStringLiteral(".png")));
    fresh.hide();
    if (!suffix.isEmpty())
        return ok ? 0 : 1;

    TInOutObj series;
    series.ContractType = kIndex;
    series.Model = kWhaley;
    series.NumStrikes = 10;
    series.Strike(1, 1) = 1150;
    series.Strike(2, 1) = 1175;
    series.Dividend = 0.0185f;
    series.OptSymbol = "SPX";
    series.SourceFile = "^GSPC.csv";
    series.ExpiryDate = EncodeDate(2009, 7, 18);
    TInOutObj second = series;
    second.ExpiryDate = EncodeDate(2009, 8, 22);
    TdlgInputs edit(environment);
    edit.PrepareFromPage({&series, &second},
                         WriteWorkFile(temp.filePath(QStringLiteral("work/~TEM0B2C.TEM")), 944.13),
                         QDate(2009, 6, 15));
    ok = testsupport::SaveGrab(edit, folder.filePath(QStringLiteral("setup-edit.png"))) && ok;
    return ok ? 0 : 1;
}
