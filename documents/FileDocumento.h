#pragma once
// Moving the two current-document tables of the data module between a document file (a ZIP
// archive with the members Articoli.aft and Cliente.cft) and a staging folder.

#include <string>

// EstraiFileFattura into the staging folder (CartellaTemp()), messages on.
bool EstraiFileFatturaInTemp(const std::string& percorsoFattura);
// Deletes the staged Articoli.aft and Cliente.cft of the staging folder, then extracts every
// member of the archive into it. A missing archive extracts nothing and answers true. An archive
// that cannot be read, or that has a damaged member, answers false after one report naming the
// file and its damaged members (with an empty message when messaggi is off) and leaves nothing
// it extracted behind.
bool EstraiFileFattura(const std::string& archivio, const std::string& cartella, bool messaggi);
// ComprimiFileFattura through the staging folder, messages on.
bool ComprimiFileFatturaDaTemp(const std::string& percorsoFattura);
// Saves the two tables into the folder, packs them into a temporary archive beside the
// document and moves it over the document, then deletes the staged files. On false the failure
// was reported and a previous document file is unchanged.
bool ComprimiFileFattura(const std::string& archivio, const std::string& cartella, bool messaggi);
