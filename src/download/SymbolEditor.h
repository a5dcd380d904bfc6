#pragma once
// TSymEditDlg: the download list as a two-column table, option symbol and
// history symbol. Down Arrow on the last row adds a row, Ctrl+Delete deletes
// the current one; an option symbol already on the list is refused; a cell
// being edited starts in upper case.

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTableWidget;

namespace kestrava {

class Notifier;

class TSymEditDlg : public QDialog {
    Q_OBJECT

public:
    TSymEditDlg(const QStringList& entries, Notifier& notifier, QWidget* parent = nullptr);

    QTableWidget* vlEdit = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // The rows as download list entries, "OPTION=HISTORY"; rows without an
    // option symbol are left out.
    QStringList Entries() const;

signals:
    void HelpRequested(const QString& keyword);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddRow(const QString& key, const QString& value);
};

}  // namespace kestrava
