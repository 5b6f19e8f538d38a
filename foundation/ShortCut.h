#pragma once
// Shortcuts to documents, as the customer and article windows put them in a record's folder.

#include <string>

// Writes the shortcut nomeCollegamento + ".lnk" in cartella (the user's desktop folder when
// empty) to the file destinazione, described by the target's file name. Does nothing when the
// target has no file name. A link name holding a folder separator is refused. Any failure shows
// the box "Could not create shortcut"; nothing raises.
void CreaCollegamento(const std::string& destinazione, const std::string& nomeCollegamento,
                      const std::string& cartella);
