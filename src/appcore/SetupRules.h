#pragma once
// The rules the setup dialog proposes its values by, without widgets: the
// usual expiry after a date, strikes around a last close, and the base of a
// price file's name that the download list and the dialog both take.

#include <QDate>
#include <QString>

namespace kestrava {

// The first Saturday from the 15th to the 22nd of a month on or after
// `from`: the usual expiry of listed options. Invalid for an invalid date.
QDate NextExpiryOnOrAfter(const QDate& from);

struct ProposedStrikes {
    double lowest;
    double increment;
    const char* lowestPicture;  // how the lowest strike is written
};

// Strikes around the last close: steps of 0.5 below 5, of 2.5 below 40,
// else of 5, the lowest a whole step at or below the close.
ProposedStrikes ProposeStrikes(float lastClose);

// The name without folder ("/" or "\", for files written elsewhere), cut
// before the first occurrence of its extension; empty when the name has no
// extension.
QString PriceFileBase(const QString& path);

}  // namespace kestrava
