#pragma once
// TdlgIntRates: the default risk-free rates that new series take for their
// first, second and third expiry, shown in percent (1.00 is 1 %).

#include <QDialog>

#include "common/localeinfo.h"

namespace kestrava {

struct AppSettings;
class TrmFloatSpinEdit;

class TdlgIntRates : public QDialog {
    Q_OBJECT

public:
    // The rates are shown and typed with the locale's decimal separator.
    TdlgIntRates(AppSettings& settings, const LocaleInfo& locale, QWidget* parent = nullptr);

    TrmFloatSpinEdit* FSpinEdit1 = nullptr;  // 30-day rate
    TrmFloatSpinEdit* FSpinEdit2 = nullptr;  // 60-day rate
    TrmFloatSpinEdit* FSpinEdit3 = nullptr;  // 90-day rate

    // Stores the rates only when the dialog closes with OK.
    void done(int result) override;

signals:
    // The user asked for help (F1); the main window opens the keyword's page.
    void HelpRequested(const QString& keyword);

private:
    AppSettings& settings_;
};

}  // namespace kestrava
