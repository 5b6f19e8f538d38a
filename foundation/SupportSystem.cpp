#include "foundation/SupportSystem.h"

#include "platform/gui/Application.h"
#include "platform/gui/ImageList.h"
#include "platform/os/FileApi.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Processes.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/os/ShellFolders.h"
#include "platform/rtl/SysErrors.h"

#include <utility>
#include <vector>

HANDLE AvviaComando(const std::string& rigaDiComando)
{
    STARTUPINFOA avvio;
    avvio.cb = sizeof avvio;
    avvio.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION processo;
    // The call may write into the command line, as on Windows: it gets its own copy.
    std::vector<char> riga(rigaDiComando.begin(), rigaDiComando.end());
    riga.push_back('\0');
    if (!CreateProcessA(nullptr, riga.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &avvio, &processo)) {
        const DWORD errore = GetLastError();
        MostraErroreSistema(Application->Handle(), "Error executing command", rigaDiComando, errore);
        return nullptr;
    }
    // Nobody waits for the program: closing the handles hands a running child to the layer's
    // reaper, so none is left behind when it ends. The value still tells the caller it started.
    CloseHandle(processo.hThread);
    CloseHandle(processo.hProcess);
    return processo.hProcess;
}

void MostraErroreSistema(HWND proprietario, const std::string& titolo, const std::string& file, DWORD codice)
{
    const std::string testo = "Trying to open \"" + file + "\"\r\n" + FormatSystemMessage(codice);
    MessageBoxA(proprietario, testo, titolo, MB_OK | MB_ICONWARNING);
}

StructSysPathInfo::StructSysPathInfo(int cartellaShell)
{
    LPITEMIDLIST elenco = nullptr;
    if (SHGetSpecialFolderLocation(Application->Handle(), cartellaShell, &elenco) != S_OK || elenco == nullptr)
        return;
    ItemIdList = elenco;
    char percorso[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListA(ItemIdList, percorso))
        Path = percorso;
    const char* comeNome = reinterpret_cast<const char*>(ItemIdList);
    SHFILEINFOA informazioni;
    SHGetFileInfoA(comeNome, 0, &informazioni, sizeof informazioni, SHGFI_PIDL | SHGFI_SYSICONINDEX);
    IconIndex = informazioni.iIcon;
    SHFILEINFOA aperta;
    SHGetFileInfoA(comeNome, 0, &aperta, sizeof aperta, SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_OPENICON);
    OpenIconIndex = aperta.iIcon;
}

StructSysPathInfo::~StructSysPathInfo()
{
    ILFree(ItemIdList);
}

StructSysPathInfo::StructSysPathInfo(StructSysPathInfo&& altro) noexcept
    : Path(std::move(altro.Path)), IconIndex(altro.IconIndex), OpenIconIndex(altro.OpenIconIndex),
      ItemIdList(std::exchange(altro.ItemIdList, nullptr))
{
}

StructSysPathInfo& StructSysPathInfo::operator=(StructSysPathInfo&& altro) noexcept
{
    if (this != &altro) {
        ILFree(ItemIdList);
        Path = std::move(altro.Path);
        IconIndex = altro.IconIndex;
        OpenIconIndex = altro.OpenIconIndex;
        ItemIdList = std::exchange(altro.ItemIdList, nullptr);
    }
    return *this;
}

TImageList* ImmaginiDiSistema(const std::string& dimensione, TComponent* proprietario)
{
    UINT misura = 0;
    if (dimensione == "LARGE")
        misura = SHGFI_LARGEICON;
    else if (dimensione == "SMALL")
        misura = SHGFI_SMALLICON;
    else
        return nullptr;
    const StructSysPathInfo desktop(CSIDL_DESKTOPDIRECTORY);
    auto* immagini = new TImageList(proprietario);
    immagini->SetShareImages(true);
    immagini->SetMasked(false);
    // The shell answers a request for an item's system icon index with the system list itself.
    SHFILEINFOA informazioni;
    DWORD_PTR sistema = SHGetFileInfoA(reinterpret_cast<const char*>(desktop.ItemIdList), 0, &informazioni,
                                       sizeof informazioni, SHGFI_PIDL | SHGFI_SYSICONINDEX | misura);
    // Many Linux desktops have no desktop folder: any folder's name, without a look at the disk,
    // gives the same list, so that the file lists still show their icons.
    if (sistema == 0)
        sistema = SHGetFileInfoA("Desktop", FILE_ATTRIBUTE_DIRECTORY, &informazioni, sizeof informazioni,
                                 SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | misura);
    immagini->SetHandle(reinterpret_cast<HIMAGELIST>(sistema));
    return immagini;
}
