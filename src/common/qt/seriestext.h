#pragma once
// Series texts (the symbol, the contract root, the price file's path) are
// held in the series file's single-byte code page; the windows show and
// take them as QString.

#include <QString>

#include <string>

namespace kestrava {

QString FromSeriesText(const std::string& text);
std::string ToSeriesText(const QString& text);

// The quote file of a series symbol, as downloads store it: the folder's
// upper-case symbol + ".txt"; empty when the symbol cannot be a file name.
QString SymbolQuoteFile(const std::string& symbol, const QString& folder);

}  // namespace kestrava
