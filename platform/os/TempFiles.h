#pragma once
// Temporary names and folders.

#include "platform/os/WinBase.h"

#include <string>

// $TMPDIR when it names an existing folder, else "/tmp"; always with a final "/".
DWORD GetTempPathA(DWORD size, char* buffer);
std::string GetTempPath();

// folder + the first 3 characters of prefix + the number in upper-case hexadecimal + ".TMP".
// With unique 0 a new empty file is created exclusively and its number returned (0 with 80 when
// every number is taken); otherwise the name is only formed. tempFileName needs MAX_PATH bytes.
UINT GetTempFileNameA(const char* pathName, const char* prefixString, UINT unique, char* tempFileName);

// The same without the MAX_PATH limit: the name, or "" with the last error set.
std::string GetTempFileName(const std::string& pathName, const std::string& prefixString, UINT unique);

// Creates a new empty file folder/prefixXXXXXXsuffix exclusively; returns its name (program text)
// or "" with the last error set.
std::string CreateTempFileWithSuffix(const std::string& folder, const std::string& prefix,
                                     const std::string& suffix);
// Creates a new folder below the temporary path; returns its name or "" with the last error set.
std::string CreateTempDirectory(const std::string& prefix);

// Owns a new temporary folder and removes it with its content when destroyed, following no link.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& prefix = "tess");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // Program text; "" when the folder could not be created.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Removes a folder and everything below it without following symbolic links (a link is removed,
// never what it points to). Returns false when something could not be removed.
bool RemoveTreeNoFollow(const std::string& nativePath);
