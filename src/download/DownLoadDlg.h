#pragma once
// TDloadDlg: what a download run fetches. Option quotes for the option
// symbols of the download list, daily history for its history symbols; a
// check box over each list checks or unchecks the whole list.

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace kestrava {

class TDloadDlg : public QDialog {
    Q_OBJECT

public:
    // entries: the download list ("OPTION=HISTORY"); the boxes start as the
    // two download flags say, and a box that starts checked checks its list.
    TDloadDlg(const QStringList& entries, bool quoteDownload, bool historyDownload,
              QWidget* parent = nullptr);

    QCheckBox* ckDoCBOE = nullptr;
    QListWidget* ckListBoxCBOE = nullptr;
    QCheckBox* ckDoMSN = nullptr;
    QListWidget* ckListBoxMSN = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // The checked items of a list, in list order.
    static QStringList CheckedItems(const QListWidget* list);

signals:
    // The user asked for help (F1); the main window opens the keyword's page.
    void HelpRequested(const QString& keyword);
};

}  // namespace kestrava
