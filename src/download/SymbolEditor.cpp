#include "download/SymbolEditor.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "appcore/HelpPages.h"
#include "common/notifier.h"

namespace kestrava {
namespace {

constexpr int kKeyColumn = 0;
constexpr int kValueColumn = 1;

// Starts every editor with the cell's text in upper case and refuses an
// option symbol that another row already has.
class SymbolDelegate : public QStyledItemDelegate {
public:
    SymbolDelegate(Notifier& notifier, QObject* parent) : QStyledItemDelegate(parent), notifier_(notifier) {}

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(index.data(Qt::EditRole).toString().toUpper());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return QStyledItemDelegate::setModelData(editor, model, index);
        const QString text = line->text().trimmed();
        if (index.column() == kKeyColumn && !text.isEmpty()) {
            for (int row = 0; row < model->rowCount(); ++row) {
                if (row != index.row()
                    && model->index(row, kKeyColumn).data().toString().compare(text, Qt::CaseInsensitive)
                           == 0) {
                    // After the editor has gone: a message box now would
                    // take the focus from the editor that is closing.
                    QMetaObject::invokeMethod(
                        const_cast<SymbolDelegate*>(this),
                        [this, text] {
                            notifier_.Info("The option symbol " + text.toStdString()
                                           + " is already on the list; each symbol can be there once.");
                        },
                        Qt::QueuedConnection);
                    return;
                }
            }
        }
        model->setData(index, text, Qt::EditRole);
    }

private:
    Notifier& notifier_;
};

}  // namespace

TSymEditDlg::TSymEditDlg(const QStringList& entries, Notifier& notifier, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SymEditDlg"));
    setWindowTitle(QStringLiteral("Symbol Editor"));
    setToolTip(QStringLiteral("Edit Download Symbols"));
    setProperty("helpKeyword", kHelpDownloadList);

    vlEdit = new QTableWidget(0, 2, this);
    vlEdit->setObjectName(QStringLiteral("vlEdit"));
    vlEdit->setHorizontalHeaderLabels({QStringLiteral("  Option "), QStringLiteral("  Underlying")});
    vlEdit->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    vlEdit->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    vlEdit->horizontalHeader()->setHighlightSections(false);
    vlEdit->verticalHeader()->hide();
    vlEdit->setSelectionMode(QAbstractItemView::SingleSelection);
    vlEdit->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                            | QAbstractItemView::EditKeyPressed);
    vlEdit->setToolTip(QStringLiteral("Use Arrow keys to navigate grid.\nUse Down Arrow to add new Symbol."));
    vlEdit->setItemDelegate(new SymbolDelegate(notifier, vlEdit));
    vlEdit->installEventFilter(this);
    // Room for the seven symbols of a new list and a row to add.
    const QFontMetrics metrics(vlEdit->font());
    vlEdit->verticalHeader()->setDefaultSectionSize(metrics.height() + metrics.height() / 2);
    vlEdit->setMinimumSize(2 * metrics.horizontalAdvance(QStringLiteral("  Underlying  WW")),
                           vlEdit->horizontalHeader()->sizeHint().height()
                               + 8 * vlEdit->verticalHeader()->defaultSectionSize()
                               + 2 * vlEdit->frameWidth());
    for (const QString& entry : entries) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        AddRow(equals < 0 ? entry : entry.left(equals), equals < 0 ? QString() : entry.mid(equals + 1));
    }
    if (vlEdit->rowCount() == 0)
        AddRow(QString(), QString());
    vlEdit->setCurrentCell(0, kKeyColumn);

    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QDialogButtonBox::Ok);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setToolTip(QStringLiteral("Save and quit"));
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setToolTip(QStringLiteral("Quit"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("CBOE Symbols"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("YAHOO Symbols"), this), 0, 1);
    layout->addWidget(vlEdit, 1, 0, 1, 2);
    layout->addWidget(buttons, 2, 0, 1, 2);

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit HelpRequested(kHelpDownloadList); });
}

void TSymEditDlg::AddRow(const QString& key, const QString& value)
{
    const int row = vlEdit->rowCount();
    vlEdit->insertRow(row);
    vlEdit->setItem(row, kKeyColumn, new QTableWidgetItem(key));
    vlEdit->setItem(row, kValueColumn, new QTableWidgetItem(value));
}

QStringList TSymEditDlg::Entries() const
{
    QStringList entries;
    for (int row = 0; row < vlEdit->rowCount(); ++row) {
        const QTableWidgetItem* key = vlEdit->item(row, kKeyColumn);
        const QTableWidgetItem* value = vlEdit->item(row, kValueColumn);
        if (key && !key->text().trimmed().isEmpty())
            entries.append(key->text().trimmed() + QLatin1Char('=')
                           + (value ? value->text().trimmed() : QString()));
    }
    return entries;
}

bool TSymEditDlg::eventFilter(QObject* watched, QEvent* event)
{
    // While a cell is edited its editor has the keys, so these reach the table only between edits.
    if (watched == vlEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int row = vlEdit->currentRow();
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier
            && row == vlEdit->rowCount() - 1) {
            // A new row below one that holds something; never a pile of empty ones.
            const bool lastEmpty = vlEdit->item(row, kKeyColumn)->text().isEmpty()
                                   && vlEdit->item(row, kValueColumn)->text().isEmpty();
            if (!lastEmpty) {
                AddRow(QString(), QString());
                vlEdit->setCurrentCell(row + 1, kKeyColumn);
            }
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier && row >= 0) {
            vlEdit->removeRow(row);
            if (vlEdit->rowCount() == 0)
                AddRow(QString(), QString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kestrava
