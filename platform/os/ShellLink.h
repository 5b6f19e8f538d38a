#pragma once
// Shortcuts without COM: a freedesktop link entry in a regular file (links fail on the FAT keys
// and shares where data folders live).

#include "platform/os/WinBase.h"

#include <string>

class TShellLink {
public:
    // Paths are program text; the target is kept as an absolute path.
    HRESULT SetPath(const std::string& path);
    const std::string& GetPath() const { return path_; }
    HRESULT SetDescription(const std::string& description);
    const std::string& GetDescription() const { return description_; }
    // Kept with the object; the link entry has no place for them.
    HRESULT SetArguments(const std::string& arguments);
    const std::string& GetArguments() const { return arguments_; }
    HRESULT SetWorkingDirectory(const std::string& directory);
    const std::string& GetWorkingDirectory() const { return workingDirectory_; }
    HRESULT SetIconLocation(const std::string& iconPath, int iconIndex);
    const std::string& GetIconLocation() const { return iconLocation_; }

    // Writes the file under the name given (atomically); E_FAIL when it cannot be written.
    HRESULT Save(const std::string& fileName);
    // Reads a link written by Save; E_FAIL for any other file.
    HRESULT Load(const std::string& fileName);

private:
    std::string path_;
    std::string description_;
    std::string arguments_;
    std::string workingDirectory_;
    std::string iconLocation_;
};

// The target of a link file written by TShellLink; false for any other file.
bool ResolveShellLink(const std::string& fileName, std::string& target);
// True when the file is a link written by TShellLink (native path).
bool IsShellLinkFile(const std::string& nativePath);
