#pragma once
// TdlgServers: the two sources the downloads fetch from (configuration of
// the installation, empty until set), each of its kind: the classic server
// or a URL template; and the date format of the price files and of the daily
// history a download writes.

#include <QDialog>

#include "common/localeinfo.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kestrava {

struct AppSettings;

class TdlgServers : public QDialog {
    Q_OBJECT

public:
    // `system` names the system's own date format in the list; `settingsFile`
    // is shown, so the user knows where the values are kept.
    TdlgServers(AppSettings& settings, const LocaleInfo& system, const QString& settingsFile,
                QWidget* parent = nullptr);

    QLineEdit* edQuoteServer = nullptr;
    QLineEdit* edHistoryServer = nullptr;
    // Index 0 the classic server, 1 the URL template; the edit of the other
    // kind is disabled.
    QComboBox* cmbQuoteKind = nullptr;
    QComboBox* cmbHistoryKind = nullptr;
    QLineEdit* edQuoteTemplate = nullptr;
    QLineEdit* edHistoryTemplate = nullptr;
    QComboBox* cmbDateFormat = nullptr;  // item data: the format; empty for the system's
    QLabel* lblProblem = nullptr;

    // OK keeps the dialog open while an address of the chosen kind is no
    // http or https address, or a template is refused (UrlTemplate.h),
    // saying so; the values reach the settings only when it closes with OK.
    void done(int result) override;

signals:
    // The user asked for help (F1); the main window opens the keyword's page.
    void HelpRequested(const QString& keyword);

private:
    AppSettings& settings_;
};

}  // namespace kestrava
