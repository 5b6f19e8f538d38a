#pragma once
// Name=value lines and rounding.

#include "platform/rtl/Lists.h"

#include <string>

// The first line named nome (letter case ignored) becomes nome=valore, also for an empty value;
// without such a line, nome=valore is appended.
void ImpostaValore(TStrings& elenco, const std::string& nome, const std::string& valore);

// Rounds through the decimal text of 15 significant digits, halves away from zero. NaN and
// infinities come back unchanged; decimali is clamped to 0..18; a zero result is +0.
double Arrotonda(double numero, int decimali);

class TDataSet;
class TzelMemTable;

// The same as CopiaRecordPerNome and AccodaRecordPerNome, on memory tables.
bool CopiaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione, bool accoda);
bool AccodaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione);
// Empties the destination and appends every source record, each field of the destination named
// as a source field taking that field's text. A source without records leaves one blank record.
// The source returns to its record. A failed copy is reported at level 1 and gives false; the
// records copied so far stay.
bool CopyRecordByFieldName(TDataSet* sorgente, TzelMemTable* destinazione);
// Writes the program folder as InstallationPath under "Ventisca,Tessellarium,Install"; the
// store's answer, false after an error (reported at level 1, no box is shown beyond that).
bool ScriviPercorsoInstallazione();
bool ScriviPercorsoInstallazione(const std::string& ignorato);
