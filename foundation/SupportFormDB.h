#pragma once
// Lists made from data sets: field names, the values of one field, key - description lines.
// Every list is new and belongs to the caller. The lists that read records put the data set back
// on the record it was on.

#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TDataSet;
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
