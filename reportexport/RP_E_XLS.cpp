#include "reportexport/RP_E_XLS.h"

#include "reportexport/mxNativeExcel.h"

#include "platform/rtl/Streams.h"

TrpXLSExportFilter::TrpXLSExportFilter(TStream* stream)
    : TrpTextExportFilter(stream), Sheet(std::make_unique<TmxNativeExcel>(nullptr))
{
    Sheet->OpenFile();
}

TrpXLSExportFilter::~TrpXLSExportFilter() = default;

void TrpXLSExportFilter::OnEndPage()
{
    const int lastLine = LastTextLine();
    for (int line = 0; line <= lastLine; ++line) {
        const int row = RowsWritten + line + 1;
        if (row > TmxNativeExcel::LastRow)
            break;
        int column = 1;
        // Pieces beyond the last column are dropped rather than spilling into the next row.
        for (TextLineItem* item = FirstItem(line); item && column <= TmxNativeExcel::LastColumn;
             item = static_cast<TextLineItem*>(item->Next), ++column)
            Sheet->WriteTextCell(row, column, item->Text);
    }
    if (lastLine >= 0)
        RowsWritten += lastLine + 1;
}

void TrpXLSExportFilter::OnEndDoc()
{
    Sheet->CloseFile();
    TMemoryStream* buffer = Sheet->Buffer();
    Stream->WriteBuffer(buffer->Memory(), static_cast<int>(buffer->Size()));
}

TrpExportFilterClass TrpXLSExportFilter::ClassEntry()
{
    return {"TrpXLSExportFilter", [](TStream* stream) { return new TrpXLSExportFilter(stream); }};
}
