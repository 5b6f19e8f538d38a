// The decompression side of the cabinet engine, over libmspack, which decodes stored, MSZIP, LZX
// and Quantum data. Every read of a cabinet goes through the caller's open, read, seek and close
// callbacks; every write goes to the handle the caller gave for the file being copied.
//
// A cabinet is read on its own: a file continued from a cabinet that was not given is reported
// as partial and skipped, and so is every file of that continued folder, which cannot be decoded
// without its start. A folder that goes on in the next cabinet is followed into it (and on while
// the following cabinet holds nothing but that folder), and its files found there are copied too.

#include "archive/CabinetApi.h"
#include "archive/CabinetFormat.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <mspack.h>

namespace CabinetReaderEngine {

using namespace CabinetFormat;

// The name libmspack is given for the file being copied: it maps to the caller's handle.
const char* const outputName = "\x01output";

struct TFdiContext;


struct TEngineFile {
    TFdiContext* Owner;
    INT_PTR Handle;
    bool Output;
};

struct TContinuations {
    bool FromPrev = false;
    bool ToNext = false;
};

struct TFdiContext {
    PFNALLOC Alloc = nullptr;
    PFNFREE Free = nullptr;
    PFNOPEN Open = nullptr;
    PFNREAD Read = nullptr;
    PFNWRITE Write = nullptr;
    PFNCLOSE Close = nullptr;
    PFNSEEK Seek = nullptr;
    PERF Erf = nullptr;
    mspack_system System{};
    mscab_decompressor* Decompressor = nullptr;
    INT_PTR OutputHandle = 0;
    // libmspack keeps the name it opened a cabinet by, and opens it again by that name.
    std::deque<std::string> CabinetNames;

    bool Fail(FDIERROR error)
    {
        Erf->erfOper = error;
        Erf->erfType = 0;
        Erf->fError = TRUE;
        return false;
    }

    bool Copy(const std::string& cabinetName, const std::string& cabinetPath, PFNFDINOTIFY notify, void* user);

private:
    bool ReadContinuations(const std::string& path, TContinuations& marks);
    bool FollowFolder(mscabd_cabinet* cabinet, const std::string& startPath, PFNFDINOTIFY notify, void* user);
    bool CopyOne(mscabd_file* file, USHORT folderIndex, PFNFDINOTIFY notify, void* user);
    FDIERROR OpenError() const;
};

// libmspack hands its decoders a copy of the system record, so the record cannot lead back to the
// context: the context at work is kept here. One cabinet is read at a time.
TFdiContext* currentContext = nullptr;

mspack_file* EngineOpen(mspack_system*, const char* filename, int mode)
{
    TFdiContext* owner = currentContext;
    if (std::strcmp(filename, outputName) == 0 && mode == MSPACK_SYS_OPEN_WRITE)
        return reinterpret_cast<mspack_file*>(new TEngineFile{owner, owner->OutputHandle, true});
    if (mode != MSPACK_SYS_OPEN_READ)
        return nullptr;
    const INT_PTR handle = owner->Open(const_cast<char*>(filename), _O_RDONLY | _O_BINARY, 0);
    if (handle == -1)
        return nullptr;
    return reinterpret_cast<mspack_file*>(new TEngineFile{owner, handle, false});
}

void EngineClose(mspack_file* file)
{
    auto* engineFile = reinterpret_cast<TEngineFile*>(file);
    if (!engineFile)
        return;
    if (!engineFile->Output)
        engineFile->Owner->Close(engineFile->Handle);
    delete engineFile;
}

int EngineRead(mspack_file* file, void* buffer, int bytes)
{
    auto* engineFile = reinterpret_cast<TEngineFile*>(file);
    if (!engineFile || engineFile->Output || bytes < 0)
        return -1;
    const UINT got = engineFile->Owner->Read(engineFile->Handle, buffer, static_cast<UINT>(bytes));
    if (got == static_cast<UINT>(-1) || got > static_cast<UINT>(bytes))
        return -1;
    return static_cast<int>(got);
}

int EngineWrite(mspack_file* file, void* buffer, int bytes)
{
    auto* engineFile = reinterpret_cast<TEngineFile*>(file);
    if (!engineFile || !engineFile->Output || bytes < 0)
        return -1;
    const UINT written = engineFile->Owner->Write(engineFile->Handle, buffer, static_cast<UINT>(bytes));
    if (written == static_cast<UINT>(-1) || written > static_cast<UINT>(bytes))
        return -1;
    return static_cast<int>(written);
}

int EngineSeek(mspack_file* file, off_t offset, int mode)
{
    auto* engineFile = reinterpret_cast<TEngineFile*>(file);
    if (!engineFile || engineFile->Output || offset > 0x7FFFFFFF || offset < -0x7FFFFFFF)
        return -1;
    const int origin = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
    return engineFile->Owner->Seek(engineFile->Handle, static_cast<long>(offset), origin) < 0 ? -1 : 0;
}

off_t EngineTell(mspack_file* file)
{
    auto* engineFile = reinterpret_cast<TEngineFile*>(file);
    if (!engineFile || engineFile->Output)
        return -1;
    return engineFile->Owner->Seek(engineFile->Handle, 0, SEEK_CUR);
}

void EngineMessage(mspack_file*, const char*, ...)
{
    // libmspack's remarks on damaged data: the error codes say what the caller needs.
}

void* EngineAlloc(mspack_system*, size_t bytes)
{
    if (bytes > 0xFFFFFFFFu || !currentContext)
        return nullptr;
    return currentContext->Alloc(static_cast<ULONG>(bytes));
}

void EngineFree(void* block)
{
    if (block && currentContext)
        currentContext->Free(block);
}

void EngineCopy(void* source, void* target, size_t bytes)
{
    std::memmove(target, source, bytes);
}

std::uint16_t Get16(const unsigned char* data)
{
    return static_cast<std::uint16_t>(data[0] | (data[1] << 8));
}

std::uint32_t Get32(const unsigned char* data)
{
    return static_cast<std::uint32_t>(Get16(data)) | (static_cast<std::uint32_t>(Get16(data + 2)) << 16);
}

bool SafeCabinetName(const char* name)
{
    if (!name || !*name)
        return false;
    const std::string text(name);
    return text.find('/') == std::string::npos && text.find('\\') == std::string::npos
           && text.find(':') == std::string::npos && text != "." && text != "..";
}

USHORT DosDate(const mscabd_file* file)
{
    return static_cast<USHORT>(((file->date_y - 1980) << 9) | (file->date_m << 5) | file->date_d);
}

USHORT DosTime(const mscabd_file* file)
{
    return static_cast<USHORT>((file->time_h << 11) | (file->time_m << 5) | (file->time_s / 2));
}

// Which folders of a cabinet span into its neighbours: libmspack keeps the file entries' folder
// marks to itself, so they are read here.
bool TFdiContext::ReadContinuations(const std::string& path, TContinuations& marks)
{
    const INT_PTR file = Open(const_cast<char*>(path.c_str()), _O_RDONLY | _O_BINARY, 0);
    if (file == -1)
        return Fail(FDIERROR_CABINET_NOT_FOUND);
    unsigned char header[headerSize];
    bool ok = Read(file, header, headerSize) == static_cast<UINT>(headerSize);
    if (!ok || std::memcmp(header, "MSCF", 4) != 0) {
        Close(file);
        return Fail(FDIERROR_NOT_A_CABINET);
    }
    if (header[25] != versionMajor) {
        Close(file);
        return Fail(FDIERROR_UNKNOWN_CABINET_VERSION);
    }
    const std::uint32_t filesOffset = Get32(header + 16);
    const int fileCount = Get16(header + 28);
    ok = Seek(file, static_cast<long>(filesOffset & 0x7FFFFFFF), SEEK_SET) >= 0;
    unsigned char entry[fileEntrySize];
    char nameByte = 0;
    for (int index = 0; ok && index < fileCount; ++index) {
        ok = Read(file, entry, fileEntrySize) == static_cast<UINT>(fileEntrySize);
        for (int length = 0; ok; ++length) {
            ok = Read(file, &nameByte, 1) == 1 && length < CB_MAX_FILENAME;
            if (nameByte == 0)
                break;
        }
        if (!ok)
            break;
        const std::uint16_t folder = Get16(entry + 8);
        marks.FromPrev = marks.FromPrev || folder == continuedFromPrev || folder == continuedPrevAndNext;
        marks.ToNext = marks.ToNext || folder == continuedToNext || folder == continuedPrevAndNext;
    }
    Close(file);
    return ok || Fail(FDIERROR_CORRUPT_CABINET);
}

FDIERROR TFdiContext::OpenError() const
{
    switch (Decompressor->last_error(Decompressor)) {
    case MSPACK_ERR_OPEN:
        return FDIERROR_CABINET_NOT_FOUND;
    case MSPACK_ERR_SIGNATURE:
        return FDIERROR_NOT_A_CABINET;
    case MSPACK_ERR_NOMEMORY:
        return FDIERROR_ALLOC_FAIL;
    default:
        return FDIERROR_CORRUPT_CABINET;
    }
}

// Appends the cabinets the last folder of cabinet goes on into, asking for each one.
bool TFdiContext::FollowFolder(mscabd_cabinet* cabinet, const std::string& startPath, PFNFDINOTIFY notify, void* user)
{
    std::string path = startPath;
    mscabd_cabinet* tail = cabinet;
    for (;;) {
        if (!SafeCabinetName(tail->nextname))
            return Fail(FDIERROR_CORRUPT_CABINET);
        char pathBuffer[CB_MAX_CAB_PATH] = {};
        std::strncpy(pathBuffer, path.c_str(), sizeof pathBuffer - 1);
        FDINOTIFICATION info;
        info.psz1 = tail->nextname;
        info.psz2 = tail->nextinfo ? tail->nextinfo : const_cast<char*>("");
        info.psz3 = pathBuffer;
        info.pv = user;
        info.setID = tail->set_id;
        info.iCabinet = static_cast<USHORT>(tail->set_index + 1);
        if (notify(fdintNEXT_CABINET, &info) == -1)
            return Fail(FDIERROR_USER_ABORT);
        pathBuffer[sizeof pathBuffer - 1] = 0;
        path = pathBuffer;
        CabinetNames.push_back(path + tail->nextname);
        const std::string& full = CabinetNames.back();
        TContinuations marks;
        if (!ReadContinuations(full, marks))
            return false;
        mscabd_cabinet* next = Decompressor->open(Decompressor, full.c_str());
        if (!next)
            return Fail(OpenError());
        int folders = 0;
        for (mscabd_folder* folder = next->folders; folder; folder = folder->next)
            ++folders;
        if (Decompressor->append(Decompressor, tail, next) != MSPACK_ERR_OK) {
            Decompressor->close(Decompressor, next);
            return Fail(FDIERROR_WRONG_CABINET);
        }
        // The folder goes on only while the next cabinet holds nothing else.
        if (!(marks.ToNext && folders == 1 && (next->flags & MSCAB_HDR_NEXTCAB)))
            return true;
        tail = next;
    }
}

bool TFdiContext::CopyOne(mscabd_file* file, USHORT folderIndex, PFNFDINOTIFY notify, void* user)
{
    FDINOTIFICATION info;
    info.psz1 = file->filename;
    info.cb = static_cast<long>(file->length);
    info.date = DosDate(file);
    info.time = DosTime(file);
    info.attribs = static_cast<USHORT>(file->attribs);
    info.pv = user;
    info.iFolder = folderIndex;
    const INT_PTR handle = notify(fdintCOPY_FILE, &info);
    if (handle == -1)
        return Fail(FDIERROR_USER_ABORT);
    if (handle == 0)
        return true;
    OutputHandle = handle;
    const int result = Decompressor->extract(Decompressor, file, outputName);
    if (result != MSPACK_ERR_OK) {
        // The caller still owns the handle: it is told, so that it can close it.
        info.hf = handle;
        info.cb = 0;
        notify(fdintCLOSE_FILE_INFO, &info);
        switch (result) {
        case MSPACK_ERR_WRITE:
            return Fail(FDIERROR_TARGET_FILE);
        case MSPACK_ERR_NOMEMORY:
            return Fail(FDIERROR_ALLOC_FAIL);
        case MSPACK_ERR_DATAFORMAT:
            return Fail(file->folder && MSCABD_COMP_METHOD(file->folder->comp_type) > MSCAB_COMP_LZX
                            ? FDIERROR_BAD_COMPR_TYPE
                            : FDIERROR_CORRUPT_CABINET);
        default:
            return Fail(FDIERROR_CORRUPT_CABINET);
        }
    }
    info.hf = handle;
    info.cb = (file->attribs & _A_EXEC) ? 1 : 0;
    const INT_PTR answer = notify(fdintCLOSE_FILE_INFO, &info);
    if (answer == -1 || answer == 0)
        return Fail(FDIERROR_USER_ABORT);
    return true;
}

bool TFdiContext::Copy(const std::string& cabinetName, const std::string& cabinetPath, PFNFDINOTIFY notify, void* user)
{
    CabinetNames.clear();
    CabinetNames.push_back(cabinetPath + cabinetName);
    const std::string& full = CabinetNames.back();
    TContinuations marks;
    if (!ReadContinuations(full, marks))
        return false;
    mscabd_cabinet* cabinet = Decompressor->open(Decompressor, full.c_str());
    if (!cabinet)
        return Fail(OpenError());

    std::string pathText = cabinetPath;
    FDINOTIFICATION info;
    info.psz1 = cabinet->nextname ? cabinet->nextname : const_cast<char*>("");
    info.psz2 = cabinet->nextinfo ? cabinet->nextinfo : const_cast<char*>("");
    info.psz3 = pathText.data();
    info.pv = user;
    info.setID = cabinet->set_id;
    info.iCabinet = cabinet->set_index;
    bool ok = notify(fdintCABINET_INFO, &info) != -1 || Fail(FDIERROR_USER_ABORT);

    mscabd_folder* firstFolder = cabinet->folders;
    mscabd_folder* lastFolder = firstFolder;
    while (lastFolder && lastFolder->next)
        lastFolder = lastFolder->next;
    std::set<mscabd_file*> ownFiles;
    for (mscabd_file* file = cabinet->files; file; file = file->next)
        ownFiles.insert(file);

    bool followed = false;
    std::set<std::tuple<mscabd_folder*, unsigned, std::string>> copied;
    for (mscabd_file* file = cabinet->files; ok && file; file = file->next) {
        const bool own = ownFiles.count(file) > 0;
        if (!own && !(followed && file->folder == lastFolder))
            continue;
        if (!copied.insert({file->folder, file->offset, file->filename}).second)
            continue;
        if (own && marks.FromPrev && file->folder == firstFolder) {
            FDINOTIFICATION partial;
            partial.psz1 = file->filename;
            partial.psz2 = cabinet->prevname ? cabinet->prevname : const_cast<char*>("");
            partial.psz3 = cabinet->previnfo ? cabinet->previnfo : const_cast<char*>("");
            partial.pv = user;
            ok = notify(fdintPARTIAL_FILE, &partial) != -1 || Fail(FDIERROR_USER_ABORT);
            continue;
        }
        if (own && marks.ToNext && file->folder == lastFolder && !followed) {
            ok = FollowFolder(cabinet, cabinetPath, notify, user);
            followed = true;
            if (!ok)
                break;
        }
        USHORT folderIndex = 0;
        for (mscabd_folder* folder = cabinet->folders; folder && folder != file->folder; folder = folder->next)
            ++folderIndex;
        ok = CopyOne(file, folderIndex, notify, user);
    }
    Decompressor->close(Decompressor, cabinet);
    return ok;
}

} // namespace CabinetReaderEngine

HFDI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
               PFNCLOSE pfnclose, PFNSEEK pfnseek, int, PERF perf)
{
    using namespace CabinetReaderEngine;
    if (!perf)
        return nullptr;
    *perf = ERF{};
    if (!pfnalloc || !pfnfree || !pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek) {
        perf->erfOper = FDIERROR_ALLOC_FAIL;
        perf->fError = TRUE;
        return nullptr;
    }
    auto* context = new TFdiContext;
    context->Alloc = pfnalloc;
    context->Free = pfnfree;
    context->Open = pfnopen;
    context->Read = pfnread;
    context->Write = pfnwrite;
    context->Close = pfnclose;
    context->Seek = pfnseek;
    context->Erf = perf;
    mspack_system& system = context->System;
    system.open = EngineOpen;
    system.close = EngineClose;
    system.read = EngineRead;
    system.write = EngineWrite;
    system.seek = EngineSeek;
    system.tell = EngineTell;
    system.message = EngineMessage;
    system.alloc = EngineAlloc;
    system.free = EngineFree;
    system.copy = EngineCopy;
    system.null_ptr = nullptr;
    currentContext = context;
    context->Decompressor = mspack_create_cab_decompressor(&system);
    if (!context->Decompressor) {
        delete context;
        perf->erfOper = FDIERROR_ALLOC_FAIL;
        perf->fError = TRUE;
        return nullptr;
    }
    return context;
}

BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int, PFNFDINOTIFY pfnfdin, PFNFDIDECRYPT, void* pvUser)
{
    using namespace CabinetReaderEngine;
    auto* context = static_cast<TFdiContext*>(hfdi);
    if (!context || !pszCabinet || !pfnfdin)
        return FALSE;
    *context->Erf = ERF{};
    currentContext = context;
    return context->Copy(pszCabinet, pszCabPath ? pszCabPath : "", pfnfdin, pvUser) ? TRUE : FALSE;
}

BOOL FDIDestroy(HFDI hfdi)
{
    using namespace CabinetReaderEngine;
    auto* context = static_cast<TFdiContext*>(hfdi);
    if (!context)
        return FALSE;
    currentContext = context;
    mspack_destroy_cab_decompressor(context->Decompressor);
    delete context;
    currentContext = nullptr;
    return TRUE;
}
