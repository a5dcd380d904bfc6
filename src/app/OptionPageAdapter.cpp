#include "app/OptionPageAdapter.h"

#include <QPointer>

#include "app/Inputs.h"
#include "app/PageChartHooks.h"
#include "optionpage/Opage27.h"

namespace kestrava {
namespace {

class OptionPageAdapter : public IOptionPage {
public:
    explicit OptionPageAdapter(TfrmOPage* page) : page_(page) {}

    QWidget* Window() const override { return page_; }
    QString Title() const override { return page_->Names().title; }
    QString SeriesFile() const override { return page_->Names().seriesFile; }
    void SetSeriesFile(const QString& path) override { page_->SetSeriesFile(path); }
    QString PriceTextFile() const override { return page_->Names().priceTextFile; }
    QString PriceWorkFile() const override { return page_->Names().priceWorkFile; }
    std::vector<const TInOutObj*> Expiries() const override { return page_->Series().Expiries(); }
    // The page reports a file it cannot write itself.
    bool SavePage() override { return page_->SavePage(); }
    void PrintPage(QPrinter& printer) override { page_->PrintPage(printer); }
    void RefreshAfterDownload() override { page_->RefreshAfterDownload(); }
    void TakePositionOf(IOptionPage& other) override
    {
        if (auto* from = qobject_cast<TfrmOPage*>(other.Window()))
            page_->TakePosition(*from);
    }

private:
    TfrmOPage* page_;  // outlives the adapter: the main window drops the adapter when the page goes
};

}  // namespace

PageEnvironment PageEnvironmentOf(TMainForm& mainForm)
{
    PageEnvironment environment;
    const AppSettings& settings = mainForm.Session().Settings();
    environment.defaultRates = {settings.Rate30, settings.Rate60, settings.Rate90};
    environment.seriesDirectory = mainForm.Session().Folders().SeriesDir;
    environment.dataDirectory = mainForm.Session().Folders().DataDir;
    environment.tempDirectory = mainForm.Session().Folders().TempDir;
    environment.locale = mainForm.Session().Locale();
    environment.sourceFileType = settings.SourceFileType;
    TMainForm* owner = &mainForm;
    environment.takeSourceFileType = [owner](std::uint8_t type) {
        owner->Session().Settings().SourceFileType = type;
    };
    environment.mainWindowGeometry = mainForm.frameGeometry();
    const QPointer<TMainForm> mainWindow(&mainForm);
    environment.saveSeriesAs = [mainWindow](QWidget* page) {
        return mainWindow && mainWindow->SaveWindowAs(page);
    };
    GiveChartAndPrinter(environment, mainForm.Messages());
    return environment;
}

TMainForm::PageFactory OptionPageFactory()
{
    return [](TMainForm& mainForm) -> std::unique_ptr<IOptionPage> {
        PageSource source;
        source.openFromFile = mainForm.Request().openFromFile;
        source.openFileName = mainForm.Request().openFileName;
        if (!source.openFromFile && mainForm.Request().setupDialog)
            source.setup = mainForm.Request().setupDialog->Values();
        else if (!source.openFromFile && mainForm.Request().chainSetup)
            source.setup = *mainForm.Request().chainSetup;
        TfrmOPage* page = TfrmOPage::Create(PageEnvironmentOf(mainForm), source, mainForm.Messages(),
                                            &mainForm);
        if (!page)
            return nullptr;
        TMainForm* owner = &mainForm;
        QObject::connect(
            page, &TfrmOPage::chainRequested, owner,
            [owner](const QString& file, const QString& contract) { owner->OpenChain(file, contract); });
        return std::make_unique<OptionPageAdapter>(page);
    };
}

}  // namespace kestrava
