#pragma once
// Shared by the data module tests: a program folder with its settings store, a scripted message
// box and the way the program entry creates the data module.

#include "FoundationTestUtils.h"

#include "foundation/Configurazione.h"
#include "foundation/DataModule.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportFiles.h"
#include "platform/os/RegistryStore.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Records every box and answers Risposta.
class TBoxScriptati {
public:
    TBoxScriptati()
    {
        FPrecedente = SetMessageBoxHandler(
            [this](HWND, const std::string& testo, const std::string& titolo, UINT tipo) {
                Box.push_back({testo, titolo, tipo});
                return Risposta;
            });
    }
    ~TBoxScriptati() { SetMessageBoxHandler(FPrecedente); }
    TBoxScriptati(const TBoxScriptati&) = delete;
    TBoxScriptati& operator=(const TBoxScriptati&) = delete;

    int Risposta = IDYES;
    std::vector<TBoxMostrato> Box;

private:
    TMessageBoxHandler FPrecedente;
};

// A program folder, a registry file inside it and, for portable mode, its INI file.
class DataModuleFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ImpostaCartellaApplicazione(Programma.Percorso());
        SetRegistryFile(Programma.Percorso() + "/registry.reg");
        TFormExceptMessage::AzzeraRapporti();
    }
    void TearDown() override
    {
        Modulo.reset();
        SetRegistryFile("");
        ImpostaCartellaApplicazione("");
    }

    // Writes one setting into the portable store before the module opens it.
    void ImpostaIni(const std::string& sezione, const std::string& nome, const std::string& valore)
    {
        InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
        ASSERT_TRUE(ScriviImpostazione(sezione, nome, valore));
    }
    void ImpostaVersione(const std::string& versione)
    {
        ImpostaIni("Ventisca,Tessellarium,Versioning", "Database", versione);
    }
    void ImpostaDati(const std::string& cartella)
    {
        ImpostaIni("Ventisca,Tessellarium,Percorsi", "SharedPath", cartella);
    }

    // As the program entry does: the constructor, then the creation handler.
    TDC& Avvia(std::vector<std::string> argomenti = {"TESSELLARIUM_USBPEN:Chiavetta"})
    {
        Modulo.reset();
        Modulo = std::make_unique<TDC>(nullptr, argomenti);
        Modulo->DCCreate(Modulo.get());
        return *Modulo;
    }

    std::string Nel(const std::string& relativo) const { return Programma.Percorso() + "/" + relativo; }

    TCartellaTemporanea Programma;
    TBoxScriptati Box;
    std::unique_ptr<TDC> Modulo;
};

// Appends one row whose fields are given as name=value texts.
inline void AggiungiRiga(TDataSet& tabella, const std::vector<std::pair<std::string, std::string>>& valori)
{
    tabella.Append();
    for (const auto& [nome, valore] : valori)
        tabella.FieldByName(nome)->SetAsString(valore);
    tabella.Post();
}

inline std::vector<std::string> ValoriDi(TDataSet& tabella, const std::string& campo)
{
    std::vector<std::string> valori;
    tabella.First();
    while (!tabella.Eof()) {
        valori.push_back(tabella.FieldByName(campo)->AsString());
        tabella.Next();
    }
    return valori;
}
