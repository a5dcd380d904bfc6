#include "optionpage/PageChartTab.h"

#include <QFileInfo>
#include <QLayout>
#include <QStackedLayout>
#include <QWidget>

#include <filesystem>

#include "common/busy.h"
#include "controls/rmSpin.h"
#include "marketdata/PriceFileReader.h"
#include "optionpage/ChartTab.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/PageInputBar.h"
#include "optionpage/PagePrivate.h"
#include "optionpage/PageTabs.h"

namespace kestrava {

using namespace pageparts;

PageChartTab::PageChartTab(const PageEnvironment& environment, PageMessages& messages, PageNames& names,
                           Parts parts)
    : environment_(environment), messages_(messages), names_(names), parts_(parts)
{
}

void PageChartTab::Open()
{
    const PageCommand command(messages_);
    try {
        image_ = new TChartImage(&parts_.page);
        QObject::connect(image_, &TChartImage::pictureWanted, image_, [this] { Draw(); });
        parts_.pages.addWidget(image_);
        parts_.tabs.AddChart();
        Fit();
        chartMessagesFor_.clear();

        if (names_.priceWorkFile.isEmpty()) {
            BusyScope busy;
            const std::filesystem::path temp = environment_.tempDirectory.isEmpty()
                                                   ? DefaultTempDirectory()
                                                   : std::filesystem::path(
                                                       environment_.tempDirectory.toStdString());
            TAsciiFileReader reader(messages_, environment_.locale, temp);
            reader.Open(names_.priceTextFile.toStdString());
            if (reader.RecordCount == 0 || reader.DataFileName.empty())
                throw PageError(kCantDigestSource + QFileInfo(names_.priceTextFile).fileName().toStdString());
            names_.priceWorkFile = QString::fromStdString(reader.DataFileName);
            names_.title = QString::fromStdString(reader.Symbol);
            while (names_.title.endsWith(QLatin1Char(' ')))
                names_.title.chop(1);
        }
        Draw();
    } catch (const std::exception& error) {
        messages_.Info(error.what());
        Remove();
        parts_.tabs.RemoveChart();
        names_.priceTextFile.clear();
        names_.priceWorkFile.clear();
        parts_.bar.HidePriceFileControls();
    }
}

void PageChartTab::Remove()
{
    if (!image_)
        return;
    parts_.pages.removeWidget(image_);
    image_->hide();
    image_->deleteLater();
    image_ = nullptr;
}

void PageChartTab::Fit()
{
    if (!image_)
        return;
    // While the picture is shown the tab's layout sizes it; otherwise it
    // takes the area the grid has on the other tabs, laid out first when
    // the page is still being built.
    if (QLayout* layout = parts_.page.layout())
        layout->activate();
    if (parts_.pages.currentWidget() != image_)
        image_->setGeometry(parts_.grid.geometry());
}

ChartRequest PageChartTab::Request(int width, int height, bool printing) const
{
    ChartRequest request;
    request.workFile = names_.priceWorkFile;
    request.volDays = WindowDays(parts_.bar.seSigDays->Value(), 250);
    request.width = width;
    request.height = height;
    request.printing = printing;
    if (printing)
        request.titleSymbol = names_.title;
    return request;
}

void PageChartTab::Draw()
{
    const PageCommand command(messages_);
    if (!image_)
        return;
    const QSize size = image_->size();
    ChartRequest request = Request(size.width(), size.height(), false);
    request.pixelRatio = image_->devicePixelRatioF();
    const QString messagesFor = request.workFile + QLatin1Char('|') + QString::number(request.volDays);
    if (messagesFor != chartMessagesFor_) {
        chartMessages_.Forget();
        chartMessagesFor_ = messagesFor;
    }
    request.notifier = &chartMessages_;
    QImage picture;
    if (environment_.drawChart && !names_.priceWorkFile.isEmpty()) {
        try {
            picture = environment_.drawChart(request);
        } catch (const std::exception& error) {
            messages_.Info(error.what());
        }
    }
    // The chart's messages may have let the page remove the picture.
    if (image_)
        image_->ShowPicture(picture);
}

}  // namespace kestrava
