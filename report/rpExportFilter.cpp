#include "report/rpExportFilter.h"

TrpExportFilter::TrpExportFilter(TStream* stream) : Stream(stream), Lines(std::make_unique<TList>()) {}

TrpExportFilter::~TrpExportFilter() { ClearLines(); }

void TrpExportFilter::OnData(int, int, TrpView*) {}

void TrpExportFilter::OnText(int, int, const std::string&, TrpView*) {}

void TrpExportFilter::ClearLines()
{
    for (int i = 0; i < Lines->Count(); ++i) {
        auto* item = static_cast<TrpExportLine*>(Lines->Items(i));
        while (item) {
            TrpExportLine* next = item->Next;
            delete item;
            item = next;
        }
    }
    Lines->Clear();
}

TrpExportFilterClass TrpExportFilter::ClassEntry()
{
    return {"TrpExportFilter", [](TStream* stream) { return new TrpExportFilter(stream); }};
}
