#include "common/qt/seriestext.h"

#include <string_view>

#include "common/codepage.h"
#include "common/filesymbol.h"

namespace kestrava {

QString FromSeriesText(const std::string& text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string ToSeriesText(const QString& text)
{
    return Utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<std::size_t>(text.size())));
}

QString SymbolQuoteFile(const std::string& symbol, const QString& folder)
{
    const QString upper = FromSeriesText(symbol).toUpper();
    if (!IsUsableAsFileName(upper.toStdString()))
        return {};
    return folder + QLatin1Char('/') + upper + QStringLiteral(".txt");
}

}  // namespace kestrava
