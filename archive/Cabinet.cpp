#include "archive/Cabinet.h"

#include "archive/ApiError.h"
#include "platform/os/FileApi.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/System.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// --- File handler ---------------------------------------------------------------------------------

TStreamCabinetFileHandler::~TStreamCabinetFileHandler() = default;

TFileStream* TStreamCabinetFileHandler::Find(INT_PTR Handle) const
{
    for (const auto& stream : FStreams)
        if (stream->Handle() == Handle)
            return stream.get();
    return nullptr;
}

INT_PTR TStreamCabinetFileHandler::Open(const std::string& FileName, int OpenFlags, int& Error)
{
    int mode = fmCreate;
    if ((OpenFlags & _O_CREAT) == 0)
        mode = ((OpenFlags & _O_WRONLY) ? fmOpenWrite : fmOpenRead)
               | ((OpenFlags & _O_EXCL) ? fmShareExclusive : fmShareDenyNone);
    try {
        FStreams.push_back(std::make_unique<TFileStream>(FileName, mode));
    } catch (const Exception&) {
        Error = static_cast<int>(GetLastError());
        if (Error == 0)
            Error = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    Error = 0;
    return FStreams.back()->Handle();
}

UINT TStreamCabinetFileHandler::Read(INT_PTR Handle, void* Buffer, UINT Count, int& Error)
{
    TFileStream* stream = Find(Handle);
    if (!stream) {
        Error = -1;
        return 0;
    }
    const int moved = stream->Read(Buffer, static_cast<int>(Count));
    if (moved < 0) {
        Error = static_cast<int>(GetLastError());
        return static_cast<UINT>(-1);
    }
    Error = static_cast<UINT>(moved) == Count ? 0 : static_cast<int>(GetLastError());
    return static_cast<UINT>(moved);
}

UINT TStreamCabinetFileHandler::Write(INT_PTR Handle, const void* Buffer, UINT Count, int& Error)
{
    TFileStream* stream = Find(Handle);
    if (!stream) {
        Error = -1;
        return 0;
    }
    const int moved = stream->Write(Buffer, static_cast<int>(Count));
    if (moved < 0 || static_cast<UINT>(moved) != Count) {
        Error = static_cast<int>(GetLastError());
        if (Error == 0)
            Error = ERROR_DISK_FULL;
        return moved < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(moved);
    }
    Error = 0;
    return static_cast<UINT>(moved);
}

int TStreamCabinetFileHandler::Close(INT_PTR Handle, int& Error)
{
    Error = 0;
    FStreams.erase(std::remove_if(FStreams.begin(), FStreams.end(),
                                  [Handle](const auto& stream) { return stream->Handle() == Handle; }),
                   FStreams.end());
    return 0;
}

long TStreamCabinetFileHandler::Seek(INT_PTR Handle, long Distance, int& Error, int Origin)
{
    TFileStream* stream = Find(Handle);
    if (!stream) {
        Error = -1;
        return -1;
    }
    const std::int64_t position = stream->Seek(Distance, Origin);
    Error = position < 0 ? static_cast<int>(GetLastError()) : 0;
    return static_cast<long>(position);
}

int TStreamCabinetFileHandler::Delete(const std::string& FileName, int& Error)
{
    if (DeleteFile(FileName)) {
        Error = 0;
        return 0;
    }
    Error = static_cast<int>(GetLastError());
    return -1;
}

// --- Shared part ----------------------------------------------------------------------------------

ECabinetError::ECabinetError(int errorCode, int errorType)
    : Exception(Format("Cabinet error %d (type %d)", {errorCode, errorType})), ErrorCode(errorCode),
      ErrorType(errorType)
{
}

void TCabinetInterface::CheckResult(bool result)
{
    if (!result && FErf.fError && FErf.erfOper != FDIERROR_USER_ABORT)
        throw ECabinetError(FErf.erfOper, FErf.erfType);
}

TCabinetFileHandler& TCabinetInterface::Handler()
{
    if (!FFileHandler)
        throw Exception("No file handler");
    return *FFileHandler;
}

TCOMP CompressionType(const TCabinetCompression& compression)
{
    switch (compression.Type) {
    case tcompTYPE_QUANTUM:
        return static_cast<TCOMP>(2 + compression.QuantumLevel * 16 + compression.QuantumMemory * 256);
    case tcompTYPE_LZX:
        return static_cast<TCOMP>(3 + compression.LzxWindow * 256);
    default:
        return compression.Type;
    }
}

namespace {

void CopyText(char* target, std::size_t size, const std::string& text)
{
    std::memset(target, 0, size);
    std::memcpy(target, text.data(), std::min(text.size(), size - 1));
}

// --- Compression callbacks: the context value is the writer ------------------------------------

TCabinetWriter& WriterOf(void* pv)
{
    return *static_cast<TCabinetWriter*>(pv);
}

void* CabAlloc(ULONG cb)
{
    return std::malloc(cb == 0 ? 1 : cb);
}

void CabFree(void* memory)
{
    std::free(memory);
}

INT_PTR FciOpen(char* pszFile, int oflag, int, int* err, void* pv)
{
    *err = 0;
    if (!WriterOf(pv).FileHandler())
        return -1;
    return WriterOf(pv).FileHandler()->Open(pszFile, oflag, *err);
}

UINT FciRead(INT_PTR hf, void* memory, UINT cb, int* err, void* pv)
{
    *err = 0;
    return WriterOf(pv).FileHandler()->Read(hf, memory, cb, *err);
}

UINT FciWrite(INT_PTR hf, void* memory, UINT cb, int* err, void* pv)
{
    *err = 0;
    return WriterOf(pv).FileHandler()->Write(hf, memory, cb, *err);
}

int FciClose(INT_PTR hf, int* err, void* pv)
{
    *err = 0;
    return WriterOf(pv).FileHandler()->Close(hf, *err);
}

long FciSeek(INT_PTR hf, long dist, int seektype, int* err, void* pv)
{
    *err = 0;
    return WriterOf(pv).FileHandler()->Seek(hf, dist, *err, seektype);
}

int FciDelete(char* pszFile, int* err, void* pv)
{
    *err = 0;
    return WriterOf(pv).FileHandler()->Delete(pszFile, *err);
}

BOOL FciGetTempFile(char* pszTempName, int cbTempName, void* pv)
{
    std::string name;
    bool success = false;
    WriterOf(pv).DoGetTempFile(name, success);
    if (!success || static_cast<int>(name.size()) >= cbTempName)
        return FALSE;
    CopyText(pszTempName, static_cast<std::size_t>(cbTempName), name);
    return TRUE;
}

int FciFilePlaced(PCCAB pccab, char* pszFile, long cbFile, BOOL fContinuation, void* pv)
{
    bool abort = false;
    WriterOf(pv).DoFilePlaced(*pccab, pszFile, cbFile, fContinuation != FALSE, abort);
    return abort ? -1 : 0;
}

INT_PTR FciGetOpenInfo(char* pszName, USHORT* pdate, USHORT* ptime, USHORT* pattribs, int* err, void* pv)
{
    *err = 0;
    INT_PTR handle = -1;
    WriterOf(pv).DoGetOpenInfo(pszName, *pdate, *ptime, *pattribs, handle, *err);
    return handle;
}

BOOL FciGetNextCabinet(PCCAB pccab, ULONG cbPrevCab, void* pv)
{
    std::string name;
    bool abort = false;
    WriterOf(pv).DoGetNextCabinet(*pccab, name, cbPrevCab, abort);
    // Without a name the next cabinet would take the previous one's and overwrite it.
    if (abort || name.empty())
        return FALSE;
    CopyText(pccab->szCab, sizeof pccab->szCab, ExtractFileName(name));
    CopyText(pccab->szCabPath, sizeof pccab->szCabPath, ExtractFilePath(name));
    return TRUE;
}

long FciStatus(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv)
{
    long result = 0;
    switch (typeStatus) {
    case statusFile:
        WriterOf(pv).DoFileStatus(cb1, cb2, result);
        return result;
    case statusFolder:
        WriterOf(pv).DoFolderStatus(cb1, cb2, result);
        return result;
    case statusCabinet:
        WriterOf(pv).DoCabinetStatus(cb1, cb2, result);
        return result;
    default:
        return -1;
    }
}

} // namespace

// --- Writer ---------------------------------------------------------------------------------------

TCabinetWriter::TCabinetWriter(TComponent* AOwner) : TCabinetInterface(AOwner) {}

TCabinetWriter::~TCabinetWriter()
{
    Close();
}

void TCabinetWriter::Open(const std::string& CabinetFileName, const std::string& DiskName, USHORT SetId,
                          ULONG FolderThreshold, ULONG MaximumCabinetSize)
{
    Close();
    FCab = CCAB{};
    FCab.cb = MaximumCabinetSize;
    FCab.cbFolderThresh = FolderThreshold;
    FCab.fFailOnIncompressible = FailOnIncompressible ? 1 : 0;
    FCab.setID = SetId;
    CopyText(FCab.szDisk, sizeof FCab.szDisk, DiskName);
    CopyText(FCab.szCab, sizeof FCab.szCab, ExtractFileName(CabinetFileName));
    CopyText(FCab.szCabPath, sizeof FCab.szCabPath, ExtractFilePath(CabinetFileName));
    FContext = FCICreate(&FErf, FciFilePlaced, CabAlloc, CabFree, FciOpen, FciRead, FciWrite, FciClose, FciSeek,
                         FciDelete, FciGetTempFile, &FCab, this);
    CheckResult(FContext != nullptr);
}

void TCabinetWriter::AddFile(const std::string& SourceFile, const std::string& NameInCabinet, int Flags,
                             const TCabinetCompression& Compression)
{
    std::string source = SourceFile;
    std::string name = NameInCabinet;
    CheckResult(FCIAddFile(FContext, source.data(), name.data(), (Flags & 1) ? TRUE : FALSE, FciGetNextCabinet,
                           FciStatus, FciGetOpenInfo, CompressionType(Compression))
                != FALSE);
}

void TCabinetWriter::FlushCabinet(bool GetNextCabinet)
{
    CheckResult(FCIFlushCabinet(FContext, GetNextCabinet ? TRUE : FALSE, FciGetNextCabinet, FciStatus) != FALSE);
}

void TCabinetWriter::Close()
{
    if (FContext) {
        FCIDestroy(FContext);
        FContext = nullptr;
    }
}

void TCabinetWriter::DoFileStatus(ULONG CompressedSize, ULONG UncompressedSize, long& ResultCode)
{
    if (OnFileStatus)
        OnFileStatus(this, CompressedSize, UncompressedSize, ResultCode);
}

void TCabinetWriter::DoFolderStatus(ULONG SizeCopied, ULONG TotalSize, long& ResultCode)
{
    if (OnFolderStatus)
        OnFolderStatus(this, SizeCopied, TotalSize, ResultCode);
}

void TCabinetWriter::DoCabinetStatus(ULONG PreEstimatedSize, ULONG ActualSize, long& WantedSize)
{
    if (OnCabinetStatus)
        OnCabinetStatus(this, PreEstimatedSize, ActualSize, WantedSize);
}

void TCabinetWriter::DoGetNextCabinet(CCAB& CabParameters, std::string& NewCabFileName,
                                      ULONG PreviousCabEstimatedSize, bool& AbortCreation)
{
    if (OnGetNextCabinet)
        OnGetNextCabinet(this, CabParameters, NewCabFileName, PreviousCabEstimatedSize, AbortCreation);
}

void TCabinetWriter::DoFilePlaced(CCAB& CabParameters, const std::string& FileName, long FileLength,
                                  bool Continuation, bool& AbortProcessing)
{
    if (OnFilePlacedEvent)
        OnFilePlacedEvent(this, CabParameters, FileName, FileLength, Continuation, AbortProcessing);
}

void TCabinetWriter::DoGetTempFile(std::string& TempFileName, bool& Success)
{
    if (OnGetTempFile) {
        OnGetTempFile(this, TempFileName, Success);
        return;
    }
    TempFileName = ApiTempFileName(ApiTempFolder(), ExtractFileName(ParamStr(0)).substr(0, 3), 0);
    Success = !TempFileName.empty();
}

void TCabinetWriter::DoGetOpenInfo(const std::string& FileName, USHORT& Date, USHORT& Time, USHORT& Attributes,
                                   INT_PTR& FileHandle, int& ResultCode)
{
    if (OnGetOpenInfo) {
        OnGetOpenInfo(this, FileName, Date, Time, Attributes, FileHandle, ResultCode);
        return;
    }
    Attributes = 0;
    if (FileSupport) {
        const DWORD attributes = GetFileAttributesA(FileName.c_str());
        Attributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : static_cast<USHORT>(attributes & 0xFFFF);
    }
    FileHandle = Handler().Open(FileName, _O_BINARY | _O_RDONLY, ResultCode);
    if (FileHandle == -1)
        return;
    Date = 0;
    Time = 0;
    FILETIME written;
    if (FileSupport && GetFileTime(static_cast<int>(FileHandle), nullptr, nullptr, &written))
        FileTimeToDosDateTime(&written, &Date, &Time);
}

// --- Decompression callbacks: the file callbacks carry no context, so they use the reader that
// last created or used its context. One cabinet is read at a time.

namespace {

TCabinetReader* currentReader = nullptr;

TCabinetFileHandler* CurrentHandler()
{
    return currentReader ? currentReader->FileHandler() : nullptr;
}

INT_PTR FdiOpen(char* pszFile, int oflag, int)
{
    int err = 0;
    TCabinetFileHandler* handler = CurrentHandler();
    return handler ? handler->Open(pszFile, oflag, err) : -1;
}

UINT FdiRead(INT_PTR hf, void* pv, UINT cb)
{
    int err = 0;
    TCabinetFileHandler* handler = CurrentHandler();
    return handler ? handler->Read(hf, pv, cb, err) : static_cast<UINT>(-1);
}

UINT FdiWrite(INT_PTR hf, void* pv, UINT cb)
{
    int err = 0;
    TCabinetFileHandler* handler = CurrentHandler();
    return handler ? handler->Write(hf, pv, cb, err) : static_cast<UINT>(-1);
}

int FdiClose(INT_PTR hf)
{
    int err = 0;
    TCabinetFileHandler* handler = CurrentHandler();
    return handler ? handler->Close(hf, err) : -1;
}

long FdiSeek(INT_PTR hf, long dist, int seektype)
{
    int err = 0;
    TCabinetFileHandler* handler = CurrentHandler();
    return handler ? handler->Seek(hf, dist, err, seektype) : -1;
}

std::string Text(const char* text)
{
    return text ? std::string(text) : std::string();
}

} // namespace

struct TCabinetReaderAccess {
    static INT_PTR Notify(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin)
    {
        TCabinetReader& reader = *static_cast<TCabinetReader*>(pfdin->pv);
        bool abort = false;
        switch (fdint) {
        case fdintCABINET_INFO:
            reader.DoCabinetInfo(Text(pfdin->psz1), Text(pfdin->psz2), Text(pfdin->psz3), pfdin->setID,
                                 pfdin->iCabinet, abort);
            return abort ? -1 : 0;
        case fdintPARTIAL_FILE:
            reader.DoPartialFile(Text(pfdin->psz1), Text(pfdin->psz2), Text(pfdin->psz3), abort);
            return abort ? -1 : 0;
        case fdintCOPY_FILE: {
            TFileCopyAction action = fcaDefaultCopy;
            INT_PTR handle = 0;
            reader.DoCopyFile(Text(pfdin->psz1), pfdin->cb, pfdin->date, pfdin->time, pfdin->attribs, action,
                              handle);
            if (action == fcaDefaultCopy) {
                handle = reader.OpenDestination(reader.DestinationPath() + Text(pfdin->psz1));
                action = fcaCopy;
            }
            if (action == fcaCopy)
                return handle;
            return static_cast<INT_PTR>(action) - 1;
        }
        case fdintCLOSE_FILE_INFO:
            reader.DoCloseCopiedFile(Text(pfdin->psz1), pfdin->hf, pfdin->date, pfdin->time, pfdin->attribs,
                                     pfdin->iFolder, pfdin->cb != 0, abort);
            return abort ? -1 : 1;
        case fdintNEXT_CABINET: {
            std::string path = Text(pfdin->psz3);
            reader.DoNextCabinet(Text(pfdin->psz1), Text(pfdin->psz2), path, pfdin->fdie, abort);
            // The whole path goes back: cut short, the next cabinet would be looked for elsewhere.
            CopyText(pfdin->psz3, CB_MAX_CAB_PATH, path);
            return abort ? -1 : 0;
        }
        default:
            return 0;
        }
    }
};

// --- Reader ---------------------------------------------------------------------------------------

TCabinetReader::TCabinetReader(TComponent* AOwner) : TCabinetInterface(AOwner) {}

TCabinetReader::~TCabinetReader()
{
    Close();
    if (currentReader == this)
        currentReader = nullptr;
}

void TCabinetReader::Extract(const std::string& CabinetFile, const std::string& Destination, int Flags)
{
    currentReader = this;
    if (!FContext) {
        FContext = FDICreate(CabAlloc, CabFree, FdiOpen, FdiRead, FdiWrite, FdiClose, FdiSeek,
                             static_cast<int>(CpuType) - 1, &FErf);
        CheckResult(FContext != nullptr);
    }
    FDestinationPath = AddBackslash(Destination);
    std::string name = ExtractFileName(CabinetFile);
    std::string folder = ExtractFilePath(CabinetFile);
    const BOOL result = FDICopy(FContext, name.data(), folder.data(), Flags, TCabinetReaderAccess::Notify, nullptr, this);
    FOpenedNames.clear();
    CheckResult(result != FALSE);
}

void TCabinetReader::Close()
{
    if (FContext) {
        FDIDestroy(FContext);
        FContext = nullptr;
    }
}

INT_PTR TCabinetReader::OpenDestination(const std::string& FileName)
{
    int err = 0;
    const INT_PTR handle = Handler().Open(FileName, _O_BINARY | _O_CREAT, err);
    if (handle != -1)
        FOpenedNames[handle] = FileName;
    return handle;
}

void TCabinetReader::DoCabinetInfo(const std::string& CabinetName, const std::string& CabinetDisk,
                                   const std::string& CabinetPath, USHORT SetId, USHORT CabinetNumber, bool& Abort)
{
    if (OnCabinetInfo)
        OnCabinetInfo(this, CabinetName, CabinetDisk, CabinetPath, SetId, CabinetNumber, Abort);
}

void TCabinetReader::DoPartialFile(const std::string& FileName, const std::string& FirstCabinetName,
                                   const std::string& FirstCabinetDisk, bool& Abort)
{
    if (OnPartialFile)
        OnPartialFile(this, FileName, FirstCabinetName, FirstCabinetDisk, Abort);
}

void TCabinetReader::DoCopyFile(const std::string& FileName, long UncompressedSize, USHORT Date, USHORT Time,
                                USHORT Attribs, TFileCopyAction& Action, INT_PTR& DestFileHandle)
{
    if (OnCopyFile) {
        Action = fcaCopy;
        OnCopyFile(this, FileName, UncompressedSize, Date, Time, Attribs, Action, DestFileHandle);
    } else {
        Action = fcaDefaultCopy;
    }
}

void TCabinetReader::DoCloseCopiedFile(const std::string& FileName, INT_PTR FileHandle, USHORT Date, USHORT Time,
                                       USHORT Attribs, USHORT FolderIndex, bool Execute, bool& Abort)
{
    if (OnCloseCopiedFile) {
        OnCloseCopiedFile(this, FileName, FileHandle, Date, Time, Attribs, FolderIndex, Execute, Abort);
        return;
    }
    // A stored date the calendar does not know (a writer that kept none writes 0) leaves the
    // file's own time: refusing it would lose the extracted file.
    FILETIME written;
    if (FileSupport && DosDateTimeToFileTime(Date, Time, &written))
        CheckApiResult(SetFileTime(static_cast<int>(FileHandle), nullptr, nullptr, &written) != FALSE);
    int err = 0;
    Handler().Close(FileHandle, err);
    const auto opened = FOpenedNames.find(FileHandle);
    const std::string path = opened != FOpenedNames.end() ? opened->second : FDestinationPath + FileName;
    if (opened != FOpenedNames.end())
        FOpenedNames.erase(opened);
    if (FileSupport)
        CheckApiResult(SetFileAttributesA(path.c_str(), Attribs & 0x27) != FALSE);
}

void TCabinetReader::DoNextCabinet(const std::string& NextCabinetName, const std::string& NextCabinetDisk,
                                   std::string& CabinetPath, FDIERROR ErrorIndication, bool& Abort)
{
    if (OnNextCabinet)
        OnNextCabinet(this, NextCabinetName, NextCabinetDisk, CabinetPath, ErrorIndication, Abort);
}
