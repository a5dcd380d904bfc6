// File > Import price history...: a daily history file of the user's, read
// whole, becomes the price file of a symbol in the price-file folder, as a
// download's history does.

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QPointer>
#include <QStandardPaths>

#include "app/FileCommands.h"
#include "app/MainForm.h"
#include "common/busy.h"
#include "common/filesymbol.h"
#include "common/notifier.h"
#include "downloadcore/HistoryConvert.h"

namespace kestrava {
namespace {

const QString kImportTitle = QStringLiteral("Import price history");
const QString kHistoryFilter = QStringLiteral("Daily price histories (*.csv *.txt);;All files (*)");

std::filesystem::path ToPath(const QString& path)
{
    return std::filesystem::path(QDir::fromNativeSeparators(path).toStdString());
}

}  // namespace

QString FileCommands::PriceFolder() const
{
    return Session().Settings().AsciiDataDir.isEmpty() ? Session().Folders().DataDir
                                                       : Session().Settings().AsciiDataDir;
}

void FileCommands::FileImportHistory()
{
    const QPointer<TMainForm> alive(&form_);
    QString start = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = Session().Roots().documents;
    QFileDialog dialog(&form_, kImportTitle, start, kHistoryFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString chosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected, &dialog,
                     [&chosen](const QString& file) { chosen = file; });
    if (dialog.exec() != QDialog::Accepted || !alive || chosen.isEmpty())
        return;

    // The file's own name is the likely symbol: SPY.csv, ^GSPC.csv.
    QInputDialog ask(&form_);
    ask.setObjectName(QStringLiteral("ImportSymbolDialog"));
    ask.setWindowTitle(kImportTitle);
    ask.setLabelText(QStringLiteral("Symbol whose price file (SYMBOL.csv in %1) %2 becomes:")
                         .arg(QDir::toNativeSeparators(PriceFolder()), QFileInfo(chosen).fileName()));
    ask.setTextValue(QFileInfo(chosen).completeBaseName().toUpper());
    if (ask.exec() != QDialog::Accepted || !alive)
        return;
    const std::string symbol = ask.textValue().trimmed().toStdString();
    if (symbol.empty())
        return;
    const std::filesystem::path priceFile = HistoryPriceFile(ToPath(PriceFolder()), symbol);
    if (priceFile.empty()) {
        Messages().Info(RefusedSymbolMessage(symbol));
        return;
    }
    // A price file kept by hand may hold more days than the file imported.
    if (QFileInfo::exists(QString::fromStdString(priceFile.string()))) {
        const std::string question = priceFile.string() + " already exists. Replace it with the days of "
                                     + QFileInfo(chosen).fileName().toStdString() + "?";
        if (!Messages().AskYesNoDefaultNo(question) || !alive)
            return;
    }

    HistoryConversion imported;
    {
        const BusyScope busy;
        const QDate today = QDate::currentDate();
        imported = ImportHistory(ToPath(chosen), priceFile, Session().Locale(),
                                 ToPath(Session().Folders().TempDir),
                                 EncodeDate(today.year(), today.month(), today.day()));
    }
    Messages().Info(ImportReport(imported, ToPath(chosen), priceFile));
}

}  // namespace kestrava
