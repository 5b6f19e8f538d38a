#pragma once
// The few system services the windows call directly: starting a program from a command line,
// the system's text for an error code, special folders with their shell icons, and the system
// image lists that show the shell's icons.

#include "platform/os/WinBase.h"

#include <string>

class TComponent;
class TImageList;

// Starts the program the command line names (its first word or quoted path), with the line's
// arguments, the program's environment and current folder, and does not wait for it. Returns a
// non-zero value when it started; otherwise shows the warning box of MostraErroreSistema and
// returns nullptr.
HANDLE AvviaComando(const std::string& rigaDiComando);

// A warning box: "Trying to open "<file>"", then the system's text for the code.
void MostraErroreSistema(HWND proprietario, const std::string& titolo, const std::string& file, DWORD codice);

// A special folder of the shell, described by its constructor from the shell folder number.
// An unknown or unresolvable folder leaves every field empty or zero.
struct StructSysPathInfo {
    explicit StructSysPathInfo(int cartellaShell);
    ~StructSysPathInfo();
    StructSysPathInfo(StructSysPathInfo&& altro) noexcept;
    StructSysPathInfo& operator=(StructSysPathInfo&& altro) noexcept;
    StructSysPathInfo(const StructSysPathInfo&) = delete;
    StructSysPathInfo& operator=(const StructSysPathInfo&) = delete;

    std::string Path;
    int IconIndex = 0;
    int OpenIconIndex = 0;
    // Owned: freed with ILFree by the destructor.
    LPITEMIDLIST ItemIdList = nullptr;
};

// "LARGE" or "SMALL" (exactly): a new image list owned by proprietario that shows the system
// image list of that size and leaves it alone when freed. Any other text gives nullptr.
TImageList* ImmaginiDiSistema(const std::string& dimensione, TComponent* proprietario);
