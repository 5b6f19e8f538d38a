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

// --- Upgrade of stored tables and documents ---------------------------------------------------

class TFieldDef;
class TzelCustomStreamFormat;

// Brings a table file to the definitions of the current table. The current table is re-created
// with every definition of the file that it lacked (its display properties kept) and left open
// and empty. The file is rewritten, atomically, only when a definition was added or a current
// definition is missing from the file or differs from it in type or size (names compared without
// regard to case); the values travel by value, nulls stay null, and a file without records stays
// without records. False, with the file untouched, when it is missing or needs nothing. A file the
// format refuses or a record that cannot be copied raises, the file untouched. The flag has no
// effect.
bool AggiornaFileTabella(TzelMemTable* corrente, const std::string& file,
                         TzelCustomStreamFormat* formato, bool flag = false);
// AggiornaFileTabella for every file the mask lists, in the order listed; the first failure
// raises.
void AggiornaFileTabelle(const std::string& maschera, TzelMemTable* corrente,
                         TzelCustomStreamFormat* formato, bool flag = false);
// Adds to the current table a definition for every definition of the file's table that it has no
// namesake of; a definition that cannot be added is reported at level 1 and skipped. The count
// added.
int IntegraCampiVecchi(TzelMemTable* daFile, TzelMemTable* corrente);
// Brings every document file of the mask to the definitions of the member tables, through
// scratch tables made with those definitions, so that the tables given are never changed. The
// lines of membri are the member files inside the extraction folder, their objects the tables
// (TzelMemTable) of those members. A document is re-packed only when a member was rewritten; a
// document that cannot be opened (unreadable, damaged, with members other than those listed, a
// member the format refuses) or packed again is left as it was and named in the log; the staged
// files are deleted in every case. When a member of the first document of the list was rewritten
// and a templates folder is given, every member table is saved there empty. Writes the log as
// "import.err" in the program's "logs" folder, empty when all went well; a log that cannot be
// written raises before any document is touched. The flag has no effect. The count of the
// documents opened and processed.
int AggiornaFileDocumenti(const std::string& maschera, const std::string& cartellaEstrazione,
                          const TStrings& membri, TzelCustomStreamFormat* formato, bool flag,
                          const std::string& cartellaModelli);
// AggiornaFileDocumenti without writing the log: the lines of the documents that failed are added
// to registro.
int ConvertiFileDocumenti(const std::string& maschera, const std::string& cartellaEstrazione,
                          const TStrings& membri, TzelCustomStreamFormat* formato,
                          const std::string& cartellaModelli, TStrings& registro);
// Writes "import.err" in the program's "logs" folder atomically: one line per entry, CR LF.
// Raises when the folder or the file cannot be written.
void ScriviRegistroImportazione(const TStrings& registro);
// For every name: the source's definition "CstTs_" + name (the field-not-found error when it has
// none) is given to the target, whose namesake takes its type, precision, required flag and size,
// or which gains it. The target is re-created and keeps its records, by value, and the display
// properties of its fields.
void AggiungiCampiUtente(TzelMemTable* origine, TzelMemTable* destinazione, const TStrings& nomi);
// The target's definition of that name takes the type, precision, required flag and size given.
void AggiornaDefinizioneCampo(TzelMemTable* destinazione, const TFieldDef& definizione);

// --- ZIP helpers for file lists ----------------------------------------------------------------

// Deletes the listed files, then extracts every member of the archive into the folder, which is
// taken as a staging folder (nothing is flushed to the disk). False when the archive could not be
// read or a member was damaged or refused: then nothing the extraction wrote stays and the listed
// files are gone. The archive's reports go to the daily log; a raised error is reported at level
// 1 and, with messaggio, in the box "Impossibile estrarre il file.".
bool EstraiFiles(const std::string& archivio, const TStrings& files, const std::string& cartella,
                 bool messaggio);
// Packs the listed files, under their bare names and in list order, into a hidden temporary
// archive beside the target and moves it over the target only when every file was packed; with
// eliminaDopo the listed files are then deleted. On false the target and the listed files are as
// they were and no temporary is left: a missing listed file or a read-only target gives false.
// The folder is not used. The archive's reports go to the daily log; with messaggio a failure
// shows the box "Impossibile comprimere il file.", and a raised error is reported at level 1.
bool ComprimiFiles(const std::string& archivio, const TStrings& files, const std::string& cartella,
                   bool eliminaDopo, bool messaggio);
