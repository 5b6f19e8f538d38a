#include "platform/rtl/SysErrors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

thread_local std::uint32_t lastError = 0;

bool ParentFolderMissing(const std::string& nativePath)
{
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return false; // the current folder exists
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    return stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode);
}

struct TMessage {
    std::uint32_t Code;
    const char* Text;
};

// Windows-1252 texts.
const TMessage messages[] = {
    {0, "Operazione completata."},
    {2, "Il file indicato non esiste."},
    {3, "Il percorso indicato non esiste."},
    {4, "Troppi file aperti."},
    {5, "Accesso negato."},
    {6, "Handle non valido."},
    {8, "Memoria insufficiente."},
    {17, "Impossibile spostare il file su un altro disco."},
    {18, "Non ci sono altri file."},
    {19, "Il disco \xE8 protetto da scrittura."},
    {31, "Il dispositivo non funziona."},
    {32, "Il file \xE8 in uso da un altro processo."},
    {33, "Una parte del file \xE8 bloccata da un altro processo."},
    {50, "Operazione non supportata."},
    {80, "Il file esiste gi\xE0."},
    {87, "Parametro non valido."},
    {112, "Spazio su disco insufficiente."},
    {122, "L'area dati passata \xE8 troppo piccola."},
    {123, "Il nome del file, della cartella o del volume non \xE8 valido."},
    {126, "Impossibile trovare la libreria indicata."},
    {127, "Impossibile trovare la funzione indicata."},
    {145, "La cartella non \xE8 vuota."},
    {158, "La regione del file non \xE8 bloccata."},
    {183, "Il file o la cartella esiste gi\xE0."},
    {193, "Il file non \xE8 un programma eseguibile su questo sistema."},
    {203, "La variabile d'ambiente indicata non esiste."},
    {206, "Il nome del file \xE8 troppo lungo."},
    {267, "Il nome della cartella non \xE8 valido."},
    {1117, "Errore di input/output del dispositivo."},
    {1155, "Nessun programma \xE8 associato a questo tipo di file."},
    {1223, "Operazione annullata dall'utente."},
};

} // namespace

std::uint32_t GetLastError()
{
    return lastError;
}

void SetLastError(std::uint32_t code)
{
    lastError = code;
}

std::uint32_t WindowsErrorFromErrno(int err, TErrnoContext context, bool parentMissing)
{
    if (context == TErrnoContext::Lock && (err == EAGAIN || err == EACCES || err == EWOULDBLOCK))
        return ERROR_LOCK_VIOLATION;
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return parentMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENOSYS:
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    case EEXIST:
        return context == TErrnoContext::CreateFile ? ERROR_FILE_EXISTS : ERROR_ALREADY_EXISTS;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

std::uint32_t SetLastErrorFromErrno(int err)
{
    return SetLastErrorFromErrno(err, TErrnoContext::General);
}

std::uint32_t SetLastErrorFromErrno(int err, TErrnoContext context)
{
    const std::uint32_t code = WindowsErrorFromErrno(err, context);
    SetLastError(code);
    return code;
}

std::uint32_t SetLastErrorFromErrno(int err, const std::string& nativePath, TErrnoContext context)
{
    const bool parentMissing = err == ENOENT && ParentFolderMissing(nativePath);
    const std::uint32_t code = WindowsErrorFromErrno(err, context, parentMissing);
    SetLastError(code);
    return code;
}

std::string SysErrorMessage(std::uint32_t code)
{
    for (const TMessage& message : messages)
        if (message.Code == code)
            return message.Text;
    return "Errore di sistema " + std::to_string(code) + ".";
}

std::string FormatSystemMessage(std::uint32_t code)
{
    return SysErrorMessage(code) + "\r\n";
}

std::uint32_t FormatMessageA(std::uint32_t flags, const void* /*source*/, std::uint32_t messageId,
                             std::uint32_t /*languageId*/, char* buffer, std::uint32_t size,
                             void* /*arguments*/)
{
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string text = FormatSystemMessage(messageId);
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        char* block = static_cast<char*>(std::malloc(text.size() + 1));
        if (block == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(block, text.c_str(), text.size() + 1);
        *reinterpret_cast<char**>(buffer) = block;
        return static_cast<std::uint32_t>(text.size());
    }
    if (text.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<std::uint32_t>(text.size());
}

void* LocalFree(void* block)
{
    std::free(block);
    return nullptr;
}
