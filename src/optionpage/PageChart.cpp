// The page's price history: the Chart tab with its picture, and the history
// button that takes the volatility and the last close from the price file.

#include <QFileInfo>
#include <QLayout>
#include <QStackedLayout>
#include <QTabBar>

#include <filesystem>

#include "common/busy.h"
#include "controls/rmSpin.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PageMessages.h"
#include "optionpage/PagePrivate.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

using namespace pageparts;

bool TfrmOPage::CalcSig()
{
    const PageCommand command(notifier_);
    if (priceWorkFile_.isEmpty())
        return false;
    BusyScope busy;
    TSigmaObj sigma(notifier_);
    sigma.Days = WindowDays(inputBar_->seSigDays->Value(), 400);
    sigma.FileName = priceWorkFile_.toStdString();
    try {
        sigma.Calculate();
    } catch (const std::exception& error) {
        notifier_.Info(error.what());
        return false;
    }
    // No volatility (the reader has said why): the series keep their values.
    if (!(sigma.Sigma > 0))
        return false;
    series_.TakeHistory(sigma.Sigma, sigma.Days, sigma.LastClose, sigma.LastDate);
    inputBar_->ShowUnderlying(sigma.LastClose);
    inputBar_->ShowSigma(sigma.Sigma);
    inputBar_->seSigDays->SetValue(sigma.Days);
    inputBar_->ShowToday(series_.Today());
    // The boxes' handlers have pushed the date; make sure every expiry has it
    // even when no box text changed.
    PushInputs();
    // The valuation date is now the file's last day; the days left count
    // from there.
    if (const TInOutObj* p = CurrentSeries())
        inputBar_->ShowExpiryDays(p->DaysToExpiry());
    DrawChart();
    return true;
}

void TfrmOPage::OpenChartTab()
{
    const PageCommand command(notifier_);
    try {
        ChartImage = new TChartImage(this);
        connect(ChartImage, &TChartImage::pictureWanted, this, &TfrmOPage::DrawChart);
        pages_->addWidget(ChartImage);
        const int tab = TabControl1->addTab(QStringLiteral("Chart"));
        TabControl1->setTabData(tab, kChartTabMarker);
        SizeChartImage();
        chartMessagesFor_.clear();

        if (priceWorkFile_.isEmpty()) {
            BusyScope busy;
            const std::filesystem::path temp = environment_.tempDirectory.isEmpty()
                                                   ? DefaultTempDirectory()
                                                   : std::filesystem::path(
                                                       environment_.tempDirectory.toStdString());
            TAsciiFileReader reader(notifier_, environment_.locale, temp);
            reader.Open(priceTextFile_.toStdString());
            if (reader.RecordCount == 0 || reader.DataFileName.empty())
                throw PageError(kCantDigestSource + QFileInfo(priceTextFile_).fileName().toStdString());
            priceWorkFile_ = QString::fromStdString(reader.DataFileName);
            title_ = QString::fromStdString(reader.Symbol);
            while (title_.endsWith(QLatin1Char(' ')))
                title_.chop(1);
        }
        DrawChart();
    } catch (const std::exception& error) {
        // A price file that cannot be read costs the chart and the history
        // button, not the page.
        notifier_.Info(error.what());
        RemoveChartImage();
        for (int t = TabControl1->count() - 1; t >= 0; --t) {
            if (IsChartTab(t))
                TabControl1->removeTab(t);
        }
        priceTextFile_.clear();
        priceWorkFile_.clear();
        inputBar_->HidePriceFileControls();
    }
}

void TfrmOPage::RemoveChartImage()
{
    if (!ChartImage)
        return;
    pages_->removeWidget(ChartImage);
    ChartImage->hide();
    ChartImage->deleteLater();
    ChartImage = nullptr;
}

void TfrmOPage::SizeChartImage()
{
    if (!ChartImage)
        return;
    // The picture fills the tab. While it is shown the tab's layout sizes it;
    // otherwise it takes the area the grid has on the other tabs, laid out
    // first when the page is still being built.
    if (layout())
        layout()->activate();
    if (pages_->currentWidget() != ChartImage)
        ChartImage->setGeometry(TheGrid->geometry());
}

ChartRequest TfrmOPage::MakeChartRequest(int width, int height, bool printing) const
{
    ChartRequest request;
    request.workFile = priceWorkFile_;
    request.volDays = WindowDays(inputBar_->seSigDays->Value(), 250);
    request.width = width;
    request.height = height;
    request.printing = printing;
    if (printing)
        request.titleSymbol = title_;
    return request;
}

void TfrmOPage::DrawChart()
{
    const PageCommand command(notifier_);
    if (!ChartImage)
        return;
    const QSize size = ChartImage->size();
    ChartRequest request = MakeChartRequest(size.width(), size.height(), false);
    request.pixelRatio = ChartImage->devicePixelRatioF();
    const QString messagesFor = request.workFile + QLatin1Char('|') + QString::number(request.volDays);
    if (messagesFor != chartMessagesFor_) {
        chartMessages_.Forget();
        chartMessagesFor_ = messagesFor;
    }
    request.notifier = &chartMessages_;
    QImage picture;
    if (environment_.drawChart && !priceWorkFile_.isEmpty()) {
        try {
            picture = environment_.drawChart(request);
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
        }
    }
    if (ChartImage)
        ChartImage->ShowPicture(picture);
}

// The volatility window of the chart and of the history button.

}  // namespace kestrava
