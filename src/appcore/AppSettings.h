#pragma once
// The settings that outlive a run: the strip's placement, the price-file
// folder and type, the default risk-free rates, the download servers and the
// date format of the price files. They are read once at start-up; what the
// run changes is written back when it changes (the dialogs) or at shut-down,
// and nothing else, so that what the user wrote into the file meanwhile
// stays.

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
    // "Servers/QuoteServerKind" and "Servers/HistoryServerKind": "classic"
    // (the servers above) or "template": the download then fetches the URL
    // template "Servers/QuoteUrlTemplate" or "Servers/HistoryUrlTemplate"
    // ({SYMBOL}, {FROM}, {TO} filled in) instead.
    bool QuoteByTemplate = false;
    bool HistoryByTemplate = false;
    QString QuoteUrlTemplate;
    QString HistoryUrlTemplate;
    // "Servers/RequestDeadline": the seconds any one download request may
    // take in all, however its bytes trickle in (1 to 3600). Read only: it
    // is written by whoever sets it.
    int RequestDeadline = 120;
    // The short date format ("M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd") of the
    // price files, downloaded history and shown dates; empty: the system's.
    QString DateFormat;

    // Reads every value, keeping the default of a value that is missing or
    // unreadable; each unreadable value adds a line to `problems`.
    void Load(QSettings& settings, const LocaleInfo& locale, QStringList* problems = nullptr);
    // Writes the values that differ from `before` (the values as they were
    // read, or last written), and the values the file does not hold yet, so
    // that a new file shows every setting. A value someone else wrote into
    // the file meanwhile is not written over unless this run changed it too.
    void SaveChanges(QSettings& settings, const LocaleInfo& locale, const AppSettings& before) const;
};

// The locale the program works with: the system's, with the date format of
// the settings when it names one (a text that is no date format leaves the
// system's).
LocaleInfo ProgramLocale(const LocaleInfo& system, const QString& dateFormat);
// True for an empty text (the system's format) and a date format that names
// day, month and year with a separator.
bool IsDateFormat(const QString& dateFormat);

// A rate as the settings hold it: up to 15 significant digits of the single,
// with the locale's decimal separator (0.005 gives "0.00499999988824129").
QString RateText(float rate, const LocaleInfo& locale);
// Reads a rate written by RateText under this or another locale; false when
// the text is not a finite number.
bool ParseRateText(const QString& text, const LocaleInfo& locale, float& rate);

}  // namespace kestrava
