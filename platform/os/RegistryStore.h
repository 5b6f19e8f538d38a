#pragma once
// The file-backed store behind the registry functions: every root key of the current user, kept
// in one text file, saved atomically and merged with the changes other running copies made.

#include "platform/os/WinBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// A key's full path: the root's name ("HKEY_CURRENT_USER") followed by the parts below it.
using TRegPath = std::vector<std::string>;

struct TRegValueData {
    std::string Name; // "" is the unnamed value
    DWORD Type = REG_NONE;
    std::string Data; // a string without its terminating zero; a DWORD as 4 little-endian bytes
};

// Checks of names, shared with the registry functions.
bool IsValidRegKeyPart(const std::string& part);
bool IsValidRegValueName(const std::string& name);
constexpr size_t MaxRegValueNameLength = 16383;

class TRegistryStore {
public:
    // The one store of the process.
    static TRegistryStore& Instance();

    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    // All operations return Windows error numbers (0 on success) and keep the store consistent.
    // Re-reads the file when another process changed it, replaying this process's pending changes.
    void RefreshIfChanged();
    bool KeyExists(const TRegPath& path);
    LONG CreateKey(const TRegPath& path, bool& created);
    // Removes the key with everything below it. Without subtree, a key with subkeys gives 5.
    LONG DeleteKey(const TRegPath& path, bool subtree);
    LONG SetValue(const TRegPath& path, const TRegValueData& value);
    LONG QueryValue(const TRegPath& path, const std::string& name, TRegValueData& value);
    LONG DeleteValue(const TRegPath& path, const std::string& name);
    // Subkey names sorted without regard to case; values in creation order.
    LONG SubKeys(const TRegPath& path, std::vector<std::string>& names);
    LONG Values(const TRegPath& path, std::vector<TRegValueData>& values);

    // Writes pending changes to the file. False when the save failed (they stay pending).
    bool Save();
    bool HasPendingChanges();
    // The file holds every root; for tests, another file may be chosen (pending changes are saved
    // to the current file first, and the new file is read on next use).
    void SetFile(const std::string& nativePath);
    std::string File();
    // Lines of the file that could not be read, as "line N: text".
    std::vector<std::string> LoadProblems();
    // True when the file exists but could not be read: the store then refuses every change.
    bool ReadOnly();

private:
    TRegistryStore();
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// The registry file: $XDG_CONFIG_HOME/Tessellarium/registry.reg, or $TESSELLARIUM_REGISTRY.
// SetRegistryFile takes a program path (Windows-1252).
void SetRegistryFile(const std::string& path);
std::vector<std::string> LoadProblems();
