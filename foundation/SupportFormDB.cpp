#include "foundation/SupportFormDB.h"

#include "controls/CurrEdit.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportErrors.h"
#include "platform/db/DB.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Memo.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
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

std::unique_ptr<TStringList> ColonneGriglia(TCustomDBGrid* griglia)
{
    auto colonne = std::make_unique<TStringList>();
    TDBGridColumns* elenco = griglia->Columns();
    for (int i = 0; i < elenco->Count(); ++i) {
        TColumn* colonna = elenco->Items(i);
        colonne->AddObject(colonna->Title()->Caption(), colonna->Field());
    }
    return colonne;
}

// ---------------------------------------------------------------------------------------------
// Binding by name

namespace {

enum class TPrefisso { Nessuno, Testo, Chiave, Indice, Booleano };

TPrefisso PrefissoDi(const std::string& nome)
{
    auto iniziaCon = [&nome](const char* prefisso) { return nome.rfind(prefisso, 0) == 0; };
    if (iniziaCon("EditS_"))
        return TPrefisso::Testo;
    if (iniziaCon("EditKS_"))
        return TPrefisso::Chiave;
    if (iniziaCon("EditI_"))
        return TPrefisso::Indice;
    if (iniziaCon("EditB_"))
        return TPrefisso::Booleano;
    return TPrefisso::Nessuno;
}

// The name after the first underscore; "" without one.
std::string NomeCampoDi(const std::string& nome)
{
    const std::size_t trattino = nome.find('_');
    return trattino == std::string::npos ? std::string() : nome.substr(trattino + 1);
}

// The field definition a bound component names, or nullptr.
TFieldDef* DefinizioneLegata(TDataSet* dati, TComponent* componente)
{
    if (!ControlloAssociabile(componente) || PrefissoDi(componente->Name()) == TPrefisso::Nessuno)
        return nullptr;
    const std::string campo = NomeCampoDi(componente->Name());
    if (campo.empty())
        return nullptr;
    const int indice = dati->FieldDefs().IndexOf(campo);
    return indice < 0 ? nullptr : dati->FieldDefs().Items(indice);
}

std::string TestoDaControllo(TComponent* componente)
{
    if (componente->InheritsFrom("TCustomMemo"))
        return static_cast<TCustomMemo*>(componente)->Lines()->Text();
    if (componente->InheritsFrom("TComboBox"))
        return static_cast<TComboBox*>(componente)->Text();
    if (componente->InheritsFrom("TCustomEdit")) {
        const std::string testo = static_cast<TCustomEdit*>(componente)->Text();
        if (componente->ClassName() == "TDateEdit" && Trim(testo) == "/  /")
            return "";
        return testo;
    }
    return "";
}

void MemorizzaControllo(TComponent* componente, TField* campo, TPrefisso prefisso,
                        const std::string& separatore)
{
    switch (prefisso) {
    case TPrefisso::Testo:
    case TPrefisso::Chiave: {
        std::string valore = TestoDaControllo(componente);
        if (prefisso == TPrefisso::Chiave) {
            const std::size_t posizione = valore.find(separatore);
            valore = posizione == std::string::npos ? std::string() : valore.substr(0, posizione);
        }
        campo->SetAsString(Trim(valore));
        break;
    }
    case TPrefisso::Indice:
        if (componente->InheritsFrom("TCustomComboBox"))
            campo->SetAsInteger(static_cast<TCustomComboBox*>(componente)->ItemIndex());
        break;
    case TPrefisso::Booleano:
        if (componente->InheritsFrom("TCustomCheckBox"))
            campo->SetAsBoolean(static_cast<TCustomCheckBox*>(componente)->Checked());
        break;
    case TPrefisso::Nessuno:
        break;
    }
}

int PrimoElementoCheIniziaCon(TStrings* elementi, const std::string& inizio)
{
    if (inizio.empty())
        return -1;
    for (int i = 0; i < elementi->Count(); ++i)
        if (elementi->Strings(i).rfind(inizio, 0) == 0)
            return i;
    return -1;
}

void MostraTesto(TComponent* componente, TPrefisso prefisso, const std::string& testo)
{
    if (componente->InheritsFrom("TCustomMemo")) {
        static_cast<TCustomMemo*>(componente)->Lines()->SetText(testo);
    } else if (componente->InheritsFrom("TExCalcEdit")) {
        double valore = 0;
        if (!testo.empty() && !TryStrToFloat(testo, valore))
            valore = 0;
        static_cast<TExCalcEdit*>(componente)->SetValue(valore);
    } else if (componente->InheritsFrom("TCustomEdit")) {
        static_cast<TCustomEdit*>(componente)->SetText(testo);
    } else if (componente->InheritsFrom("TComboBox")) {
        auto* combo = static_cast<TComboBox*>(componente);
        if (prefisso == TPrefisso::Chiave) {
            combo->SetItemIndex(PrimoElementoCheIniziaCon(combo->Items(), testo));
        } else {
            combo->SetText(testo);
            const int indice = combo->Items()->IndexOf(testo);
            if (indice >= 0)
                combo->SetItemIndex(indice);
        }
    }
}

bool TipoInteroCorto(TFieldType tipo)
{
    return tipo == ftSmallint || tipo == ftInteger;
}

} // namespace

bool ControlloAssociabile(TComponent* componente)
{
    static const char* const classi[] = {"TEdit",       "TExCalcEdit",    "TFileNameEdit",
                                         "TDirectoryEdit", "TDateEdit",   "TCurrencyEdit",
                                         "TMaskEdit",   "TExSpinEdit",    "TComboBox",
                                         "TMemo",       "TCheckBox"};
    if (!componente)
        return false;
    // The file-name editor's class is spelt TFilenameEdit: the names compare as the class
    // library's ClassNameIs does, without regard to case.
    const std::string classe = componente->ClassName();
    for (const char* nome : classi)
        if (SameText(classe, nome))
            return true;
    return false;
}

std::string RecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label)
{
    return RecordDaControlliConSeparatore(dati, finestra, label, SeparatoreChiave);
}

std::string RecordDaControlliConSeparatore(TDataSet* dati, TComponent* finestra, TLabel* label,
                                           const std::string& separatore)
{
    for (int i = 0; i < finestra->ComponentCount(); ++i) {
        TComponent* componente = finestra->Components(i);
        TFieldDef* definizione = DefinizioneLegata(dati, componente);
        if (!definizione)
            continue;
        try {
            MemorizzaControllo(componente, dati->FieldByName(definizione->Name()),
                               PrefissoDi(componente->Name()), separatore);
        } catch (...) {
            if (componente->InheritsFrom("TWinControl"))
                FocalizzaControllo(static_cast<TWinControl*>(componente));
            SegnalaFormatoErrato(label);
            return definizione->Name();
        }
    }
    return "";
}

void ControlliDaRecord(TDataSet* dati, TComponent* finestra)
{
    ControlliDaRecordConSeparatore(dati, finestra, SeparatoreChiave);
}

void ControlliDaRecordConSeparatore(TDataSet* dati, TComponent* finestra,
                                    const std::string& separatore)
{
    for (int i = 0; i < finestra->ComponentCount(); ++i)
        ControlloDaRecord(dati, finestra->Components(i), separatore);
}

void ControlloDaRecord(TDataSet* dati, TComponent* componente, const std::string& /*separatore*/)
{
    TFieldDef* definizione = DefinizioneLegata(dati, componente);
    if (!definizione)
        return;
    TField* campo = dati->FindField(definizione->Name());
    const std::string testo = campo ? campo->AsString() : std::string();
    switch (PrefissoDi(componente->Name())) {
    case TPrefisso::Testo:
    case TPrefisso::Chiave:
        MostraTesto(componente, PrefissoDi(componente->Name()), testo);
        break;
    case TPrefisso::Indice:
        if (componente->InheritsFrom("TCustomComboBox")) {
            auto* combo = static_cast<TCustomComboBox*>(componente);
            int indice = -1;
            if (TipoInteroCorto(definizione->DataType())) {
                try {
                    indice = campo ? campo->AsInteger() : -1;
                } catch (...) {
                    indice = -1;
                }
            } else {
                indice = combo->Items()->IndexOf(testo);
            }
            combo->SetItemIndex(indice);
        }
        break;
    case TPrefisso::Booleano:
        if (componente->InheritsFrom("TCustomCheckBox") && campo) {
            bool spuntato = false;
            try {
                spuntato = campo->AsBoolean();
            } catch (...) {
                spuntato = false;
            }
            static_cast<TCustomCheckBox*>(componente)->SetChecked(spuntato);
        }
        break;
    case TPrefisso::Nessuno:
        break;
    }
}

void ImpostaLunghezzeMassime(TDataSet* dati, TComponent* finestra)
{
    for (int i = 0; i < finestra->ComponentCount(); ++i) {
        TComponent* componente = finestra->Components(i);
        if (PrefissoDi(componente->Name()) != TPrefisso::Testo)
            continue;
        TFieldDef* definizione = DefinizioneLegata(dati, componente);
        if (!definizione || definizione->DataType() != ftString)
            continue;
        if (componente->InheritsFrom("TMemo") || componente->InheritsFrom("TEdit"))
            static_cast<TCustomEdit*>(componente)->SetMaxLength(definizione->Size());
        else if (componente->InheritsFrom("TComboBox"))
            static_cast<TComboBox*>(componente)->SetMaxLength(definizione->Size());
    }
}

bool SalvaRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label)
{
    if (!RecordDaControlli(dati, finestra, label).empty()) {
        dati->Cancel();
        return false;
    }
    try {
        dati->Post();
    } catch (...) {
        // The window must never be left in front of a data set still being edited.
        dati->Cancel();
        throw;
    }
    return true;
}

bool AggiungiRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label)
{
    dati->Append();
    return SalvaRecordDaControlli(dati, finestra, label);
}

bool ModificaRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label)
{
    dati->Edit();
    return SalvaRecordDaControlli(dati, finestra, label);
}

bool ScriviRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label,
                             const std::string& campoChiave, const std::string& valoreChiave)
{
    if (LocalizzaRecord(dati, campoChiave, valoreChiave))
        dati->Edit();
    else
        dati->Append();
    return SalvaRecordDaControlli(dati, finestra, label);
}
