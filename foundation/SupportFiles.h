#pragma once
// The program's working folders, file lists by mask, file-name checks and file dates as text.
// Every folder path returned here ends with a backslash.

#include "platform/rtl/Classes.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TMenuItem;

// The folder of the program file.
std::string CartellaApplicazione();
// Points the program folder (and so every program subfolder) elsewhere; "" goes back to the
// folder of the program file.
void ImpostaCartellaApplicazione(const std::string& cartella);
// The subfolder of the program folder, created with any missing parents when it does not exist;
// raises the layer's folder-creation error when it cannot be made.
std::string SottocartellaApplicazione(const std::string& nome);
std::string CartellaTemp();
// The current folder, absolute, without a final separator ("/" at the root).
std::string CartellaCorrente();

// The files (never folders) of the folder part whose names fit the mask, each line being the
// folder part as given followed by the name on disk, ordered by upper-cased name.
std::unique_ptr<TStringList> ElencoFile(const std::string& percorsoConMaschera);
// The file name without its folder and without its last extension.
std::string NomeSenzaEstensione(const std::string& percorso);
// True when the name holds one of \ / : * ? " < >.
bool NomeFileNonValido(const std::string& nome);
// The last-write date and time (two-second resolution) as short date, blank, long time; "" when
// the file cannot be opened for reading.
std::string DataOraFile(const std::string& percorso);
// Day_month_year without leading zeros, as in "8_3_2009".
std::string DataPerNomeFile(TDateTime data);
// A hidden name beside the file for a new version of it, by the rule of every atomic save, so that
// a save cut short leaves nothing that the start-up clean-up misses.
std::string NomeTemporaneoAccanto(const std::string& percorso);
// Deletes every listed file; returns how many went.
int CancellaFile(const TStrings& percorsi);
// True when the interface file exists; otherwise says so in a message box.
bool VerificaInterfaccia(const std::string& percorsoInterfaccia);

// The data root's subfolder (DC->PercorsoDati + nome + "\"), created level by level when
// missing; raises the layer's folder-creation error when it cannot be made.
std::string SottocartellaDati(const std::string& nome);

// Rebuilds the item's submenu from the files that fit the mask: one item per file, owned by the
// item, captioned with the name without extension, with the tag and (when given) the click
// handler. The mask's folder is created when missing.
void MenuDaFile(TMenuItem* voce, const std::string& percorsoConMaschera, int tag, TNotifyEvent clic);
