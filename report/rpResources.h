#pragma once
// The report engine's string table: every text its windows, messages and tables show, by id.

#include <string>

// The text of an id, "" for an id without text. Italian letters are Windows-1252 bytes.
std::string rpLoadStr(int id);
