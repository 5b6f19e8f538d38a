#include "foundation/Supporto.h"

#include "foundation/Configurazione.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportFiles.h"
#include "platform/rtl/Formats.h"
#include "tablestore/zelMemTable.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

// Fixed settings, so that a change of the process-wide separators between the two conversions
// cannot misread the text.
const TFormatSettings& ImpostazioniArrotondamento()
{
    static const TFormatSettings impostazioni = DefaultFormatSettings();
    return impostazioni;
}

// The range of decimals the float-to-text conversion takes.
constexpr int MassimoDecimali = 18;

} // namespace

void ImpostaValore(TStrings& elenco, const std::string& nome, const std::string& valore)
{
    const std::string riga = nome + elenco.NameValueSeparator() + valore;
    const int indice = elenco.IndexOfName(nome);
    if (indice >= 0)
        elenco.SetStrings(indice, riga);
    else
        elenco.Add(riga);
}

double Arrotonda(double numero, int decimali)
{
    if (!std::isfinite(numero))
        return numero;
    decimali = decimali < 0 ? 0 : (decimali > MassimoDecimali ? MassimoDecimali : decimali);
    const TFormatSettings& impostazioni = ImpostazioniArrotondamento();
    const std::string testo = FloatToStrF(numero, ffFixed, 15, decimali, impostazioni);
    double risultato = 0;
    if (!TextToFloat(testo, risultato, impostazioni))
        return numero;
    // Adding zero turns a -0 into +0.
    return risultato + 0.0;
}

// --- Record copies on memory tables ---------------------------------------------------------

bool CopiaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione, bool accoda)
{
    return CopiaRecordPerNome(sorgente, destinazione, accoda);
}

bool AccodaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione)
{
    return CopiaRecordPerNome(sorgente, destinazione, true);
}

namespace {

// The destination's fields that the source also defines, each with its source field.
std::vector<std::pair<TField*, TField*>> CampiComuni(TDataSet* sorgente, TzelMemTable* destinazione)
{
    std::vector<std::pair<TField*, TField*>> coppie;
    TFieldDefs& definizioni = destinazione->FieldDefs();
    for (int i = 0; i < definizioni.Count(); ++i) {
        const std::string& nome = definizioni.Items(i)->Name();
        if (sorgente->FieldDefs().IndexOf(nome) < 0)
            continue;
        TField* arrivo = destinazione->FindField(nome);
        TField* origine = sorgente->FindField(nome);
        if (arrivo != nullptr && origine != nullptr)
            coppie.emplace_back(arrivo, origine);
    }
    return coppie;
}

} // namespace

bool CopyRecordByFieldName(TDataSet* sorgente, TzelMemTable* destinazione)
{
    const TBookmark segno = sorgente->GetBookmark();
    auto tornaAlSegno = [&] {
        if (!segno.empty() && sorgente->BookmarkValid(segno))
            sorgente->GotoBookmark(segno);
    };
    try {
        destinazione->EmptyTable();
        sorgente->First();
        destinazione->First();
        const auto coppie = CampiComuni(sorgente, destinazione);
        while (!sorgente->Eof()) {
            destinazione->Append();
            for (const auto& [arrivo, origine] : coppie)
                arrivo->SetAsString(origine->AsString());
            destinazione->Post();
            sorgente->Next();
        }
        if (destinazione->RecordCount() == 0) {
            destinazione->Append();
            destinazione->Post();
        }
    } catch (const std::exception& e) {
        if (destinazione->State() == dsInsert || destinazione->State() == dsEdit)
            destinazione->Cancel();
        MOSTRA_ERRORE(e.what(), e, 1);
        tornaAlSegno();
        return false;
    }
    tornaAlSegno();
    return true;
}

bool ScriviPercorsoInstallazione()
{
    try {
        return ScriviImpostazione("Ventisca,Tessellarium,Install", "InstallationPath",
                                  CartellaApplicazione());
    } catch (const std::exception& e) {
        MOSTRA_ERRORE(e.what(), e, 1);
        return false;
    }
}

bool ScriviPercorsoInstallazione(const std::string& /*ignorato*/)
{
    return ScriviPercorsoInstallazione();
}
