#pragma once
// A snapshot of one table record as FieldName=value lines, which can be written into a record of
// another table with fields of the same names.

#include "platform/rtl/Lists.h"

class TDataSet;
class TzelMemTable;

class TDataWrapper : public TObject {
    TESS_CLASS(TDataWrapper, TObject)
public:
    // The table is not owned.
    explicit TDataWrapper(TzelMemTable* tabella);

    // Refills the lines from the table's current record, one per field in field order.
    TStringList& Leggi();
    // Sets each field of the data set named by a line (letter case ignored) from the first line
    // of that name; lines without such a field are skipped. The data set must be editing.
    bool Scrivi(TDataSet* dataSet);
    // Appends a record, writes the lines into it and posts it. When a value cannot be converted
    // the record is cancelled and the error reaches the caller.
    bool AggiungiRecord(TDataSet* dataSet);

protected:
    TzelMemTable* FTabella;
    TStringList FCampi;
};

// A snapshot of the customer row current in DC->TabellaClienti when it is constructed.
class TDwCliente : public TDataWrapper {
    TESS_CLASS(TDwCliente, TDataWrapper)
public:
    TDwCliente();
};
