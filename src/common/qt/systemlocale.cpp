#include "systemlocale.h"

#include <QLocale>
#include <QString>
#include <string>

namespace kestrava {

LocaleInfo SystemLocaleInfo()
{
    const QLocale locale = QLocale::system();
    const QString point = locale.decimalPoint();
    // A separator outside ASCII cannot stand in the single-byte files.
    const char decimalSeparator = point.size() == 1 && point.at(0).unicode() < 0x80
                                      ? static_cast<char>(point.at(0).unicode())
                                      : '.';
    const std::string pattern = locale.dateFormat(QLocale::ShortFormat).toStdString();
    LocaleInfo info = LocaleInfo::FromPattern(pattern, decimalSeparator);
    // The C locale's format spells the month out: take ISO dates and the
    // decimal point.
    if (info.shortDateFormat != pattern)
        return LocaleInfo();
    return info;
}

}  // namespace kestrava
