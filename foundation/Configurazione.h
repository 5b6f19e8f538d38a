#pragma once
// The settings store: the user's registry, or in portable mode one INI file beside the program,
// with values addressed by a comma-separated section path and a name. One setting is kept
// enciphered with a key derived from the key file beside the program.

#include "platform/os/Registry.h"

#include <cstdint>
#include <string>

// modo 1 keeps the settings in Config\<nome>.ini beside the program, any other value in the
// registry under Software\<nome>. Creates the key file when missing. A second call replaces the
// store. Raises the layer's folder or file creation error when the program folder is unwritable.
void InizializzaConfigurazione(const std::string& nome, uint8_t modo);
uint8_t ModoConfigurazione();
// The INI file's path in portable mode, "" otherwise.
std::string PercorsoFileIni();
// "Software\" + name + "\" in registry mode, "" otherwise.
std::string ChiaveRegistro();

// The stored value; the default when it is absent, empty or cannot be read, or before the
// store is initialised. Never raises.
std::string LeggiImpostazione(const std::string& sezione, const std::string& nome,
                              const std::string& predefinito);
// True when the value was written; false on any failure of either store (and before the store
// is initialised). Never raises.
bool ScriviImpostazione(const std::string& sezione, const std::string& nome, const std::string& valore);

// The registry procedures behind the two calls above. ApriChiaviRegistro opens Software and then
// each part of the path below the key opened last; a missing part is skipped unless creaChiavi,
// which creates it. Returns the number of parts opened.
int ApriChiaviRegistro(const std::string& percorso, HKEY radice, bool creaChiavi = false);
void ChiudiChiaviRegistro(int chiaviAperte);
std::string LeggiDaRegistro(const std::string& percorso, const std::string& nome,
                            const std::string& predefinito);
bool ScriviInRegistro(const std::string& percorso, const std::string& nome, const std::string& valore);

// Creates the key file nomeFile in the program folder when it is missing; an existing file is
// never touched.
void CreaFileSupporto(const std::string& nomeFile);
// The 15-character key derived from the key file's SHA-1. Raises ESecHashException
// "File not found !" when the key file is missing.
std::string ChiaveDerivata();
// The setting deciphered; the default, unchanged, when it is absent or empty.
std::string LeggiImpostazioneCifrata(const std::string& sezione, const std::string& nome,
                                     const std::string& predefinito);
// Enciphers with the fixed and then the derived key and stores 4 letters per byte.
bool ScriviImpostazioneCifrata(const std::string& sezione, const std::string& nome,
                               const std::string& valore);
