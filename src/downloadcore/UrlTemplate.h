#pragma once
// A URL template: where a download source that answers today is asked for
// one symbol, written as the address a browser would fetch, with
// placeholders the download fills in: {SYMBOL} (the symbol, percent-encoded
// as a query value), {FROM} and {TO} (the first and last day of the two
// years of history, year-month-day). For instance
//   https://example.com/api/quotes/{SYMBOL}.json
//   https://example.com/history?symbol={SYMBOL}&from={FROM}&to={TO}

#include <string>

#include "common/dates.h"
#include "downloadcore/Downloads.h"

namespace kestrava {

// A template taken apart, as a ServerAddress: ok with base the template and
// authority its host[:port], or the problem. A template is refused when it is
// empty, holds a control character or a blank, does not begin with http://
// or https:// followed by a host, holds a brace that is no placeholder, a
// placeholder other than {SYMBOL}, {FROM} and {TO}, one in its host, or no
// {SYMBOL}. `where` names it in the messages ("the setting
// Servers/QuoteUrlTemplate", "the option --quote-url"); settingsFile is named
// when no template is set.
ServerAddress ParseUrlTemplate(const std::string& text, const std::string& where,
                               const std::string& settingsFile = {});

// A symbol as a query value: letters, digits and "-._~" stay, every other
// byte is written %XX ("BRK B" is "BRK%20B", "^SPX" is "%5ESPX").
std::string EncodedQueryValue(const std::string& symbol);

// The URL of a parsed template for symbol, its history running from `from`
// to `to`.
std::string ExpandUrlTemplate(const std::string& text, const std::string& symbol, TDateTime from,
                              TDateTime to);

}  // namespace kestrava
