#include "reportexport/RP_E_CSV.h"

namespace {

constexpr int CsvColumnWidth = 64;

// A field holding the separator, a quote or a line break is quoted, its quotes doubled; any
// other field is written as it is.
std::string CsvField(const std::string& field)
{
    if (field.find_first_of(";\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace

void TrpCSVExportFilter::OnEndPage()
{
    const int lastLine = LastTextLine();
    std::string page;
    for (int line = 0; line <= lastLine; ++line) {
        std::string record;
        std::string field;
        std::int64_t previousColumn = 0;
        // Pieces of one column make one field, joined without separator.
        for (TextLineItem* item = FirstItem(line); item; item = static_cast<TextLineItem*>(item->Next)) {
            const std::int64_t column = LimitColumn(item->X / CsvColumnWidth);
            if (column > previousColumn) {
                record += CsvField(field);
                field.clear();
                record.append(static_cast<std::size_t>(column - previousColumn), ';');
            }
            field += item->Text;
            previousColumn = column;
        }
        record += CsvField(field);
        page += record;
        page += "\r\n";
    }
    WriteText(page);
}

TrpExportFilterClass TrpCSVExportFilter::ClassEntry()
{
    return {"TrpCSVExportFilter", [](TStream* stream) { return new TrpCSVExportFilter(stream); }};
}
