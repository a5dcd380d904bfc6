#include "app/ServersDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "appcore/AppSettings.h"
#include "appcore/HelpPages.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/UrlTemplate.h"

namespace kestrava {
namespace {

const char* const kAddressHint =
    "http://host or https://host, with a port and a path when the server needs them";
const char* const kFormats[] = {"M/d/yyyy",   "d/M/yyyy",   "dd/MM/yyyy",
                                "MM/dd/yyyy", "dd.MM.yyyy", "yyyy-MM-dd"};

QLineEdit* AddressEdit(const char* name, const QString& value, QWidget* parent)
{
    auto* edit = new QLineEdit(value, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(QStringLiteral("http://host"));
    edit->setToolTip(QLatin1String(kAddressHint));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    return edit;
}

const char* const kTemplateHint =
    "The address of one symbol's quotes or history, such as https://example.com/q?s={SYMBOL}; {SYMBOL}, "
    "{FROM} and {TO} are filled in (F1 for examples)";

QLineEdit* TemplateEdit(const char* name, const QString& value, QWidget* parent)
{
    auto* edit = new QLineEdit(value, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(QStringLiteral("https://example.com/...{SYMBOL}..."));
    edit->setToolTip(QLatin1String(kTemplateHint));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    return edit;
}

// A kind list whose choice enables the server's edit (index 0) or the template's (1).
QComboBox* KindBox(const char* name, const QString& classic, bool byTemplate, QLineEdit* server,
                   QLineEdit* urlTemplate, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItem(classic);
    box->addItem(QStringLiteral("URL template"));
    const auto follow = [server, urlTemplate](int index) {
        server->setEnabled(index == 0);
        urlTemplate->setEnabled(index == 1);
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, parent, follow);
    box->setCurrentIndex(byTemplate ? 1 : 0);
    follow(box->currentIndex());
    return box;
}

}  // namespace

TdlgServers::TdlgServers(AppSettings& settings, const LocaleInfo& system, const QString& settingsFile,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), settings_(settings)
{
    setObjectName(QStringLiteral("dlgServers"));
    setWindowTitle(QStringLiteral("Servers"));

    edQuoteServer = AddressEdit("edQuoteServer", settings.QuoteServer, this);
    edHistoryServer = AddressEdit("edHistoryServer", settings.HistoryServer, this);
    edQuoteTemplate = TemplateEdit("edQuoteTemplate", settings.QuoteUrlTemplate, this);
    edHistoryTemplate = TemplateEdit("edHistoryTemplate", settings.HistoryUrlTemplate, this);
    cmbQuoteKind = KindBox("cmbQuoteKind", QStringLiteral("Quote table form"), settings.QuoteByTemplate,
                           edQuoteServer, edQuoteTemplate, this);
    cmbHistoryKind = KindBox("cmbHistoryKind", QStringLiteral("Daily-history service"),
                             settings.HistoryByTemplate, edHistoryServer, edHistoryTemplate, this);
    cmbDateFormat = new QComboBox(this);
    cmbDateFormat->setObjectName(QStringLiteral("cmbDateFormat"));
    cmbDateFormat->setToolTip(
        QStringLiteral("How the dates of price files and downloaded history are written"));
    cmbDateFormat->addItem(
        QStringLiteral("The system's (%1)").arg(QString::fromStdString(system.shortDateFormat)), QString());
    for (const char* format : kFormats)
        cmbDateFormat->addItem(QLatin1String(format), QLatin1String(format));
    // A format written into the settings by hand is offered too.
    if (cmbDateFormat->findData(settings.DateFormat) < 0)
        cmbDateFormat->addItem(settings.DateFormat, settings.DateFormat);
    cmbDateFormat->setCurrentIndex(cmbDateFormat->findData(settings.DateFormat));

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(QStringLiteral("Quote &source:"), cmbQuoteKind);
    form->addRow(QStringLiteral("&Quote server:"), edQuoteServer);
    form->addRow(QStringLiteral("Quote &URL template:"), edQuoteTemplate);
    form->addRow(QStringLiteral("Histor&y source:"), cmbHistoryKind);
    form->addRow(QStringLiteral("&History server:"), edHistoryServer);
    form->addRow(QStringLiteral("History UR&L template:"), edHistoryTemplate);
    form->addRow(QStringLiteral("&Date format:"), cmbDateFormat);

    auto* where = new QLabel(QStringLiteral("Kept in %1").arg(settingsFile), this);
    where->setObjectName(QStringLiteral("lblSettingsFile"));
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setWordWrap(true);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(where);
    layout->addWidget(lblProblem);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit HelpRequested(kHelpServers); });
}

void TdlgServers::done(int result)
{
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }
    const QString quotes = edQuoteServer->text().trimmed();
    const QString history = edHistoryServer->text().trimmed();
    const QString quoteTemplate = edQuoteTemplate->text().trimmed();
    const QString historyTemplate = edHistoryTemplate->text().trimmed();
    const bool quoteByTemplate = cmbQuoteKind->currentIndex() == 1;
    const bool historyByTemplate = cmbHistoryKind->currentIndex() == 1;
    // An empty address or template is allowed: that download then says it
    // has none. Only the chosen kind's value is checked.
    for (const auto& [text, name, edit, byTemplate] :
         {std::tuple{quoteByTemplate ? quoteTemplate : quotes, "QuoteServer",
                     quoteByTemplate ? edQuoteTemplate : edQuoteServer, quoteByTemplate},
          std::tuple{historyByTemplate ? historyTemplate : history, "HistoryServer",
                     historyByTemplate ? edHistoryTemplate : edHistoryServer, historyByTemplate}}) {
        if (text.isEmpty())
            continue;
        const std::string templateName = std::string("the setting Servers/")
                                         + (edit == edQuoteTemplate ? "QuoteUrlTemplate"
                                                                    : "HistoryUrlTemplate");
        const ServerAddress address = byTemplate ? ParseUrlTemplate(text.toStdString(), templateName)
                                                 : ParseServerAddress(text.toStdString(), name);
        if (!address.ok) {
            lblProblem->setText(QString::fromStdString(address.problem));
            lblProblem->show();
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    settings_.QuoteServer = quotes;
    settings_.HistoryServer = history;
    settings_.QuoteByTemplate = quoteByTemplate;
    settings_.HistoryByTemplate = historyByTemplate;
    settings_.QuoteUrlTemplate = quoteTemplate;
    settings_.HistoryUrlTemplate = historyTemplate;
    settings_.DateFormat = cmbDateFormat->currentData().toString();
    QDialog::done(result);
}

}  // namespace kestrava
