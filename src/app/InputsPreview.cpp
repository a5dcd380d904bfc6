// The setup dialog's look at a picked price file: converted into a work
// file, its last close and date shown, its symbol and strikes proposed.

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/Inputs.h"
#include "app/InputsParts.h"
#include "common/busy.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numtext.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"

namespace kestrava {
namespace {

using namespace inputsparts;

// Days of the volatility run that finds the last close of a price file.
constexpr std::int32_t kSigmaDays = 250;

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

}  // namespace

// Turns the picked price file into a work file. False when the reader failed
// with an error; the user has then been told.
bool TdlgInputs::ConvertPriceFile(const QString& fileName)
{
    const QFileInfo picked(fileName);
    sourceFilePath_ = fileName;
    asciiDataDir_ = picked.absolutePath();

    TAsciiFileReader reader(*notifier_, locale_,
                            tempDirectory_.isEmpty() ? DefaultTempDirectory() : ToPath(tempDirectory_));
    std::string failure;
    bool usable = false;
    try {
        BusyScope busy;
        reader.Open(fileName.toStdString());
        const QString workFile = QString::fromStdString(reader.DataFileName);
        usable = reader.RecordCount > 0 && !workFile.isEmpty() && QFileInfo::exists(workFile);
        if (usable) {
            workFilePath_ = workFile;
            QString symbol = QString::fromStdString(reader.Symbol);
            while (symbol.endsWith(QLatin1Char(' ')))
                symbol.chop(1);
            symbolText_ = symbol;
        }
    } catch (const std::exception& error) {
        failure = error.what();
        if (failure.empty())
            failure = "The price file could not be read.";
    }
    if (!usable) {
        notifier_->Info((kCannotDigestMessage + picked.fileName()).toStdString());
        workFilePath_.clear();
        symbolText_.clear();
    }
    if (!failure.empty()) {
        notifier_->Info(failure);
        return false;
    }
    return true;
}

// The newest close and its date from a work file, when the volatility run
// over it gives a result.
bool TdlgInputs::ReadLastClose(const QString& workFile, float& lastClose, double& lastDate)
{
    // A page's work file may have been cleared away with the temporary
    // folder; then there is simply nothing to show.
    if (!QFileInfo::exists(workFile))
        return false;
    TSigmaObj sigma(*notifier_);
    sigma.FileName = workFile.toStdString();
    sigma.Days = kSigmaDays;
    std::string failure;
    try {
        BusyScope busy;
        sigma.Calculate();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        notifier_->Info(failure);
        return false;
    }
    if (sigma.Sigma == 0)
        return false;
    lastClose = sigma.LastClose;
    lastDate = sigma.LastDate;
    return true;
}

QString TdlgInputs::LastCloseText(float lastClose, double lastDate) const
{
    // As "%6.2f" writes it, with the locale's separator.
    std::string close = FormatFixed(lastClose, 2);
    if (close.size() < 6)
        close.insert(0, 6 - close.size(), ' ');
    close = WithDecimalSeparator(close, locale_.decimalSeparator);
    return QString::fromStdString(close + " on " + FormatLocaleDate(lastDate, locale_));
}

void TdlgInputs::ShowPriceFileData()
{
    if (workFilePath_.isEmpty())
        return;
    float lastClose = 0;
    double lastDate = 0;
    if (!ReadLastClose(workFilePath_, lastClose, lastDate))
        return;
    lblCurData_->setText(LastCloseText(lastClose, lastDate));
    SetSymbolBox(edUSymbl_, symbolText_);
    // An index's history symbol carries a caret that the exchange does not use.
    const qsizetype caret = symbolText_.indexOf(QLatin1Char('^'));
    if (caret >= 0)
        symbolText_.remove(caret, 1);
    SetSymbolBox(edOSymbl_, symbolText_);
    if (mode_ == Mode::NewSeries)
        ProposeStrikes(lastClose);
}

}  // namespace kestrava
