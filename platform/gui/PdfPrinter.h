#pragma once
// The virtual PDF printer and the PDF output of printer jobs: each job becomes one PDF file,
// written under a temporary name in its folder and renamed when the job ends.

#include <string>

// The folder the virtual printer writes to: the user's documents folder unless moved (tests).
void SetVirtualPrinterFolder(const std::string& path);
std::string VirtualPrinterFolder();

// The file name a job title gives: the characters a file name cannot hold become "_", "Stampa"
// for an empty title, cut to 200 characters, plus ".pdf".
std::string PdfFileNameForTitle(const std::string& title);
// A path in folder for the title that does not exist yet: "T.pdf", "T (2).pdf", "T (3).pdf"...
std::string UniquePdfPath(const std::string& folder, const std::string& title);
