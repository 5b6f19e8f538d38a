#include "foundation/SupportFormDB.h"

#include "platform/db/DB.h"
#include "tablestore/zelMemTable.h"

#include <functional>

namespace {

// Runs leggi on every record from the first, then goes back to the record the data set was on.
void PerOgniRecord(TDataSet* dataSet, const std::function<void()>& leggi)
{
    const TBookmark segno = dataSet->GetBookmark();
    try {
        dataSet->First();
        while (!dataSet->Eof()) {
            leggi();
            dataSet->Next();
        }
    } catch (...) {
        if (!segno.empty() && dataSet->BookmarkValid(segno))
            dataSet->GotoBookmark(segno);
        throw;
    }
    if (!segno.empty() && dataSet->BookmarkValid(segno))
        dataSet->GotoBookmark(segno);
}

} // namespace

std::unique_ptr<TStringList> NomiCampi(TzelMemTable* tabella)
{
    auto nomi = std::make_unique<TStringList>();
    TFieldDefs& definizioni = tabella->FieldDefs();
    for (int i = 0; i < definizioni.Count(); ++i)
        nomi->Add(definizioni.Items(i)->Name());
    return nomi;
}

std::unique_ptr<TStringList> ValoriCampo(TDataSet* dataSet, const std::string& campo)
{
    auto valori = std::make_unique<TStringList>();
    TField* field = dataSet->FieldByName(campo);
    PerOgniRecord(dataSet, [&] { valori->Add(field->AsString()); });
    return valori;
}

std::unique_ptr<TStringList> ElencoChiaveDescrizione(TzelMemTable* tabella,
                                                     const std::string& campoChiave,
                                                     const std::string& campoDescrizione)
{
    return ElencoChiaveDescrizioneConSeparatore(tabella, campoChiave, campoDescrizione, " - ");
}

std::unique_ptr<TStringList> ElencoChiaveDescrizioneConSeparatore(
    TDataSet* dataSet, const std::string& campoChiave, const std::string& campoDescrizione,
    const std::string& separatore)
{
    auto righe = std::make_unique<TStringList>();
    TField* chiave = dataSet->FieldByName(campoChiave);
    TField* descrizione = dataSet->FieldByName(campoDescrizione);
    PerOgniRecord(dataSet,
                  [&] { righe->Add(chiave->AsString() + separatore + descrizione->AsString()); });
    return righe;
}
