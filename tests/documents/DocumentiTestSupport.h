#pragma once
// Shared by the document tests: a program folder and a data folder, the data module created on
// them as the program entry does, scripted message boxes, and builders of documents.

#include "documents/CaricaFattura.h"
#include "foundation/Configurazione.h"
#include "foundation/ContabilitaTools.h"
#include "foundation/DataModule.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportFiles.h"
#include "platform/db/DB.h"
#include "platform/os/MessageBox.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

struct TBoxRegistrato {
    std::string Testo;
    std::string Titolo;
    UINT Tipo;
};

class TCartellaProva {
public:
    TCartellaProva()
    {
        std::string modello = (fs::temp_directory_path() / "d17-XXXXXX").string();
        FPercorso = mkdtemp(modello.data());
    }
    ~TCartellaProva()
    {
        std::error_code ignorato;
        fs::remove_all(FPercorso, ignorato);
    }
    TCartellaProva(const TCartellaProva&) = delete;
    TCartellaProva& operator=(const TCartellaProva&) = delete;
    const std::string& Percorso() const { return FPercorso; }

private:
    std::string FPercorso;
};

using TValori = std::vector<std::pair<std::string, Variant>>;

inline void ImpostaCampi(TDataSet& tabella, const TValori& valori)
{
    for (const auto& [nome, valore] : valori)
        tabella.FieldByName(nome)->SetAsVariant(valore);
}

inline void AggiungiRecord(TDataSet& tabella, const TValori& valori)
{
    tabella.Append();
    ImpostaCampi(tabella, valori);
    tabella.Post();
}

inline std::string LeggiFile(const std::string& percorso)
{
    std::ifstream file(percorso, std::ios::binary);
    std::ostringstream contenuto;
    contenuto << file.rdbuf();
    return contenuto.str();
}

inline void ScriviFile(const std::string& percorso, const std::string& contenuto)
{
    std::ofstream(percorso, std::ios::binary) << contenuto;
}

// The output of a shell command.
inline std::string Comando(const std::string& comando)
{
    std::string uscita;
    FILE* tubo = popen(comando.c_str(), "r");
    if (tubo == nullptr)
        return uscita;
    char buffer[4096];
    size_t letti;
    while ((letti = fread(buffer, 1, sizeof buffer, tubo)) > 0)
        uscita.append(buffer, letti);
    pclose(tubo);
    return uscita;
}

// The names of the entries of a folder, sorted.
inline std::vector<std::string> Elenco(const std::string& cartella)
{
    std::vector<std::string> nomi;
    std::error_code errore;
    for (const auto& voce : fs::directory_iterator(cartella, errore))
        nomi.push_back(voce.path().filename().string());
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

class DocumentiFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        ImpostaCartellaApplicazione(Programma.Percorso() + "/");
        SetRegistryFile(Programma.Percorso() + "/registry.reg");
        InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
        ASSERT_TRUE(ScriviImpostazione("Ventisca,Tessellarium,Versioning", "Database", "3.0.18"));
        ASSERT_TRUE(
            ScriviImpostazione("Ventisca,Tessellarium,Percorsi", "SharedPath", Dati.Percorso() + "/"));
        FPrecedente = SetMessageBoxHandler(
            [this](HWND, const std::string& testo, const std::string& titolo, UINT tipo) {
                Box.push_back({testo, titolo, tipo});
                return IDOK;
            });
        Modulo = std::make_unique<TDC>(nullptr, std::vector<std::string>{"TESSELLARIUM_USBPEN:Chiavetta"});
        Modulo->DCCreate(Modulo.get());
        TFormExceptMessage::AzzeraRapporti();
        ImpostaDecimali(2);
        TArchivioDocumenti& archivio = ArchivioDocumenti();
        archivio.TipoDocumentoCorrente.clear();
        archivio.AnnoCorrente.clear();
        archivio.OnMostraDocumento = nullptr;
        archivio.OnMostraDocumentoVuoto = nullptr;
        ResetClock();
    }
    void TearDown() override
    {
        ArchivioDocumenti().OnMostraDocumento = nullptr;
        ArchivioDocumenti().OnMostraDocumentoVuoto = nullptr;
        Modulo.reset();
        SetMessageBoxHandler(FPrecedente);
        SetRegistryFile("");
        ImpostaCartellaApplicazione("");
        ResetClock();
    }

    TzelMemTable& Testata() { return *DC->TabellaClienteInFattura; }
    TzelMemTable& Righe() { return *DC->TabellaArticoliInFattura; }
    TzelMemTable& Registro() { return *DC->TabellaFatture; }

    // The data folder path of a relative name.
    std::string NeiDati(const std::string& relativo) const { return Dati.Percorso() + "/" + relativo; }
    std::string NelProgramma(const std::string& relativo) const
    {
        return Programma.Percorso() + "/" + relativo;
    }

    // A header with the given values in place of the current document.
    void NuovaTestata(const TValori& valori)
    {
        Testata().EmptyTable();
        AggiungiRecord(Testata(), valori);
    }

    // The document whose amounts the tests compute by hand.
    void DocumentoVettore(const std::string& tipologia = "FT", bool inCorpo = true)
    {
        NuovaTestata({{"Denominazione", Variant("Rossi Srl")},
                      {"Tipologia", Variant(tipologia)},
                      {"Aliquota", Variant(4.0)},
                      {"IvaSuContributi", Variant(true)},
                      {"Ritenuta", Variant(20.0)},
                      {"RitenutaSul", Variant(100.0)},
                      {"RitenutaSuContributi", Variant(true)},
                      {"RitenutaEnasarco", Variant(8.5)},
                      {"RitenutaEnasarcoSul", Variant(50.0)},
                      {"RitenutaEnasarcoSuContributi", Variant(false)},
                      {"ContributiCorpoFattura", Variant(inCorpo)},
                      {"Dicitura", Variant("Contributo INPS")}});
        Righe().EmptyTable();
        const Variant euro("\x80.");
        AggiungiRecord(Righe(), {{"Nome", Variant("A1")}, {"Prezzo", Variant(100.0)},
                                 {"Quantita", Variant(3.0)}, {"Sconto", Variant(10.0)},
                                 {"ScontoPercentuale", Variant(true)}, {"IVA", Variant(22.0)},
                                 {"CodiceIva", Variant("22")}, {"Valuta", euro}});
        AggiungiRecord(Righe(), {{"Nome", Variant("A2")}, {"Prezzo", Variant(61.0)},
                                 {"Quantita", Variant(2.0)}, {"Sconto", Variant(1.0)},
                                 {"IVA", Variant(22.0)}, {"Ivato", Variant(true)},
                                 {"CodiceIva", Variant("22")}, {"Valuta", euro}});
        AggiungiRecord(Righe(), {{"Nome", Variant("A3")}, {"Prezzo", Variant(50.0)},
                                 {"Quantita", Variant(1.0)}, {"IVA", Variant(0.0)},
                                 {"CodiceIva", Variant("N4")}, {"DicituraIva", Variant("Esente art.10")},
                                 {"NoContributi", Variant(true)}, {"NoRitenuta", Variant(true)},
                                 {"NoRitenutaEnasarco", Variant(true)}, {"Valuta", euro}});
        AggiungiRecord(Righe(), {{"Descrizione", Variant("Consegna entro marzo")},
                                 {"Descrittivo", Variant(true)}, {"Valuta", euro}});
    }

    std::vector<std::string> MessaggiErrore() const
    {
        std::vector<std::string> messaggi;
        for (const auto& rapporto : TFormExceptMessage::RapportiRegistrati())
            messaggi.push_back(rapporto.Messaggio);
        return messaggi;
    }

    TCartellaProva Programma;
    TCartellaProva Dati;
    std::vector<TBoxRegistrato> Box;
    std::unique_ptr<TDC> Modulo;

private:
    TMessageBoxHandler FPrecedente;
};
