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
#include "download/Downloads.h"

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

}  // namespace

TdlgServers::TdlgServers(AppSettings& settings, const LocaleInfo& system, const QString& settingsFile,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), settings_(settings)
{
    setObjectName(QStringLiteral("dlgServers"));
    setWindowTitle(QStringLiteral("Servers"));

    edQuoteServer = AddressEdit("edQuoteServer", settings.QuoteServer, this);
    edHistoryServer = AddressEdit("edHistoryServer", settings.HistoryServer, this);
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
    form->addRow(QStringLiteral("&Quote server:"), edQuoteServer);
    form->addRow(QStringLiteral("&History server:"), edHistoryServer);
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
    // An empty address is allowed: that download then says it has no server.
    for (const auto& [text, name, edit] : {std::tuple{quotes, "QuoteServer", edQuoteServer},
                                           std::tuple{history, "HistoryServer", edHistoryServer}}) {
        if (text.isEmpty())
            continue;
        const ServerAddress address = ParseServerAddress(text.toStdString(), name);
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
    settings_.DateFormat = cmbDateFormat->currentData().toString();
    QDialog::done(result);
}

}  // namespace kestrava
