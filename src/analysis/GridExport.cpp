#include "analysis/GridExport.h"

#include <algorithm>
#include <vector>

#include "analysis/AnalysisError.h"
#include "common/filereplace.h"
#include "common/numtext.h"
#include "pricing/GridColumns.h"

namespace kestrava {

namespace {

// The exported columns in their CSV order.
const std::vector<const GridColumn*>& CsvColumns()
{
    static const std::vector<const GridColumn*> columns = [] {
        std::vector<const GridColumn*> found;
        for (const GridColumn& column : kGridColumnTable)
            if (column.csvName)
                found.push_back(&column);
        std::sort(found.begin(), found.end(),
                  [](const GridColumn* a, const GridColumn* b) { return a->csvPlace < b->csvPlace; });
        return found;
    }();
    return columns;
}

const std::string& CsvHeader()
{
    static const std::string header = [] {
        std::string line = "expiry,strike,side";
        for (const GridColumn* column : CsvColumns())
            line.append(",").append(column->csvName);
        return line;
    }();
    return header;
}

}  // namespace

const char* const kGridCsvHeader = CsvHeader().c_str();

std::string GridCsvRow(const TInOutObj& p, int s, int k)
{
    std::string line = IsoDate(p.ExpiryDate);
    line.append(",").append(FormatShortestSingle(p.Strike(s, k))).append(k == 1 ? ",C" : ",P");
    for (const GridColumn* column : CsvColumns())
        line.append(",").append(FormatShortestSingle((p.*column->value)(s, k)));
    return line;
}

std::string GridCsv(std::span<const TInOutObj* const> expiries)
{
    std::string text = CsvHeader() + "\n";
    for (const TInOutObj* p : expiries) {
        for (int k = 1; k <= 2; ++k)
            for (int s = 1; s <= p->NumStrikes; ++s)
                text.append(GridCsvRow(*p, s, k)).append("\n");
    }
    return text;
}

void WriteGridCsvFile(const std::string& fileName, std::span<const TInOutObj* const> expiries)
{
    try {
        ReplaceFileContents(fileName, GridCsv(expiries));
    } catch (const FileReplaceError& error) {
        throw AnalysisFileError("Cannot export the grid to \"" + fileName + "\". " + error.what());
    }
}

}  // namespace kestrava
