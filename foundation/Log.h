#pragma once
// The daily text log, and the name of the Windows version the program runs on.

#include "platform/os/SystemInfo.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <functional>
#include <string>

// Appends time-stamped lines to the file of the day the log was created, opening and closing the
// file at each call. Each line ends in CR CR LF, as the log viewer expects, and a line feed
// inside a text becomes CR LF.
class TLog {
public:
    // Creates the folder level by level when missing; raises the folder-creation error when it
    // cannot be made.
    explicit TLog(const std::string& cartella);

    // Raise when the file cannot be opened; nothing is written then.
    void Scrivi(const std::string& testo);
    // One line per entry, all with the same time stamp, in one opening of the file.
    void ScriviElenco(const TStrings& testi);

    const std::string& Percorso() const { return FPercorso; }

private:
    std::string FPercorso;
};

struct TVersioneSistema {
    bool Letta = false;
    uint32_t Piattaforma = 0;
    uint32_t Maggiore = 0;
    uint32_t Minore = 0;
    uint32_t Build = 0;
    std::string ServicePack;
};

// Asks the system once per process: the basic record first, the extended one for the NT family
// above version 4.
void LeggiVersioneSistema();
// Both read the version first when it has not been asked yet.
const TVersioneSistema& VersioneSistema();
std::string NomeVersioneSistema();
// The name of a Windows version; "build" counts only its low 16 bits.
std::string NomeVersioneWindows(uint32_t piattaforma, uint32_t maggiore, uint32_t minore,
                                uint32_t build);

// Where the version comes from: GetVersionExA unless a test replaces it. The record's
// dwOSVersionInfoSize tells which form is asked for (148 or 156 bytes). Replacing the source also
// forgets the version read so far.
using TFonteVersione = std::function<BOOL(OSVERSIONINFOEXA& info)>;
void ImpostaFonteVersione(TFonteVersione fonte);
