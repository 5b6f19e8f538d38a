#include "foundation/SupportDB.h"

#include "tablestore/zelMemTable.h"

#include <algorithm>

namespace {

void AccodaOModifica(TDataSet* destinazione, bool accoda)
{
    if (accoda)
        destinazione->Append();
    else
        destinazione->Edit();
}

} // namespace

bool CopiaCampiPerNome(TDataSet* sorgente, TDataSet* destinazione)
{
    TFieldDefs& definizioni = sorgente->FieldDefs();
    TFields& campi = destinazione->Fields();
    for (int i = 0; i < campi.Count(); ++i) {
        TField* campo = campi[i];
        if (definizioni.IndexOf(campo->FieldName()) >= 0)
            campo->SetAsString(sorgente->FieldByName(campo->FieldName())->AsString());
    }
    return true;
}

bool CopiaRecordPerNome(TDataSet* sorgente, TDataSet* destinazione, bool accoda)
{
    AccodaOModifica(destinazione, accoda);
    CopiaCampiPerNome(sorgente, destinazione);
    destinazione->Post();
    return true;
}

bool AccodaRecordPerNome(TDataSet* sorgente, TDataSet* destinazione)
{
    return CopiaRecordPerNome(sorgente, destinazione, true);
}

bool CopiaCampiStessaStruttura(TDataSet* sorgente, TDataSet* destinazione)
{
    TFields& origine = sorgente->Fields();
    TFields& arrivo = destinazione->Fields();
    if (origine.Count() != arrivo.Count())
        return false;
    for (int i = 0; i < origine.Count(); ++i) {
        if (origine[i]->FieldName() != arrivo[i]->FieldName())
            return false;
        arrivo[i]->SetAsVariant(origine[i]->AsVariant());
    }
    return true;
}

bool CopiaRecordStessaStruttura(TDataSet* sorgente, TDataSet* destinazione, bool accoda)
{
    AccodaOModifica(destinazione, accoda);
    bool copiato = false;
    try {
        copiato = CopiaCampiStessaStruttura(sorgente, destinazione);
    } catch (...) {
        destinazione->Cancel();
        throw;
    }
    if (copiato)
        destinazione->Post();
    else
        destinazione->Cancel();
    return copiato;
}

bool AccodaRecordStessaStruttura(TDataSet* sorgente, TDataSet* destinazione)
{
    return CopiaRecordStessaStruttura(sorgente, destinazione, true);
}

int AccodaTuttiIRecord(TDataSet* sorgente, TDataSet* destinazione, bool /*svuota*/)
{
    const TBookmark segno = sorgente->GetBookmark();
    int copiati = 0;
    sorgente->First();
    while (!sorgente->Eof()) {
        destinazione->Append();
        CopiaCampiPerNome(sorgente, destinazione);
        destinazione->Post();
        sorgente->Next();
        ++copiati;
    }
    if (!segno.empty() && sorgente->BookmarkValid(segno))
        sorgente->GotoBookmark(segno);
    return copiati;
}

Variant RecordComeVariant(TzelMemTable* tabella)
{
    TFields& campi = tabella->Fields();
    std::vector<Variant> valori;
    valori.reserve(campi.Count());
    for (int i = 0; i < campi.Count(); ++i)
        valori.push_back(campi[i]->IsNull() ? Null() : campi[i]->AsVariant());
    return VarArrayOf(valori);
}

bool LocalizzaRecord(TDataSet* dataSet, const std::string& campo, const std::string& valore)
{
    return dataSet->Locate(campo, Variant(valore), TLocateOptions());
}

bool LocalizzaRecordParziale(TDataSet* dataSet, const std::string& campo,
                             const std::string& valore)
{
    return dataSet->Locate(campo, Variant(valore), TLocateOptions{loCaseInsensitive, loPartialKey});
}

bool LocalizzaRecordMultiplo(TzelMemTable* tabella, const std::string& campi,
                             const std::vector<Variant>& valori, int numeroValori)
{
    const size_t quanti = std::min(valori.size(), static_cast<size_t>(std::max(numeroValori, 0)));
    const std::vector<Variant> chiave(valori.begin(), valori.begin() + quanti);
    return tabella->Locate(campi, VarArrayOf(chiave), TLocateOptions());
}

bool EsisteCampo(TDataSet* dataSet, const std::string& campo)
{
    return dataSet->FieldDefs().IndexOf(campo) >= 0;
}

TFieldType TipoCampo(TDataSet* dataSet, const std::string& campo)
{
    return dataSet->FieldDefs().Find(campo)->DataType();
}

bool CampoIntero(TDataSet* dataSet, const std::string& campo)
{
    if (!EsisteCampo(dataSet, campo))
        return false;
    const TFieldType tipo = TipoCampo(dataSet, campo);
    return tipo == ftSmallint || tipo == ftInteger;
}

std::string ValoreCampoTesto(TDataSet* dataSet, const std::string& campo)
{
    if (!EsisteCampo(dataSet, campo))
        return {};
    return dataSet->FieldByName(campo)->AsString();
}

int ValoreCampoIntero(TDataSet* dataSet, const std::string& campo)
{
    if (!EsisteCampo(dataSet, campo))
        return -1;
    try {
        return dataSet->FieldByName(campo)->AsInteger();
    } catch (...) {
        return -1;
    }
}
