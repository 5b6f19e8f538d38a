#pragma once
// Shared by the foundation tests: a temporary folder, a recorder of message boxes and the
// fixtures written by peers/genera_peer.py.

#include "tests/TestFixtures.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Lists.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

inline void ScriviFile(const std::string& percorso, const std::string& contenuto = "x")
{
    std::ofstream(percorso, std::ios::binary) << contenuto;
}
