#include "download/DownLoadDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "appcore/HelpPages.h"

namespace kestrava {
namespace {

void CheckAll(QListWidget* list, bool checked)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QGroupBox* PriceGroup(QWidget* parent, QCheckBox*& box, const QString& caption, const QString& hint,
                      QListWidget*& list, const char* boxName, const char* listName)
{
    auto* group = new QGroupBox(QStringLiteral(" Get prices for "), parent);
    box = new QCheckBox(caption, group);
    box->setObjectName(QLatin1String(boxName));
    box->setToolTip(hint);
    list = new QListWidget(group);
    list->setObjectName(QLatin1String(listName));
    // Room for seven symbols of eight characters before it scrolls.
    const QFontMetrics metrics(list->font());
    list->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("WWWWWWWW")) + 4 * metrics.height(),
                         8 * metrics.height());
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(box);
    layout->addWidget(list);
    QObject::connect(box, &QCheckBox::toggled, list, [list](bool checked) { CheckAll(list, checked); });
    return group;
}

void AddItem(QListWidget* list, const QString& text)
{
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
}

}  // namespace

TDloadDlg::TDloadDlg(const QStringList& entries, bool quoteDownload, bool historyDownload, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DloadDlg"));
    setWindowTitle(QStringLiteral("Data to Download"));
    setProperty("helpKeyword", kHelpFetchingMarketPrices);

    auto* groups = new QHBoxLayout;
    groups->addWidget(PriceGroup(this, ckDoCBOE, QStringLiteral("Options"),
                                 QStringLiteral("Checked means fetch CBOE Option Prices"), ckListBoxCBOE,
                                 "ckDoCBOE", "ckListBoxCBOE"));
    groups->addWidget(PriceGroup(this, ckDoMSN, QStringLiteral("Underlying"),
                                 QStringLiteral("Checked means download Underlying Daily prices for Chart"),
                                 ckListBoxMSN, "ckDoMSN", "ckListBoxMSN"));

    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QDialogButtonBox::Ok);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setToolTip(QStringLiteral("Go ahead and fetch data for checked items"));
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setToolTip(QStringLiteral("Don't fetch data"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(
        new QLabel(QStringLiteral("Check the data download operation you wish to perform."), this));
    layout->addWidget(buttons);

    // The option symbol is the text before the first "=", the history
    // symbol the text after it; a line without "=" is all history symbol.
    for (const QString& entry : entries) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        const QString option = equals < 0 ? QString() : entry.left(equals);
        const QString history = equals < 0 ? entry : entry.mid(equals + 1);
        if (!option.isEmpty())
            AddItem(ckListBoxCBOE, option);
        if (!history.isEmpty())
            AddItem(ckListBoxMSN, history);
    }
    ckDoCBOE->setChecked(quoteDownload);
    ckDoMSN->setChecked(historyDownload);

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit HelpRequested(kHelpFetchingMarketPrices); });
}

QStringList TDloadDlg::CheckedItems(const QListWidget* list)
{
    QStringList checked;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            checked.append(list->item(i)->text());
    return checked;
}

}  // namespace kestrava
