#pragma once
// A program folder in portable mode for a benchmark, with its data folder inside; every box is
// answered Yes and the folder is removed at the end.

#include "foundation/Configurazione.h"
#include "foundation/DataModule.h"
#include "foundation/SupportFiles.h"
#include "platform/os/MessageBox.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TInstallazione {
public:
    TInstallazione()
    {
        std::string modello = (std::filesystem::temp_directory_path() / "bench-installazione-XXXXXX").string();
        Percorso = mkdtemp(modello.data());
        ImpostaCartellaApplicazione(Percorso);
        FBoxPrecedente = SetMessageBoxHandler([](HWND, const std::string&, const std::string&,
                                                 UINT) { return IDYES; });
        InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
        ScriviImpostazione("Ventisca,Tessellarium,Versioning", "Database", "3.0.18");
    }
    ~TInstallazione()
    {
        SetMessageBoxHandler(FBoxPrecedente);
        ImpostaCartellaApplicazione("");
        std::error_code ignorato;
        std::filesystem::remove_all(Percorso, ignorato);
    }
    TInstallazione(const TInstallazione&) = delete;
    TInstallazione& operator=(const TInstallazione&) = delete;

    std::unique_ptr<TDC> Avvia()
    {
        auto dc = std::make_unique<TDC>(nullptr, std::vector<std::string>{"TESSELLARIUM_USBPEN:Chiavetta"});
        dc->DCCreate(dc.get());
        return dc;
    }

    std::string Percorso;

private:
    TMessageBoxHandler FBoxPrecedente;
};
