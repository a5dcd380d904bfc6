#include "app/DownloadCommands.h"

#include <exception>
#include <memory>
#include <optional>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QSettings>
#include <QShortcut>
#include <QToolButton>

#include "app/OptionPageHost.h"
#include "common/busy.h"
#include "common/notifier.h"
#include "download/DownLoadDlg.h"
#include "download/SymbolEditor.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/HTTPer.h"

namespace kestrava {
namespace {

std::vector<std::string> ToStrings(const QStringList& list)
{
    std::vector<std::string> strings;
    strings.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& text : list)
        strings.push_back(text.toStdString());
    return strings;
}

std::filesystem::path ToPath(const QString& folder)
{
    return std::filesystem::path(QDir::fromNativeSeparators(folder).toStdString());
}

// The strip while a download runs: the button stays down, the bar and the
// label show, the hourglass is up.
class StripDisplay : public DownloadDisplay {
public:
    explicit StripDisplay(TMainForm& form) : form_(&form) {}
    // A run that ended by an exception leaves the strip as it found it too.
    ~StripDisplay() override
    {
        if (busy_)
            End();
    }

    void Begin() override
    {
        busy_.emplace();
        if (!form_)
            return;
        form_->Progress().spdbtnDownload()->setChecked(true);
        form_->Progress().pbDownload()->show();
        form_->Progress().lblTicker()->show();
    }
    void ShowTicker(const std::string& text) override
    {
        if (!form_)
            return;
        form_->Progress().lblTicker()->setText(QString::fromStdString(text));
        form_->Progress().lblTicker()->repaint();
    }
    void LetEventsRun() override { QCoreApplication::processEvents(); }
    void End() override
    {
        busy_.reset();
        if (!form_)
            return;
        form_->Progress().spdbtnDownload()->setChecked(false);
        form_->Progress().pbDownload()->hide();
        form_->Progress().lblTicker()->clear();
        form_->Progress().lblTicker()->hide();
    }

private:
    QPointer<TMainForm> form_;
    std::optional<BusyScope> busy_;
};

DownloadSetup SetupOf(TMainForm& form, const DownloadCommandOptions& options)
{
    const AppSettings& settings = form.Session().Settings();
    DownloadSetup setup;
    setup.QuoteServer = settings.QuoteServer.toStdString();
    setup.HistoryServer = settings.HistoryServer.toStdString();
    setup.HistoryHomePage = settings.HistoryHomePage.toStdString();
    setup.QuoteByTemplate = settings.QuoteByTemplate;
    setup.QuoteTemplate = settings.QuoteUrlTemplate.toStdString();
    setup.HistoryByTemplate = settings.HistoryByTemplate;
    setup.HistoryTemplate = settings.HistoryUrlTemplate.toStdString();
    setup.SettingsFile =
        QDir::toNativeSeparators(
            QSettings(QLatin1String(kOrganisationName), QLatin1String(kApplicationName)).fileName())
            .toStdString();
    setup.RequestTemplate = form.Session().RequestTemplate().toStdString();
    setup.DataDir = ToPath(form.Session().Folders().DataDir);
    setup.TempDir = ToPath(form.Session().Folders().TempDir);
    setup.PriceDir = ToPath(settings.AsciiDataDir);
    setup.Locale = form.Session().Locale();
    const QDate today = QDate::currentDate();
    setup.Today = options.today ? options.today() : EncodeDate(today.year(), today.month(), today.day());
    setup.TimeoutMs = options.timeoutMs;
    setup.DeadlineMs = settings.RequestDeadline * 1000;
    return setup;
}

class DownloadRun {
public:
    explicit DownloadRun(DownloadCommandOptions options) : options_(std::move(options)) {}

    void operator()(TMainForm& form)
    {
        if (running_) {
            http_.Abort();
            return;
        }
        const QScopedValueRollback<bool> running(running_, true);

        TDloadDlg dialog(form.Session().TickerList().Entries(), form.Session().QuoteDownloadFlag(),
                         form.Session().HistoryDownloadFlag());
        QObject::connect(&dialog, &TDloadDlg::HelpRequested, &form, [&form] { form.Help().FormHelp(); });
        if (options_.dialogHook)
            options_.dialogHook(dialog);
        bool accepted = dialog.exec() == QDialog::Accepted;
        // The choices count also when the dialog was cancelled.
        const bool quotes = dialog.ckDoCBOE->isChecked();
        const bool history = dialog.ckDoMSN->isChecked();
        if (quotes)
            form.Session().QuoteSelection() = TDloadDlg::CheckedItems(dialog.ckListBoxCBOE);
        if (history)
            form.Session().HistorySelection() = TDloadDlg::CheckedItems(dialog.ckListBoxMSN);
        if (!quotes && !history)
            accepted = false;
        if (accepted) {
            form.Session().QuoteDownloadFlag() = quotes;
            form.Session().HistoryDownloadFlag() = history;
        }
        if (!accepted) {
            form.Progress().spdbtnDownload()->setChecked(false);
            return;
        }
        Run(form);
    }

private:
    void Run(TMainForm& form)
    {
        const QPointer<TMainForm> alive(&form);
        // The strip closing ends the run as the stop does.
        http_.OnIdle = [this, alive] {
            QCoreApplication::processEvents();
            if (!alive || !alive->isVisible())
                http_.Abort();
        };
        http_.OnWorkBegin = [alive](WorkMode mode, std::int64_t expected) {
            if (alive)
                alive->Progress().WorkBegin(mode == WorkMode::Read, expected);
        };
        http_.OnWork = [alive](WorkMode mode, std::int64_t count) {
            if (alive)
                alive->Progress().Work(mode == WorkMode::Read, count);
        };
        http_.OnWorkEnd = [alive](WorkMode mode) {
            if (alive)
                alive->Progress().WorkEnd(mode == WorkMode::Read);
        };
        if (options_.clientHook)
            options_.clientHook(http_);

        QShortcut escape(QKeySequence(Qt::Key_Escape), &form);
        escape.setContext(Qt::ApplicationShortcut);
        QObject::connect(&escape, &QShortcut::activated, &form, [this] { http_.Abort(); });

        DownloadChoice choice;
        choice.quotes = form.Session().QuoteDownloadFlag();
        choice.history = form.Session().HistoryDownloadFlag();
        choice.quoteSymbols = ToStrings(form.Session().QuoteSelection());
        choice.historySymbols = ToStrings(form.Session().HistorySelection());
        DownloadOutcome outcome;
        try {
            StripDisplay display(form);
            outcome = RunDownloads(http_, SetupOf(form, options_), choice, form.Messages(), display);
        } catch (const std::exception& error) {
            if (alive)
                alive->Messages().Warning(error.what());
        }
        if (!alive)
            return;
        if (outcome.stopped)
            alive->Messages().Info(StoppedRunReport(outcome));
        if (IOptionPage* page = alive->FindActivePage())
            page->RefreshAfterDownload();
        if (alive)
            alive->Progress().spdbtnDownload()->setChecked(false);
    }

    DownloadCommandOptions options_;
    HTTPer http_;
    bool running_ = false;
};

}  // namespace

TMainForm::Command DownloadCommand(DownloadCommandOptions options)
{
    auto run = std::make_shared<DownloadRun>(std::move(options));
    return [run](TMainForm& form) { (*run)(form); };
}

TMainForm::Command SymbolEditorCommand(std::function<void(TSymEditDlg&)> dialogHook)
{
    return [hook = std::move(dialogHook)](TMainForm& form) {
        TSymEditDlg dialog(form.Session().TickerList().Entries(), form.Messages());
        QObject::connect(&dialog, &TSymEditDlg::HelpRequested, &form, [&form] { form.Help().FormHelp(); });
        if (hook)
            hook(dialog);
        if (dialog.exec() == QDialog::Accepted)
            form.Session().TickerList().Assign(dialog.Entries());
    };
}

}  // namespace kestrava
