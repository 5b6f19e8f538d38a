// The component's properties, the two engines it loads, the command records it fills for them,
// the callback they call, and Add, Delete and the extractions.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"
#include "platform/gui/Application.h"
#include "platform/os/Libraries.h"
#include "platform/os/TempFiles.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <cstddef>
#include <cstring>

namespace {

// One engine: its handle and entry points, shared by every component of the process.
struct TZipCoreLibrary {
    const char* FileName;
    const char* ExecName;
    const char* VersionName;
    int MessageBase; // +1 loaded, +2 no exec, +3 no version, +4 not loaded
    HMODULE Handle = nullptr;
    FARPROC Exec = nullptr;
    FARPROC Version = nullptr;
};

TZipCoreLibrary zipCoreLibrary{"ZIPCORE.DLL", "ZipCoreExec", "GetZipCoreVersion", 10600};
TZipCoreLibrary unzCoreLibrary{"UNZCORE.DLL", "UnzCoreExec", "GetUnzCoreVersion", 10700};

constexpr int ZipOldZipVersion = 150;   // this and below: the zip engine's old record
constexpr int ZipOldUnzipVersion = 151; // this and below: the unzip engine's old record
constexpr int ZipMemoryVersion = 160;   // extraction into memory from this version on

const char* const ZipStoreExtensions[] = {"gif", "png", "z",   "zip", "zoo", "arc",
                                          "lzh", "arj", "taz", "tgz", "lha", "exe"};

// The old records keep the new ones' first fields in the same places.
static_assert(offsetof(TZipCmdRecord, TempDir) == offsetof(TZipCmdRecordV150, Seven));
static_assert(offsetof(TUnzipCmdRecord, FileSpecs) == offsetof(TUnzipCmdRecordV151, Seven));

void ZipArchiverLoadLibrary(TZipArchiver& zip, TZipCoreLibrary& library)
{
    if (library.Handle)
        return;
    std::string name = library.FileName;
    if (!zip.DLLDirectory().empty() && FileExists(zip.DLLDirectory() + "\\" + library.FileName))
        name = zip.DLLDirectory() + "\\" + library.FileName;
    const UINT savedMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    library.Handle = LoadLibraryA(name.c_str());
    SetErrorMode(savedMode);
    if (!library.Handle) {
        zip.ShowZipMessage(library.MessageBase + 4, "");
        return;
    }
    if (zip.Trace)
        zip.ShowZipMessage(library.MessageBase + 1, "");
    library.Exec = GetProcAddress(library.Handle, library.ExecName);
    library.Version = GetProcAddress(library.Handle, library.VersionName);
    if (!library.Exec)
        zip.ShowZipMessage(library.MessageBase + 2, "");
    if (!library.Version)
        zip.ShowZipMessage(library.MessageBase + 3, "");
}

void ZipArchiverUnloadLibrary(TZipCoreLibrary& library)
{
    if (library.Handle)
        FreeLibrary(library.Handle);
    library.Handle = nullptr;
    library.Exec = nullptr;
    library.Version = nullptr;
}

// The version the engine reports, loading it for the question when nobody has.
int ZipArchiverVersion(TZipArchiver& zip, TZipCoreLibrary& library)
{
    const bool loadedHere = !library.Handle;
    if (loadedHere)
        ZipArchiverLoadLibrary(zip, library);
    if (!library.Handle)
        return 0;
    const int version = library.Version ? reinterpret_cast<TGetCoreVersion>(library.Version)() : 0;
    if (loadedHere)
        ZipArchiverUnloadLibrary(library);
    return version;
}

// Unloads at the end of an operation the engine that the operation itself loaded.
class TZipLoadedHere {
public:
    TZipLoadedHere(TZipArchiver& zip, TZipCoreLibrary& library) : FLibrary(library), FLoaded(!library.Handle)
    {
        if (FLoaded)
            ZipArchiverLoadLibrary(zip, library);
    }
    ~TZipLoadedHere()
    {
        if (FLoaded)
            ZipArchiverUnloadLibrary(FLibrary);
    }
    TZipLoadedHere(const TZipLoadedHere&) = delete;
    TZipLoadedHere& operator=(const TZipLoadedHere&) = delete;
    bool Ready() const { return FLibrary.Handle != nullptr; }

private:
    TZipCoreLibrary& FLibrary;
    bool FLoaded;
};

std::string ZipPasswordCopy(const std::string& password) { return password.substr(0, ZipPasswordMaxLength); }

std::string ZipStoreSuffixList(AddStoreExts suffixes)
{
    std::string list;
    for (int i = assGIF; i <= assEXE; ++i) {
        if (!suffixes.Contains(static_cast<AddStoreSuffix>(i)))
            continue;
        if (!list.empty())
            list += ':';
        list += std::string(".") + ZipStoreExtensions[i];
    }
    return list;
}

bool ZipIsExeName(const std::string& fileName) { return UpperCase(ExtractFileExt(fileName)) == ".EXE"; }

// The callback's text with "/" as "\" and no trailing blanks or control bytes.
std::string ZipCallbackText(const TZCallBackStruct& record)
{
    std::string text = TZipArchiver::ReplaceForwardSlash(
        std::string(record.Text, strnlen(record.Text, sizeof record.Text)).c_str());
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text;
}

// Puts a text into the callback's text field, cut to fit with its NUL.
void ZipPutCallbackText(TZCallBackStruct& record, const std::string& text, std::size_t longest)
{
    const std::size_t length = std::min(text.size(), longest);
    std::memcpy(record.Text, text.data(), length);
    record.Text[length] = '\0';
}

} // namespace

// --- Construction and properties ---------------------------------------------------------------

void TZipStream::SetPointer(const void* block, std::int64_t size)
{
    SetSize(size);
    if (size > 0)
        std::memcpy(Memory(), block, static_cast<std::size_t>(size));
    Seek(0, soFromBeginning);
}

TZipArchiver::TZipArchiver(TComponent* AOwner)
    : TComponent(AOwner), FFSpecArgs(std::make_unique<TStringList>()),
      FFSpecArgsExcl(std::make_unique<TStringList>()), FSFXIcon(std::make_unique<TIcon>()),
      FZipStream(std::make_unique<TZipStream>())
{
    ParentWindow = Application ? Application->Handle() : nullptr;
}

TZipArchiver::~TZipArchiver() = default;

void TZipArchiver::SetFSpecArgs(TStrings* value) { FFSpecArgs->Assign(value); }

void TZipArchiver::SetFSpecArgsExcl(TStrings* value) { FFSpecArgsExcl->Assign(value); }

void TZipArchiver::SetSFXIcon(TIcon* value) { FSFXIcon->Assign(value); }

void TZipArchiver::SetZipFileName(const std::string& value)
{
    FZipFileName = value;
    if (!ComponentState().Contains(csDesigning))
        List();
}

void TZipArchiver::SetDLLDirectory(const std::string& value)
{
    if (value == FDLLDirectory)
        return;
    FDLLDirectory = value;
    if (!FDLLDirectory.empty() && FDLLDirectory.back() == '\\')
        FDLLDirectory.pop_back();
}

void TZipArchiver::SetRootDir(const std::string& value)
{
    if (value == FRootDir)
        return;
    FRootDir = AppendSlash(value);
}

void TZipArchiver::SetPasswordReqCount(unsigned value) { FPasswordReqCount = std::min(value, 15u); }

void TZipArchiver::SetKeepFreeOnDisk1(std::int64_t value)
{
    if (value >= 0)
        FKeepFreeOnDisk1 = value;
}

void TZipArchiver::SetMaxVolumeSize(std::int64_t value)
{
    if (value >= 0)
        FMaxVolumeSize = value;
}

void TZipArchiver::SetMinFreeVolumeSize(int value)
{
    if (value > 0)
        FMinFreeVolumeSize = value;
}

int TZipArchiver::GetCount() const { return FZipFileName.empty() ? 0 : static_cast<int>(Entries.size()); }

void TZipArchiver::FreeZipDirEntryRecords() { Entries.clear(); }

// --- Libraries ---------------------------------------------------------------------------------

void TZipArchiver::Load_Zip_Core() { ZipArchiverLoadLibrary(*this, zipCoreLibrary); }
void TZipArchiver::Load_Unz_Core() { ZipArchiverLoadLibrary(*this, unzCoreLibrary); }
void TZipArchiver::Unload_Zip_Core() { ZipArchiverUnloadLibrary(zipCoreLibrary); }
void TZipArchiver::Unload_Unz_Core() { ZipArchiverUnloadLibrary(unzCoreLibrary); }
int TZipArchiver::GetZipVers() { return ZipArchiverVersion(*this, zipCoreLibrary); }
int TZipArchiver::GetUnzVers() { return ZipArchiverVersion(*this, unzCoreLibrary); }

// --- Records -----------------------------------------------------------------------------------

const char* TZipArchiver::KeepText(const std::string& text)
{
    FRecordTexts.push_back(text);
    return FRecordTexts.back().c_str();
}

void TZipArchiver::SetZipSwitches(TZipCmdRecord& record, const std::string& archiveName, int version)
{
    record.Handle = ParentWindow;
    record.Caller = this;
    record.Version = ZipCoreRecordVersion;
    record.Callback = &TZipArchiver::ZCallback;
    record.Trace = Trace;
    record.Password = Password.empty() ? nullptr : KeepText(ZipPasswordCopy(Password));
    const std::string suffixes = ZipStoreSuffixList(AddStoreSuffixes);
    record.StoreSuffixes = suffixes.empty() ? nullptr : KeepText(suffixes);
    record.Encrypt = AddOptions.Contains(AddEncrypt);
    record.AddHiddenFiles = AddOptions.Contains(AddHiddenFiles);
    record.AddVolume = AddOptions.Contains(AddVolume);
    record.NoDirEntries = !AddOptions.Contains(AddSeparateDirs);
    record.Verbose = Verbose || Trace;
    record.Reserved3 = 1;
    record.Level = static_cast<std::uint32_t>(AddCompLevel);
    record.NoDirNames = !AddOptions.Contains(AddDirNames);
    record.Recurse = AddOptions.Contains(AddRecurseDirs);
    record.Grow = 1;
    record.ForceDOS = AddOptions.Contains(AddForceDOS);
    record.Move = AddOptions.Contains(AddMove);
    record.DeleteEntries = 0;
    record.Update = AddOptions.Contains(AddUpdate);
    record.Freshen = AddOptions.Contains(AddFreshen) && !AddOptions.Contains(AddUpdate);
    record.ZipTime = AddOptions.Contains(AddZipTime);
    record.ArchiveName = KeepText(archiveName);
    record.Seven = ZipCoreEndMarker;
    if (version <= ZipOldZipVersion)
        return;
    record.TempDir = TempDir.empty() ? nullptr : KeepText(TempDir);
    if (version < ZipCoreLibraryVersion)
        return;
    record.RawComment = RawComment.empty() ? nullptr : KeepText(RawComment);
    record.ArchiveOnly = AddOptions.Contains(AddArchiveOnly);
    record.ResetArchive = AddOptions.Contains(AddResetArchive);
    if (FFSpecArgsExcl->Count() > 0) {
        FRecordExcludes.clear();
        for (int i = 0; i < FFSpecArgsExcl->Count(); ++i)
            FRecordExcludes.push_back(KeepText(FFSpecArgsExcl->Strings(i)));
        record.ExcludeCount = static_cast<std::uint32_t>(FRecordExcludes.size());
        record.Excludes = FRecordExcludes.data();
    }
}

void TZipArchiver::SetUnZipSwitches(TUnzipCmdRecord& record, const std::string& archiveName, int version)
{
    record.Handle = ParentWindow;
    record.Caller = this;
    record.Version = ZipCoreRecordVersion;
    record.Callback = &TZipArchiver::ZCallback;
    record.Trace = Trace;
    record.CodePage = static_cast<std::uint16_t>(CodePage);
    std::string password = ZipPasswordCopy(Password);
    if (version <= ZipOldUnzipVersion && Unattended && AddOptions.Contains(AddEncrypt) && Password.empty())
        password = std::string(80, '~'); // the old engine must find no usable password
    record.Password = KeepText(password);
    record.Test = ExtrOptions.Contains(ExtrTest);
    record.Reserved3 = 1;
    record.Verbose = Verbose || Trace;
    record.Update = ExtrOptions.Contains(ExtrUpdate);
    record.Freshen = ExtrOptions.Contains(ExtrFreshen) && !ExtrOptions.Contains(ExtrUpdate);
    record.DirNames = ExtrOptions.Contains(ExtrDirNames);
    record.OverWrite = ExtrOptions.Contains(ExtrOverWrite);
    record.ArchiveName = KeepText(archiveName);
    record.PasswordReqCount = version >= ZipMemoryVersion ? FPasswordReqCount : 0;
    record.Seven = ZipCoreEndMarker;
}

// --- The callback ------------------------------------------------------------------------------

int TZipArchiver::ZCallback(TZCallBackStruct* callbackRecord)
{
    auto* zip = static_cast<TZipArchiver*>(callbackRecord->Caller);
    return zip->ActionCallback(*callbackRecord);
}

int TZipArchiver::ActionCallback(TZCallBackStruct& record)
{
    using namespace ZipCoreApi;
    const std::string text = ZipCallbackText(record);
    switch (record.ActionCode) {
    case zcaFileBegins:
        if (OnProgress)
            OnProgress(this, NewFile, text, record.Size);
        break;
    case zcaBytesDone:
        if (OnProgress)
            OnProgress(this, ProgressUpdate, "", record.Size);
        break;
    case zcaBatchEnds:
        if (OnProgress)
            OnProgress(this, EndOfBatch, "", 0);
        break;
    case zcaMessage:
    case zcaSkipped:
        if (record.ErrorCode != 0) {
            ErrCode = static_cast<std::int8_t>(record.ErrorCode & 0xFF);
            FullErrorCode = static_cast<int>(record.ErrorCode);
        }
        if (record.ActionCode == zcaMessage) {
            LastMessage = text;
            if (OnMessage)
                OnMessage(this, static_cast<int>(record.ErrorCode), text);
        } else if (OnExtractSkipped) {
            OnExtractSkipped(this, text, static_cast<UnZipSkipTypes>(record.Size & 0xFF),
                             static_cast<int>(record.ErrorCode));
        }
        break;
    case zcaFilesToDo:
        if (OnProgress)
            OnProgress(this, TotalFiles2Process, "", record.Size);
        break;
    case zcaBytesToDo:
        TotalSize = record.Size;
        if (OnProgress)
            OnProgress(this, TotalSize2Process, "", record.Size);
        break;
    case zcaNewName:
        if (OnSetNewName) {
            std::string name(record.Text, strnlen(record.Text, sizeof record.Text));
            bool changed = false;
            OnSetNewName(this, name, changed);
            if (changed)
                ZipPutCallbackText(record, name, ZCallBackTextSize - 1);
            record.ErrorCode = changed;
        }
        break;
    case zcaPassword:
        AnswerPassword(record, text);
        break;
    case zcaCrcError:
        if (OnCRC32Error) {
            bool doExtract = true;
            OnCRC32Error(this, text, record.ErrorCode, record.Size, doExtract);
            record.ErrorCode = doExtract;
        } else {
            record.ErrorCode = 2;
        }
        break;
    case zcaOverwrite:
        if (OnExtractOverwrite) {
            bool doOverwrite = record.Size != 0;
            OnExtractOverwrite(this, text, record.ErrorCode == 1, doOverwrite);
            record.Size = doOverwrite;
        }
        break;
    case zcaFileComment:
        if (OnFileComment) {
            const char* stored = record.Text + ZCallBackCommentOffset;
            std::string comment(stored, strnlen(stored, ZCallBackTextSize - ZCallBackCommentOffset));
            bool changed = false;
            OnFileComment(this, text, comment, changed);
            ZipPutCallbackText(record, changed ? comment : std::string(), ZCallBackTextSize - 1);
            record.ErrorCode = changed;
            record.Size = static_cast<std::uint32_t>(std::min<std::size_t>(comment.size(), ZCallBackTextSize - 1));
        }
        break;
    default:
        break;
    }
    Application->ProcessMessages();
    return CancelRequested ? 1 : 0;
}

void TZipArchiver::AnswerPassword(TZCallBackStruct& record, const std::string& text)
{
    std::string newPassword;
    unsigned repeatCount = record.Size;
    StorePassword = false;
    if (OnPasswordError)
        OnPasswordError(this, newPassword, text, repeatCount);
    else
        newPassword = (record.ErrorCode & 1) ? GetAddPassword() : GetExtrPassword();
    StorePassword = true;
    if (!newPassword.empty()) {
        ZipPutCallbackText(record, newPassword, ZipPasswordMaxLength);
        record.ErrorCode = 1;
    } else {
        record.ErrorCode = 0;
        repeatCount = 0;
    }
    record.Size = std::min(repeatCount, 15u);
}

// --- Add and Delete ----------------------------------------------------------------------------

// Fills a record for the version and runs the zip engine; the number of files processed.
int TZipArchiver::RunZipEngine(int version, const std::string& target, bool deleting)
{
    TZipCmdRecord record;
    SetZipSwitches(record, target, version);
    if (deleting) {
        record.DeleteEntries = 1;
        record.Grow = 0;
        record.NoDirNames = 0;
        record.Move = 0;
        record.Freshen = 0;
        record.Update = 0;
        record.Recurse = 0;
        record.Encrypt = 0;
    }
    const int count = FFSpecArgs->Count();
    const auto exec = reinterpret_cast<TZipCoreExec>(zipCoreLibrary.Exec);
    if (!exec)
        throw Exception("ZipCoreExec");
    if (version <= ZipOldZipVersion) {
        auto old = std::make_unique<TZipCmdRecordV150>();
        std::memcpy(static_cast<void*>(old.get()), &record, offsetof(TZipCmdRecord, TempDir));
        old->Seven = ZipCoreEndMarker;
        old->FileSpecCount = static_cast<std::uint32_t>(std::min(count, ZipOldRecordSpecRoom));
        for (std::uint32_t i = 0; i < old->FileSpecCount; ++i)
            old->FileSpecs[i] = KeepText(FFSpecArgs->Strings(static_cast<int>(i)));
        CommandRecord = old.get();
        return exec(reinterpret_cast<TZipCmdRecord*>(old.get()));
    }
    std::vector<TZipFileSpec> specs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TZipFileSpec& spec = specs[static_cast<std::size_t>(i)];
        std::string text = FFSpecArgs->Strings(i);
        if (deleting) {
            spec.FileSpec = KeepText(text);
            continue;
        }
        spec.Recurse = record.Recurse;
        if (!text.empty() && (text[0] == '>' || text[0] == '|')) {
            spec.Recurse = text[0] == '>';
            text.erase(0, 1);
        }
        spec.Encrypt = record.Encrypt;
        spec.Password = record.Password;
        const std::size_t own = text.find('<');
        if (own != std::string::npos) {
            const std::string password = text.substr(own + 1);
            text.erase(own);
            spec.Encrypt = !password.empty();
            spec.Password = password.empty() ? nullptr : KeepText(ZipPasswordCopy(password));
        }
        spec.FileSpec = KeepText(text);
        spec.RootDir = FRootDir.empty() ? nullptr : KeepText(FRootDir);
    }
    record.FileSpecs = specs.data();
    record.FileSpecCount = static_cast<std::uint32_t>(count);
    CommandRecord = &record;
    return exec(&record);
}

void TZipArchiver::Add()
{
    ErrCode = 0;
    SuccessCount = 0;
    LastMessage.clear();
    if (FFSpecArgs->Count() == 0)
        return ShowZipMessage(10301, "");
    if (FZipFileName.empty())
        return ShowZipMessage(10102, "");
    if (Unattended && AddOptions.Contains(AddEncrypt) && Password.empty())
        return ShowZipMessage(10302, "");
    if (ZipBusy)
        return;
    CancelRequested = false;
    if (ZipIsExeName(FZipFileName) && FirstHeaderOffset == 0 && !FileExists(FZipFileName)) {
        const int result = ConvertSFX(true);
        if (result != 0)
            return ShowExceptionError(EZipBuilder(10304, result));
    }
    TZipLoadedHere library(*this, zipCoreLibrary);
    if (!library.Ready())
        return;
    const bool spanning = AddOptions.Contains(AddDiskSpan) || AddOptions.Contains(AddDiskSpanErase);
    std::string target = FZipFileName;
    if (spanning) {
        if (AddOptions.Contains(AddFreshen) || AddOptions.Contains(AddUpdate))
            return ShowZipMessage(10303, "");
        if (ZipIsExeName(FZipFileName))
            return ShowZipMessage(11041, "");
        target = MakeTempFileName("zip", ".tmp");
        // The name was reserved as an empty file, which the engine would refuse as a damaged
        // archive: it makes a new one under that name.
        DeleteFile(target);
        if (Verbose && OnMessage)
            OnMessage(this, 0, "Temporary zipfile: " + target);
    }
    ZipBusy = true;
    try {
        SuccessCount = RunZipEngine(GetZipVers(), target, false);
        if (spanning && SuccessCount != 0 && WriteSpan(target, FZipFileName) != 0)
            SuccessCount = 0;
    } catch (const EZipBuilder& error) {
        ShowExceptionError(error);
    } catch (...) {
        ShowZipMessage(10101, "");
    }
    if (spanning)
        DeleteFile(target);
    FFSpecArgs->Clear();
    FFSpecArgsExcl->Clear();
    FRecordTexts.clear();
    FRecordExcludes.clear();
    CommandRecord = nullptr;
    CancelRequested = false;
    ZipBusy = false;
    if (SuccessCount > 0)
        List();
}

void TZipArchiver::Delete()
{
    ErrCode = 0;
    SuccessCount = 0;
    LastMessage.clear();
    if (FFSpecArgs->Count() == 0)
        return ShowZipMessage(10401, "");
    if (!FileExists(FZipFileName))
        return ShowZipMessage(10102, "");
    if (ZipBusy)
        return;
    CancelRequested = false;
    TZipLoadedHere library(*this, zipCoreLibrary);
    if (!library.Ready())
        return;
    ZipBusy = true;
    try {
        SuccessCount = RunZipEngine(GetZipVers(), FZipFileName, true);
    } catch (const EZipBuilder& error) {
        ShowExceptionError(error);
    } catch (...) {
        ShowZipMessage(10101, "");
    }
    FFSpecArgs->Clear();
    FFSpecArgsExcl->Clear();
    FRecordTexts.clear();
    FRecordExcludes.clear();
    CommandRecord = nullptr;
    ZipBusy = false;
    if (SuccessCount >= 1)
        List();
}

// --- Extraction --------------------------------------------------------------------------------

// Fills a record for the version and runs the unzip engine; called is false when an extraction
// into memory found no entry of that name and nothing ran.
int TZipArchiver::RunUnzipEngine(int version, const std::string& archive, bool toMemory, bool& called)
{
    called = false;
    const auto exec = reinterpret_cast<TUnzCoreExec>(unzCoreLibrary.Exec);
    if (!exec)
        throw Exception("UnzCoreExec");
    TUnzipCmdRecord record;
    SetUnZipSwitches(record, archive, version);
    // Relative to the folder named, so that the process's current folder never changes.
    if (!toMemory && !ExtrBaseDir.empty() && DirectoryExists(ExtrBaseDir))
        record.ExtrBaseDir = KeepText(ExtrBaseDir);
    const int count = FFSpecArgs->Count();
    if (version <= ZipOldUnzipVersion) {
        auto old = std::make_unique<TUnzipCmdRecordV151>();
        std::memcpy(static_cast<void*>(old.get()), &record, offsetof(TUnzipCmdRecord, FileSpecs));
        old->Seven = ZipCoreEndMarker;
        old->FileSpecCount = static_cast<std::uint32_t>(std::min(count, ZipOldRecordSpecRoom));
        for (std::uint32_t i = 0; i < old->FileSpecCount; ++i)
            old->FileSpecs[i] = KeepText(FFSpecArgs->Strings(static_cast<int>(i)));
        UnzipCommandRecord = old.get();
        called = true;
        return exec(reinterpret_cast<TUnzipCmdRecord*>(old.get()));
    }
    std::vector<TUnzipFileSpec> specs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        specs[static_cast<std::size_t>(i)].FileSpec = KeepText(FFSpecArgs->Strings(i));
    record.FileSpecs = specs.data();
    record.FileSpecCount = static_cast<std::uint32_t>(count);
    if (toMemory) {
        const ZipDirEntry* found = nullptr;
        if (count > 0)
            for (const ZipDirEntry& entry : Entries)
                if (SameText(entry.FileName, FFSpecArgs->Strings(0))) {
                    found = &entry;
                    break;
                }
        if (!found)
            return 0;
        FZipStream->SetSize(found->Header.UncompressedSize);
        record.ExtractToMemory = 1;
        record.MemoryBlock = FZipStream->Memory();
        record.MemorySize = found->Header.UncompressedSize;
        record.FileSpecCount = 1;
    }
    UnzipCommandRecord = &record;
    called = true;
    return exec(&record);
}

void TZipArchiver::ExtExtract(bool toMemory)
{
    const unsigned savedRequests = FPasswordReqCount;
    ErrCode = 0;
    SuccessCount = 0;
    LastMessage.clear();
    if (!FileExists(FZipFileName))
        return ShowZipMessage(10102, "");
    CancelRequested = false;
    if (UnzipBusy)
        return;
    const bool withoutPassword = Unattended && Password.empty() && !OnPasswordError;
    if (withoutPassword) {
        FPasswordReqCount = 0;
        ShowZipMessage(10502, "");
    }
    {
        TZipLoadedHere library(*this, unzCoreLibrary);
        std::string archive = FZipFileName;
        bool joined = false;
        bool ready = library.Ready();
        if (ready && LastDiskNumber != 0) {
            archive = TempDir.empty() ? GetTempPath() : AppendSlash(TempDir);
            joined = ReadSpan(FZipFileName, archive) == 0;
            ready = joined;
        }
        const int version = ready ? GetUnzVers() : 0;
        if (ready && toMemory && version < ZipMemoryVersion) {
            ShowZipMessage(10503, "");
            ready = false;
        }
        if (ready) {
            UnzipBusy = true;
            bool called = false;
            try {
                SuccessCount = RunUnzipEngine(version, archive, toMemory, called);
            } catch (const EZipBuilder& error) {
                ShowExceptionError(error);
            } catch (...) {
                ShowZipMessage(10501, "");
            }
            if (toMemory && SuccessCount != 1)
                FZipStream->Clear();
        }
        if (joined)
            DeleteFile(archive);
        if (ready) {
            FFSpecArgs->Clear();
            FRecordTexts.clear();
            UnzipCommandRecord = nullptr;
        }
    }
    if (withoutPassword)
        SetPasswordReqCount(savedRequests);
    CancelRequested = false;
    UnzipBusy = false;
}

TZipStream* TZipArchiver::ExtractFileToStream(const std::string& fileName)
{
    if (!fileName.empty()) {
        FFSpecArgs->Clear();
        FFSpecArgs->Add(fileName);
    }
    FZipStream->Clear();
    ExtExtract(true);
    return SuccessCount == 1 ? FZipStream.get() : nullptr;
}

// --- Character conversion ----------------------------------------------------------------------

void TZipArchiver::ConvertOem2Iso(char* text, CodePageDirection direction) const
{
    if (!text || CodePage == cpNone)
        return;
    const bool oemHost = HostSystem == 0 || HostSystem == 6 || (HostSystem == 11 && HostVersion == 50);
    if (CodePage == cpAUTO && !oemHost)
        return;
    for (char* c = text; *c; ++c) {
        if (static_cast<unsigned char>(*c) < 128)
            continue;
        if (direction == cpdOEM2ISO)
            OemToCharBuffA(c, c, 1);
        else
            CharToOemBuffA(c, c, 1);
    }
}
