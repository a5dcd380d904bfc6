// The chain window's commands of the main window: the chain window on a
// quote table (File > Open chain..., the page's Chain... button), and the
// new page from a chain's selection.

#include "app/ChainCommands.h"

#include <QDir>
#include <QFileInfo>

#include "app/MainForm.h"
#include "appcore/HelpPages.h"
#include "chainwindow/ChainWindow.h"
#include "common/localeparse.h"
#include "common/numtext.h"
#include "common/qt/seriestext.h"

namespace kestrava {
namespace {

QDate QDateOf(TDateTime date)
{
    const CivilDate civil = DecodeDate(date);
    return QDate(civil.year, civil.month, civil.day);
}

QString NumberText(double value, char separator)
{
    return QString::fromStdString(WithDecimalSeparator(FormatSig9(value), separator));
}

}  // namespace

SeriesSetup SetupFromChain(const ChainSelection& selection, char decimalSeparator)
{
    SeriesSetup setup;
    setup.numExpiries = static_cast<int>(std::min<std::size_t>(selection.expiries.size(), 3));
    for (int i = 0; i < setup.numExpiries; ++i)
        setup.expiryDates[static_cast<std::size_t>(i)] = QDateOf(
            selection.expiries[static_cast<std::size_t>(i)]);
    for (const double strike : selection.strikes)
        setup.strikes.push_back(static_cast<float>(strike));
    // The boxes as the dialog would show this series; the strikes above count.
    setup.numStrikes = QString::number(setup.strikes.size());
    setup.firstStrike = setup.strikes.empty() ? QStringLiteral("0")
                                              : NumberText(setup.strikes.front(), decimalSeparator);
    setup.strikeIncrement = setup.strikes.size() > 1
                                ? NumberText(setup.strikes[1] - setup.strikes[0], decimalSeparator)
                                : QStringLiteral("1");
    setup.underlyingPrice = static_cast<float>(selection.underlying);
    setup.volatility = static_cast<float>(selection.AtTheMoneyVol());
    if (selection.quoteDate > 0)
        setup.priceDate = QDateOf(selection.quoteDate);
    setup.market = selection.market;
    setup.optionSymbol = FromSeriesText(selection.symbol);
    setup.symbolText = setup.optionSymbol;
    setup.contractRoot = FromSeriesText(selection.contract);
    setup.model = ChainModelOf(selection.inputs.model).pricing;
    if (selection.inputs.dividend.cash) {
        setup.contractType = kEquity;
        if (selection.inputs.dividend.amount > 0) {
            setup.dividendAmount = NumberText(selection.inputs.dividend.amount, decimalSeparator);
            setup.dividendDate = QDateOf(selection.inputs.dividend.date);
        }
    } else {
        setup.contractType = kIndex;
        if (selection.inputs.dividend.yield != 0)
            setup.dividendYield = NumberText(selection.inputs.dividend.yield * 100, decimalSeparator);
    }
    return setup;
}

ChainWindow* TMainForm::OpenChain(const QString& file, const QString& root)
{
    ChainEnvironment environment;
    environment.locale = session_.Locale();
    environment.defaultRates = {session_.Settings().Rate30, session_.Settings().Rate60,
                                session_.Settings().Rate90};
    environment.exportFolder = session_.Folders().DataDir;
    ChainWindow* window = ChainWindow::Open(file, root, environment, *notifier_, this);
    if (!window)
        return nullptr;
    window->setProperty("helpKeyword", kHelpOptionChain);
    connect(window, &ChainWindow::newSeriesRequested, this,
            [this](const ChainSelection& selection) { NewSeriesFromChain(selection); });
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

IOptionPage* TMainForm::NewSeriesFromChain(const ChainSelection& selection)
{
    const SeriesSetup setup = SetupFromChain(selection, session_.Locale().decimalSeparator);
    PageRequest request;
    request.chainSetup = &setup;
    IOptionPage* page = CreatePage(request);
    if (!page)
        return nullptr;
    page->SetSeriesFile(page->Title() + QStringLiteral(".ops"));
    ShowPage(page);
    return page;
}

}  // namespace kestrava
