#pragma once
// The settings that outlive a run: the strip's placement, the price-file
// folder and type, the default risk-free rates and the download servers. They are read once at
// start-up and written back once at shut-down.

#include <cstdint>

#include <QString>
#include <QStringList>

#include "common/localeinfo.h"

class QSettings;

namespace kestrava {

inline constexpr char kOrganisationName[] = "Tovanek";
inline constexpr char kApplicationName[] = "Kestrava27";
// The title of the main window and of every message box.
inline constexpr char kApplicationTitle[] = "Kestrava v2.7";

struct AppSettings {
    // "WinDims": the strip's left and top edge and width in pixels; a width
    // of 0 means no placement was saved.
    int Left = 0;
    int Top = 10;
    int Width = 0;
    // "Dirs"
    QString AsciiDataDir;
    std::uint8_t SourceFileType = 5;
    // "Rates": default risk-free rates of the first, second and third expiry,
    // as fractions (0.005 is 0.5 %).
    float Rate30 = 0.005f;
    float Rate60 = 0.005f;
    float Rate90 = 0.005f;
    // "Servers": the base URLs ("http://host[:port]") of the exchange's
    // delayed-quote server and of the daily-history server, and the history
    // service's home page, sent as Referer. Configuration of the deployment:
    // empty until set.
    QString QuoteServer;
    QString HistoryServer;
    QString HistoryHomePage;
    // "Servers/RequestDeadline": the seconds any one download request may
    // take in all, however its bytes trickle in (1 to 3600). Read only: it
    // is written by whoever sets it.
    int RequestDeadline = 120;

    // Reads every value, keeping the default of a value that is missing or
    // unreadable; each unreadable value adds a line to `problems`.
    void Load(QSettings& settings, const LocaleInfo& locale, QStringList* problems = nullptr);
    void Save(QSettings& settings, const LocaleInfo& locale) const;
};

// A rate as the settings hold it: up to 15 significant digits of the single,
// with the locale's decimal separator (0.005 gives "0.00499999988824129").
QString RateText(float rate, const LocaleInfo& locale);
// Reads a rate written by RateText under this or another locale; false when
// the text is not a finite number.
bool ParseRateText(const QString& text, const LocaleInfo& locale, float& rate);

}  // namespace kestrava
