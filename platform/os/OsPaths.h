#pragma once
// Helpers shared by the services of this folder: turning the program's paths into the system's,
// the per-user folders, file identity checks and whole-file replacement.

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

// A program path (Windows-1252, "\" or "/", any letter case) as the system's UTF-8 path.
std::string NativePath(const std::string& ansiPath);
// A system path as program text (Windows-1252).
std::string AnsiFromNative(const std::string& nativePath);

// $HOME, $XDG_CONFIG_HOME (~/.config), $XDG_DATA_HOME (~/.local/share), $XDG_CACHE_HOME (~/.cache).
std::string HomeFolder();
std::string ConfigHomeFolder();
std::string DataHomeFolder();
std::string CacheHomeFolder();
// $XDG_CONFIG_HOME/Tessellarium/Windows, created on demand (UTF-8).
std::string WindowsFolder();

// Creates the folder and its missing parents; false when that fails (errno is kept).
bool MakeFolders(const std::string& nativePath, mode_t mode = 0777);

// Reads a whole file. Missing when the file or a folder on its path does not exist.
enum class TReadResult { Ok, Missing, Failed };
TReadResult ReadWholeFile(const std::string& nativePath, std::string& bytes);

// True when the file starts with "MZ", the mark of a Windows program.
bool StartsWithMZ(const std::string& nativePath);

// What tells a file changed under us: same device, inode, size and modification time.
struct TFileIdentity {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    std::int64_t ModifiedNs = 0;
    bool operator==(const TFileIdentity&) const = default;
};
TFileIdentity FileIdentityOf(const std::string& nativePath);

// Writes bytes to a new temporary file in the target's folder, flushes it to disk and renames it
// over the target. On failure the target is untouched, no temporary is left, false is returned
// and errno tells why. A new file gets newFileMode (less the umask); a replaced one keeps its mode.
bool ReplaceFileContents(const std::string& nativePath, const std::string& bytes,
                         mode_t newFileMode = 0666);

// For tests: called before the rename of every replacement; returning true makes it fail (EIO).
using TWriteFaultHook = std::function<bool(const std::string& nativePath)>;
void SetWriteFaultHook(TWriteFaultHook hook);
bool WriteFaultInjected(const std::string& nativePath);
