#include "appcore/SetupRules.h"

#include <algorithm>
#include <cmath>

namespace kestrava {

QDate NextExpiryOnOrAfter(const QDate& from)
{
    if (!from.isValid())
        return {};
    QDate date = from;
    while (date.dayOfWeek() != Qt::Saturday || date.day() < 15 || date.day() > 22)
        date = date.addDays(1);
    return date;
}

ProposedStrikes ProposeStrikes(float lastClose)
{
    const double whole = std::trunc(static_cast<double>(lastClose));
    if (lastClose < 5.0f)
        return {std::trunc(lastClose * 10.0f) / 10.0f, 0.5, "0.###0"};
    if (lastClose > 5.0f && lastClose < 40.0f)
        return {whole - std::fmod(whole, 5.0), 2.5, "#0.#0"};
    return {whole - std::fmod(whole, 5.0), 5.0, "#####"};
}

QString PriceFileBase(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    return name.left(name.indexOf(name.mid(dot)));
}

}  // namespace kestrava
