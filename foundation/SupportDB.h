#pragma once
// Helpers over data sets that the windows and the document code share: copying records between
// tables, locating records, reading fields safely.

#include "platform/db/DB.h"
#include "platform/rtl/Variants.h"

#include <string>
#include <vector>

class TzelMemTable;

// --- Record copies ---
// Each field of the destination named as a field definition of the source (letter case ignored)
// takes the source field's text. True.
bool CopiaCampiPerNome(TDataSet* sorgente, TDataSet* destinazione);
// Appends (accoda) or edits the destination, copies the fields by name and posts. True.
bool CopiaRecordPerNome(TDataSet* sorgente, TDataSet* destinazione, bool accoda);
bool AccodaRecordPerNome(TDataSet* sorgente, TDataSet* destinazione);
// Field by field in order when the counts and the names (letter case counted) agree, values
// null included; false at the first difference.
bool CopiaCampiStessaStruttura(TDataSet* sorgente, TDataSet* destinazione);
// Appends or edits, copies; posts when the copy succeeded, cancels otherwise.
bool CopiaRecordStessaStruttura(TDataSet* sorgente, TDataSet* destinazione, bool accoda);
bool AccodaRecordStessaStruttura(TDataSet* sorgente, TDataSet* destinazione);
// Appends every record of the source by field names; the source returns to its record. The
// empty flag concerns disk tables only, which this program has none of. The count copied.
int AccodaTuttiIRecord(TDataSet* sorgente, TDataSet* destinazione, bool svuota);
// The values of the current record's fields, as an array indexed from 0 (null for null fields).
Variant RecordComeVariant(TzelMemTable* tabella);

// --- Locating (the position is unchanged when nothing is found) ---
// Exact and case-sensitive.
bool LocalizzaRecord(TDataSet* dataSet, const std::string& campo, const std::string& valore);
// The first record whose field begins with the value, letter case ignored.
bool LocalizzaRecordParziale(TDataSet* dataSet, const std::string& campo,
                             const std::string& valore);
// campi separated by ";", matched with the first numeroValori values.
bool LocalizzaRecordMultiplo(TzelMemTable* tabella, const std::string& campi,
                             const std::vector<Variant>& valori, int numeroValori);

// --- Fields ---
bool EsisteCampo(TDataSet* dataSet, const std::string& campo);
// The caller makes sure the definition exists.
TFieldType TipoCampo(TDataSet* dataSet, const std::string& campo);
// True for a 16-bit or 32-bit integer definition.
bool CampoIntero(TDataSet* dataSet, const std::string& campo);
// "" when there is no such definition.
std::string ValoreCampoTesto(TDataSet* dataSet, const std::string& campo);
// -1 when there is no such definition or the value cannot be read as an integer.
int ValoreCampoIntero(TDataSet* dataSet, const std::string& campo);
