#pragma once
// Lists made from data sets: field names, the values of one field, key - description lines.
// Every list is new and belongs to the caller. The lists that read records put the data set back
// on the record it was on.

#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TComponent;
class TCustomDBGrid;
class TDataSet;
class TLabel;
class TzelMemTable;

// The names of the field definitions, in definition order.
std::unique_ptr<TStringList> NomiCampi(TzelMemTable* tabella);
// The field's text in every record, in data-set order.
std::unique_ptr<TStringList> ValoriCampo(TDataSet* dataSet, const std::string& campo);
// One line per record: key text + " - " + description text.
std::unique_ptr<TStringList> ElencoChiaveDescrizione(TzelMemTable* tabella,
                                                     const std::string& campoChiave,
                                                     const std::string& campoDescrizione);
std::unique_ptr<TStringList> ElencoChiaveDescrizioneConSeparatore(
    TDataSet* dataSet, const std::string& campoChiave, const std::string& campoDescrizione,
    const std::string& separatore);

// One line per grid column, in column order: the title's caption, with the column's field
// attached as the line's object.
std::unique_ptr<TStringList> ColonneGriglia(TCustomDBGrid* griglia);

// Controls bound to fields by their names: a prefix saying how the value travels ("EditS_" text,
// "EditKS_" the key before the separator of a key - description combo box, "EditI_" a combo
// box's item index, "EditB_" a check box), an underscore, and the field's name. Only the classes
// of ControlloAssociabile are bound, matched by name, so a class derived from one of them is not.

// The key separator of key - description lines.
inline constexpr const char* SeparatoreChiave = " - ";

// Stores every bound control owned by the window into the current record, which the caller has
// put in edit or insert state. Stops at the first value the field refuses: that control is
// focused, the label reads the wrong-format message in red, and the field's name is returned.
// "" when every value was stored.
std::string RecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label);
std::string RecordDaControlliConSeparatore(TDataSet* dati, TComponent* finestra, TLabel* label,
                                           const std::string& separatore);
// Shows the current record in every bound control owned by the window. Never reports an error.
void ControlliDaRecord(TDataSet* dati, TComponent* finestra);
void ControlliDaRecordConSeparatore(TDataSet* dati, TComponent* finestra,
                                    const std::string& separatore);
void ControlloDaRecord(TDataSet* dati, TComponent* componente, const std::string& separatore);
bool ControlloAssociabile(TComponent* componente);
// Gives the text controls bound by "EditS_" to text fields the field's size as input limit.
void ImpostaLunghezzeMassime(TDataSet* dati, TComponent* finestra);

// Stores the controls into the record being edited: posts and answers true when every value was
// accepted, cancels and answers false otherwise. A failing post is cancelled and reaches the
// caller.
bool SalvaRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label);
bool AggiungiRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label);
bool ModificaRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label);
// Edits the record whose key field equals the value exactly, or appends one, then saves.
bool ScriviRecordDaControlli(TDataSet* dati, TComponent* finestra, TLabel* label,
                             const std::string& campoChiave, const std::string& valoreChiave);
