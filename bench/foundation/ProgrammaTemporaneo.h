#pragma once
// A program folder of its own for a benchmark, removed at the end.

#include "foundation/SupportFiles.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class TProgrammaTemporaneo {
public:
    TProgrammaTemporaneo()
    {
        std::string modello = (std::filesystem::temp_directory_path() / "bench-programma-XXXXXX").string();
        Percorso = mkdtemp(modello.data());
        ImpostaCartellaApplicazione(Percorso);
    }
    ~TProgrammaTemporaneo()
    {
        ImpostaCartellaApplicazione("");
        std::error_code ignorato;
        std::filesystem::remove_all(Percorso, ignorato);
    }
    TProgrammaTemporaneo(const TProgrammaTemporaneo&) = delete;
    TProgrammaTemporaneo& operator=(const TProgrammaTemporaneo&) = delete;

    std::string Percorso;
};
