#pragma once
// Shared by the foundation tests: a temporary folder, a recorder of message boxes and the
// fixtures written by peers/genera_peer.py.

#include "tests/TestFixtures.h"
#include "platform/gui/Application.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Lists.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

struct TBoxMostrato {
    std::string Testo;
    std::string Titolo;
    UINT Tipo;
};

// Records every message box while it lives and answers OK.
class TRegistraBox {
public:
    TRegistraBox()
    {
        FPrecedente = SetMessageBoxHandler(
            [this](HWND, const std::string& testo, const std::string& titolo, UINT tipo) {
                Box.push_back({testo, titolo, tipo});
                return IDOK;
            });
    }
    ~TRegistraBox() { SetMessageBoxHandler(FPrecedente); }
    TRegistraBox(const TRegistraBox&) = delete;
    TRegistraBox& operator=(const TRegistraBox&) = delete;

    std::vector<TBoxMostrato> Box;

private:
    TMessageBoxHandler FPrecedente;
};

// The layer's application under Qt's offscreen platform, for the tests that show windows. The
// other tests run without it, as the data module must.
inline void AvviaApplicazioneVisuale()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

// Serves every dialog from a scripted service while it lives; message boxes are answered OK.
class TDialoghiScritti {
public:
    TDialoghiScritti() : FServizio(new TScriptedDialogs)
    {
        FServizio->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
        FPrecedente = SetDialogService(std::unique_ptr<IDialogService>(FServizio));
    }
    ~TDialoghiScritti() { SetDialogService(std::move(FPrecedente)); }
    TDialoghiScritti(const TDialoghiScritti&) = delete;
    TDialoghiScritti& operator=(const TDialoghiScritti&) = delete;

    TScriptedDialogs& Servizio() { return *FServizio; }
    // The message boxes shown so far.
    std::vector<TDialogRequestRecord> Box() const
    {
        std::vector<TDialogRequestRecord> box;
        for (const TDialogRequestRecord& richiesta : FServizio->Requests())
            if (richiesta.Kind == TDialogKind::MessageBox)
                box.push_back(richiesta);
        return box;
    }

private:
    TScriptedDialogs* FServizio;
    std::unique_ptr<IDialogService> FPrecedente;
};

// A fresh folder removed with its contents at the end.
class TCartellaTemporanea {
public:
    TCartellaTemporanea()
    {
        std::string modello = (std::filesystem::temp_directory_path() / "f18-XXXXXX").string();
        FPercorso = mkdtemp(modello.data());
    }
    ~TCartellaTemporanea()
    {
        std::error_code ignorato;
        std::filesystem::remove_all(FPercorso, ignorato);
    }
    TCartellaTemporanea(const TCartellaTemporanea&) = delete;
    TCartellaTemporanea& operator=(const TCartellaTemporanea&) = delete;

    // The native path, without a final separator.
    const std::string& Percorso() const { return FPercorso; }

private:
    std::string FPercorso;
};

inline std::string FileDiPeer(const std::string& nome)
{
    return (std::filesystem::path(TestFixtureDir()) / "peers" / nome).string();
}

// The lines of a string list.
inline std::vector<std::string> Righe(const TStrings& elenco)
{
    std::vector<std::string> righe;
    for (int i = 0; i < elenco.Count(); ++i)
        righe.push_back(elenco.Strings(i));
    return righe;
}

inline std::vector<std::string> RigheDi(const std::string& percorso)
{
    std::ifstream file(percorso);
    std::vector<std::string> righe;
    for (std::string riga; std::getline(file, riga);)
        righe.push_back(riga);
    return righe;
}

inline std::string ContenutoDi(const std::string& percorso)
{
    std::ifstream file(percorso, std::ios::binary);
    std::ostringstream contenuto;
    contenuto << file.rdbuf();
    return contenuto.str();
}

// What a shell command printed on its standard output.
inline std::string UscitaDi(const std::string& comando)
{
    std::string uscita;
    if (FILE* processo = popen(comando.c_str(), "r")) {
        char blocco[4096];
        for (size_t letti; (letti = fread(blocco, 1, sizeof blocco, processo)) > 0;)
            uscita.append(blocco, letti);
        pclose(processo);
    }
    return uscita;
}

inline void ScriviFile(const std::string& percorso, const std::string& contenuto = "x")
{
    std::ofstream(percorso, std::ios::binary) << contenuto;
}
