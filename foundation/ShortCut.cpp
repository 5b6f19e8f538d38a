#include "foundation/ShortCut.h"

#include "platform/os/MessageBox.h"
#include "platform/os/Shell.h"
#include "platform/rtl/Files.h"

namespace {

// The shortcut's full name; false when it cannot be placed in the folder.
bool PercorsoCollegamento(const std::string& nomeCollegamento, const std::string& cartella, std::string& percorso)
{
    // The layer reads "\" as a separator too, so either would let a name such as "a\..\..\x"
    // put the shortcut outside the folder.
    if (nomeCollegamento.find_first_of("\\/") != std::string::npos)
        return false;
    std::string radice = cartella;
    if (radice.empty()) {
        char desktop[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE))
            return false;
        radice = desktop;
    }
    if (radice.back() != '\\' && radice.back() != '/')
        radice += '\\';
    percorso = radice + nomeCollegamento + ".lnk";
    return true;
}

bool ScriviCollegamento(const std::string& destinazione, const std::string& nomeCollegamento,
                        const std::string& cartella)
{
    std::string percorso;
    if (!PercorsoCollegamento(nomeCollegamento, cartella, percorso))
        return false;
    TShellLink collegamento;
    return SUCCEEDED(collegamento.SetPath(destinazione)) &&
           SUCCEEDED(collegamento.SetDescription(ExtractFileName(destinazione))) &&
           SUCCEEDED(collegamento.Save(percorso));
}

} // namespace

void CreaCollegamento(const std::string& destinazione, const std::string& nomeCollegamento,
                      const std::string& cartella)
{
    if (ExtractFileName(destinazione).empty())
        return;
    const HRESULT inizio = CoInitialize(nullptr);
    if (inizio == OLE_E_WRONGCOMPOBJ)
        return;
    bool scritto = false;
    try {
        scritto = ScriviCollegamento(destinazione, nomeCollegamento, cartella);
    } catch (...) {
    }
    if (!scritto) {
        try {
            MessageBoxA(nullptr, "Could not create shortcut", "", MB_OK);
        } catch (...) {
        }
    }
    if (SUCCEEDED(inizio))
        CoUninitialize();
}
