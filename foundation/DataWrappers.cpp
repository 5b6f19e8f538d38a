#include "foundation/DataWrappers.h"

#include "foundation/DataModule.h"
#include "platform/db/DB.h"
#include "tablestore/zelMemTable.h"

TDataWrapper::TDataWrapper(TzelMemTable* tabella) : FTabella(tabella) {}

TStringList& TDataWrapper::Leggi()
{
    FCampi.BeginUpdate();
    FCampi.Clear();
    TFields& campi = FTabella->Fields();
    for (int i = 0; i < campi.Count(); ++i)
        FCampi.Add(campi[i]->FieldName() + FCampi.NameValueSeparator() + campi[i]->AsString());
    FCampi.EndUpdate();
    return FCampi;
}

bool TDataWrapper::Scrivi(TDataSet* dataSet)
{
    for (int i = 0; i < FCampi.Count(); ++i) {
        const std::string nome = FCampi.Names(i);
        if (nome.empty())
            continue;
        if (TField* campo = dataSet->FindField(nome))
            campo->SetAsString(FCampi.Values(nome));
    }
    return true;
}

bool TDataWrapper::AggiungiRecord(TDataSet* dataSet)
{
    dataSet->Append();
    try {
        Scrivi(dataSet);
        dataSet->Post();
    } catch (...) {
        // A half-filled record left in insert state would be posted by the next move.
        if (dataSet->State() == dsInsert)
            dataSet->Cancel();
        throw;
    }
    return true;
}

TDwCliente::TDwCliente() : TDataWrapper(DC->TabellaClienti)
{
    Leggi();
}
