#include "appcore/AppSettings.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QLocale>
#include <QSettings>

namespace kestrava {
namespace {

const QString kWinDims = QStringLiteral("WinDims");
const QString kDirs = QStringLiteral("Dirs");
const QString kRates = QStringLiteral("Rates");
const QString kServers = QStringLiteral("Servers");
const QString kQuoteServer = QStringLiteral("QuoteServer");
const QString kHistoryServer = QStringLiteral("HistoryServer");
const QString kHistoryHomePage = QStringLiteral("HistoryHomePage");
const QString kDateFormat = QStringLiteral("DateFormat");
const QString kQuoteServerKind = QStringLiteral("QuoteServerKind");
const QString kHistoryServerKind = QStringLiteral("HistoryServerKind");
const QString kQuoteUrlTemplate = QStringLiteral("QuoteUrlTemplate");
const QString kHistoryUrlTemplate = QStringLiteral("HistoryUrlTemplate");
const QString kClassicKind = QStringLiteral("classic");
const QString kTemplateKind = QStringLiteral("template");

QString Problem(const QString& group, const QString& name, const QString& text, const QString& defaultText)
{
    return QStringLiteral("The setting %1/%2 holds \"%3\", which is not a number; using %4 instead.")
        .arg(group, name, text, defaultText);
}

// Window coordinates beyond any desktop are brought back to its edge, so
// the placement's arithmetic (a left edge plus half a width) cannot overflow.
constexpr int kFarthestCoordinate = 1000000;

enum class OutOfRange { Quiet, Said };

// A number outside least to most is brought to the nearer bound; Said names
// the value read and the value used.
void ReadInt(QSettings& settings, const QString& group, const QString& name, int& value,
             QStringList* problems, int least = INT_MIN, int most = INT_MAX,
             OutOfRange outOfRange = OutOfRange::Quiet)
{
    const QVariant stored = settings.value(name);
    if (!stored.isValid())
        return;
    bool ok = false;
    const qlonglong read = stored.toLongLong(&ok);
    if (!ok) {
        if (problems)
            problems->append(Problem(group, name, stored.toString(), QString::number(value)));
        return;
    }
    value = static_cast<int>(std::clamp<qlonglong>(read, least, most));
    if (value != read && outOfRange == OutOfRange::Said && problems)
        problems->append(
            QStringLiteral("The setting %1/%2 holds %3, which is outside %4 to %5; using %6 instead.")
                .arg(group, name, QString::number(read), QString::number(least), QString::number(most),
                     QString::number(value)));
}

void ReadRate(QSettings& settings, const QString& name, const LocaleInfo& locale, float& rate,
              QStringList* problems)
{
    const QVariant stored = settings.value(name);
    if (!stored.isValid())
        return;
    const QString text = stored.toString();
    if (!ParseRateText(text, locale, rate) && problems) {
        // The user reads the rate as it was meant (0.005), not its stored form.
        QString meant = QString::number(static_cast<double>(rate), 'g', 6);
        meant.replace(QLatin1Char('.'), QLatin1Char(locale.decimalSeparator));
        problems->append(Problem(kRates, name, text, meant));
    }
}

// A server's kind: "classic" or "template", in any letter case.
void ReadKind(QSettings& settings, const QString& name, bool& byTemplate, QStringList* problems)
{
    const QVariant stored = settings.value(name);
    if (!stored.isValid())
        return;
    const QString text = stored.toString().trimmed();
    if (text.compare(kTemplateKind, Qt::CaseInsensitive) == 0
        || text.compare(kClassicKind, Qt::CaseInsensitive) == 0)
        byTemplate = text.compare(kTemplateKind, Qt::CaseInsensitive) == 0;
    else if (problems)
        problems->append(
            QStringLiteral("The setting %1/%2 holds \"%3\", which is neither %4 nor %5; using %6 instead.")
                .arg(kServers, name, text, kClassicKind, kTemplateKind,
                     byTemplate ? kTemplateKind : kClassicKind));
}

}  // namespace

QString RateText(float rate, const LocaleInfo& locale)
{
    QString text = QString::number(static_cast<double>(rate), 'g', 15);
    if (locale.decimalSeparator != '.')
        text.replace(QLatin1Char('.'), QLatin1Char(locale.decimalSeparator));
    return text;
}

bool ParseRateText(const QString& text, const LocaleInfo& locale, float& rate)
{
    // The locale may have changed since the value was written, so the
    // locale's separator, the point and the comma are all taken as the
    // decimal separator; rates are written without grouping, and a comma
    // read as a thousands separator would turn 0,125 into 125.
    QString plain = text.trimmed();
    plain.replace(QLatin1Char(locale.decimalSeparator), QLatin1Char('.'));
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(plain, &ok);
    if (!ok || !std::isfinite(static_cast<float>(value)))
        return false;
    rate = static_cast<float>(value);
    return true;
}

void AppSettings::Load(QSettings& settings, const LocaleInfo& locale, QStringList* problems)
{
    settings.beginGroup(kWinDims);
    ReadInt(settings, kWinDims, QStringLiteral("Left"), Left, problems, -kFarthestCoordinate,
            kFarthestCoordinate);
    ReadInt(settings, kWinDims, QStringLiteral("Top"), Top, problems, -kFarthestCoordinate,
            kFarthestCoordinate);
    ReadInt(settings, kWinDims, QStringLiteral("Width"), Width, problems, 0, kFarthestCoordinate);
    settings.endGroup();

    settings.beginGroup(kDirs);
    AsciiDataDir = settings.value(QStringLiteral("AsciiDataDir"), AsciiDataDir).toString();
    int type = SourceFileType;
    ReadInt(settings, kDirs, QStringLiteral("SourceFileType"), type, problems);
    SourceFileType = static_cast<std::uint8_t>(type & 0xFF);
    settings.endGroup();

    settings.beginGroup(kRates);
    ReadRate(settings, QStringLiteral("30DayRate"), locale, Rate30, problems);
    ReadRate(settings, QStringLiteral("60DayRate"), locale, Rate60, problems);
    ReadRate(settings, QStringLiteral("90DayRate"), locale, Rate90, problems);
    settings.endGroup();

    settings.beginGroup(kServers);
    QuoteServer = settings.value(kQuoteServer, QuoteServer).toString().trimmed();
    HistoryServer = settings.value(kHistoryServer, HistoryServer).toString().trimmed();
    HistoryHomePage = settings.value(kHistoryHomePage, HistoryHomePage).toString().trimmed();
    ReadKind(settings, kQuoteServerKind, QuoteByTemplate, problems);
    ReadKind(settings, kHistoryServerKind, HistoryByTemplate, problems);
    QuoteUrlTemplate = settings.value(kQuoteUrlTemplate, QuoteUrlTemplate).toString().trimmed();
    HistoryUrlTemplate = settings.value(kHistoryUrlTemplate, HistoryUrlTemplate).toString().trimmed();
    ReadInt(settings, kServers, QStringLiteral("RequestDeadline"), RequestDeadline, problems, 1, 3600,
            OutOfRange::Said);
    const QString dateFormat = settings.value(kDateFormat, DateFormat).toString().trimmed();
    if (IsDateFormat(dateFormat))
        DateFormat = dateFormat;
    else if (problems)
        problems->append(QStringLiteral("The setting %1/%2 holds \"%3\", which is no date format such as "
                                        "M/d/yyyy; using the system's instead.")
                             .arg(kServers, kDateFormat, dateFormat));
    settings.endGroup();
}

void AppSettings::SaveChanges(QSettings& settings, const LocaleInfo& locale, const AppSettings& before) const
{
    const auto put = [&settings](const QString& name, const QVariant& value, bool changed) {
        if (changed || !settings.contains(name))
            settings.setValue(name, value);
    };
    settings.beginGroup(kWinDims);
    put(QStringLiteral("Left"), Left, Left != before.Left);
    put(QStringLiteral("Top"), Top, Top != before.Top);
    put(QStringLiteral("Width"), Width, Width != before.Width);
    settings.endGroup();

    settings.beginGroup(kDirs);
    put(QStringLiteral("AsciiDataDir"), AsciiDataDir, AsciiDataDir != before.AsciiDataDir);
    put(QStringLiteral("SourceFileType"), static_cast<int>(SourceFileType),
        SourceFileType != before.SourceFileType);
    settings.endGroup();

    settings.beginGroup(kRates);
    put(QStringLiteral("30DayRate"), RateText(Rate30, locale), Rate30 != before.Rate30);
    put(QStringLiteral("60DayRate"), RateText(Rate60, locale), Rate60 != before.Rate60);
    put(QStringLiteral("90DayRate"), RateText(Rate90, locale), Rate90 != before.Rate90);
    settings.endGroup();

    // Unset servers are written empty where the file has none, so the user
    // finds where they go.
    settings.beginGroup(kServers);
    put(kQuoteServer, QuoteServer, QuoteServer != before.QuoteServer);
    put(kHistoryServer, HistoryServer, HistoryServer != before.HistoryServer);
    put(kHistoryHomePage, HistoryHomePage, HistoryHomePage != before.HistoryHomePage);
    put(kDateFormat, DateFormat, DateFormat != before.DateFormat);
    put(kQuoteServerKind, QuoteByTemplate ? kTemplateKind : kClassicKind,
        QuoteByTemplate != before.QuoteByTemplate);
    put(kHistoryServerKind, HistoryByTemplate ? kTemplateKind : kClassicKind,
        HistoryByTemplate != before.HistoryByTemplate);
    put(kQuoteUrlTemplate, QuoteUrlTemplate, QuoteUrlTemplate != before.QuoteUrlTemplate);
    put(kHistoryUrlTemplate, HistoryUrlTemplate, HistoryUrlTemplate != before.HistoryUrlTemplate);
    settings.endGroup();
}

bool IsDateFormat(const QString& dateFormat)
{
    if (dateFormat.isEmpty())
        return true;
    const std::string pattern = dateFormat.toStdString();
    return LocaleInfo::FromPattern(pattern).shortDateFormat == pattern;
}

LocaleInfo ProgramLocale(const LocaleInfo& system, const QString& dateFormat)
{
    if (dateFormat.isEmpty() || !IsDateFormat(dateFormat))
        return system;
    return LocaleInfo::FromPattern(dateFormat.toStdString(), system.decimalSeparator);
}

}  // namespace kestrava
