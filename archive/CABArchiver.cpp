#include "archive/CABArchiver.h"

#include "archive/ApiError.h"
#include "archive/myfile.h"
#include "archive/mystring.h"
#include "platform/gui/Application.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Threads.h"

#include <cctype>

namespace {

std::size_t LastSeparator(const std::string& path)
{
    return path.find_last_of("\\/");
}

// The path without its drive: "C:\a\b" gives "a\b". A path of this system has no drive, so its
// leading separator goes instead; inside a cabinet the separator is "\".
std::string WithoutDrive(const std::string& path)
{
    std::string result = path;
    if (result.size() >= 3 && std::isalpha(static_cast<unsigned char>(result[0])) && result[1] == ':'
        && (result[2] == '\\' || result[2] == '/'))
        result.erase(0, 3);
    else if (!result.empty() && (result[0] == '/' || result[0] == '\\') && !(result.size() > 1 && result[1] == '\\'))
        result.erase(0, 1);
    for (char& letter : result)
        if (letter == '/')
            letter = '\\';
    return result;
}

// A stored name that could land outside the extraction folder: absolute, with a drive, or with a
// ".." part.
bool UnsafeName(const std::string& name)
{
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos)
        return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = name.find_first_of("\\/", start);
        const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..")
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

std::string BareNameOf(const std::string& name)
{
    const std::size_t at = LastSeparator(name);
    return at == std::string::npos ? name : name.substr(at + 1);
}

std::string FolderOf(const std::string& name)
{
    const std::size_t at = LastSeparator(name);
    return at == std::string::npos ? std::string() : name.substr(0, at);
}

TCabinetCompression CompressionValue(TCompression compression)
{
    TCabinetCompression value;
    switch (compression) {
    case TCompression::None:
        break;
    case TCompression::MsZip:
        value.Type = tcompTYPE_MSZIP;
        break;
    default:
        value.Type = tcompTYPE_LZX;
        value.LzxWindow = static_cast<std::uint8_t>(15 + static_cast<int>(compression) - static_cast<int>(TCompression::Lzx15));
        break;
    }
    return value;
}

// The name of the cabinet number of a set: "%s%d.CAB" from the first file's name without
// extension, in its folder.
std::string SetMemberName(const std::string& firstFile, int number)
{
    const std::string bare = ChangeFileExt(ExtractFileName(firstFile), "");
    return ExtractFilePath(firstFile) + FormatText("%s%d.CAB", {bare, number});
}

} // namespace

// --- Items ----------------------------------------------------------------------------------------

void TCABItem::SetFileName(const std::string& fileName)
{
    Path = fileName;
    BareName = BareNameOf(fileName);
    Folder = FolderOf(fileName);
    BareNameUpper = FoldedUpperCase(BareName);
    FolderUpper = FoldedUpperCase(Folder);
    PathUpper = FoldedUpperCase(Path);
    NameInCabinet = BareNames ? BareName : WithoutDrive(fileName);
    FullPath = fileName;
    NameInCabinetUpper = FoldedUpperCase(NameInCabinet);
    Key = FoldedUpperCase(WithoutDrive(fileName));
}

TCABItem* TCABContents::AddItem()
{
    FItems.push_back(std::make_unique<TCABItem>());
    TCABItem* item = FItems.back().get();
    item->BareNames = FileDirExtraction;
    item->Compression = CompressionValue(FArchiver->Compression);
    AddObject(std::to_string(Count()), item);
    return item;
}

TCABItem* TCABContents::AddFile(const std::string& fileName)
{
    TCABItem* item = AddItem();
    item->SetFileName(fileName);
    const std::int64_t size = FileSizeOf(fileName);
    item->Size = size < 0 || size > 0x7FFFFFFF ? -1 : static_cast<std::int32_t>(size);
    return item;
}

TCABItem* TCABContents::Item(int index) const
{
    return static_cast<TCABItem*>(Objects(index));
}

int TCABContents::IndexOfName(const std::string& name) const
{
    const std::string key = FoldedUpperCase(WithoutDrive(name));
    for (int index = 0; index < Count(); ++index)
        if (Item(index)->Key == key)
            return index;
    return -1;
}

std::int64_t TCABContents::TotalSize() const
{
    std::int64_t total = 0;
    for (int index = 0; index < Count(); ++index)
        total += Item(index)->Size;
    return total;
}

void TCABContents::Clear()
{
    TStringList::Clear();
    FItems.clear();
}

// --- Archiver -------------------------------------------------------------------------------------

TCABArchiver::TCABArchiver(TComponent* AOwner)
    : TComponent(AOwner), FWriter(new TCabinetWriter(this)), FReader(new TCabinetReader(this)),
      FHandler(new TStreamCabinetFileHandler(this)), FContents(std::make_unique<TCABContents>(this))
{
    FWriter->SetFileHandler(FHandler);
    FReader->SetFileHandler(FHandler);

    FWriter->OnFileStatus = [this](TObject*, ULONG, ULONG uncompressed, long& result) {
        FPlaced += uncompressed;
        FCurrent += uncompressed;
        CABMessage(FPlaced, FTotal, FStatus, 3);
        CABMessage(FCurrent, FCurrentSize, FStatus, 5);
        result = 1;
    };
    FWriter->OnFilePlacedEvent = [this](TObject*, CCAB&, const std::string& name, long, bool, bool& abort) {
        FCurrent = 0;
        CABMessage(0, 10, name, 4);
        CABMessage(10, 0, name, 5);
        abort = false;
    };
    FWriter->OnGetNextCabinet = [this](TObject*, CCAB& cab, std::string& name, ULONG, bool& abort) {
        name = SetMemberName(FileName, cab.iCab);
        cab.iDisk = cab.iCab;
        abort = false;
    };
    FReader->OnCopyFile = [this](TObject*, const std::string& name, long size, USHORT, USHORT, USHORT,
                                 TFileCopyAction& action, INT_PTR& handle) { OnCopy(name, size, action, handle); };
    FReader->OnNextCabinet = [](TObject*, const std::string&, const std::string&, std::string&, FDIERROR,
                                bool& abort) { abort = false; };
}

TCABArchiver::~TCABArchiver() = default;

void TCABArchiver::CABMessage(std::int64_t position, std::int64_t total, const std::string& message, TStat mode)
{
    if (OnCABMessage)
        OnCABMessage(nullptr, position, total, message, mode, AnsiTime());
    if (Application)
        Application->ProcessMessages();
}

void TCABArchiver::Start()
{
    FStartTick = GetTickCount();
}

void TCABArchiver::End()
{
    FDuration = GetTickCount() - FStartTick;
    CABMessage(0, 10, "", 1);
    CABMessage(10, 0, "", 2);
    CABMessage(0, 10, "", 4);
    CABMessage(10, 0, "", 5);
    CABMessage(10, 0, "", 6);
}

std::string TCABArchiver::AnsiTime() const
{
    const std::uint32_t seconds = (GetTickCount() - FStartTick) / 1000;
    return FormatText("%.02dh%.02d.%.02d", {static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                                            static_cast<int>(seconds % 60)});
}

void TCABArchiver::Raise(int code)
{
    static const char* const texts[] = {"List is empty",
                                        "FileName is empty",
                                        "No extract directory select",
                                        "The Cab file doesn't exist",
                                        "The extraction is impossible!",
                                        "Impossible to create the ouput directory",
                                        "The spanning size is not correct!",
                                        "The spanning is not need!"};
    if (code >= 1 && code <= 8)
        throw Exception(std::string("TCABArchiver: ") + texts[code - 1]);
}

TCABItem* TCABArchiver::GetCabItem(int index) const
{
    return FContents->Item(index);
}

void TCABArchiver::ClearContents()
{
    FContents->Clear();
}

bool TCABArchiver::Compress()
{
    Start();
    FMode = 4;
    CABMessage(0, 0, "Preparation in run...", 0);
    if (FContents->Count() == 0)
        Raise(1);
    if (FileName.empty())
        Raise(2);
    std::int64_t partSize = 2147483647;
    if (MultiDisk) {
        const std::int64_t unit = TypeCut == TDisk::InKilobyte ? 1024 : TypeCut == TDisk::InMegabyte ? 1048576 : 1;
        if (Size <= 0)
            Raise(7);
        if (Size == 2147483647)
            Raise(8);
        partSize = std::min<std::int64_t>(static_cast<std::int64_t>(Size) * unit, 2147483647);
    }
    CreateFolderPath(ExtractFileDir(FileName));
    // Split sets keep bit 0 in the options, but no file is marked to be run: a cabinet tool would
    // start every file of the set.
    FOptions = MultiDisk ? 1 : 0;
    try {
        FWriter->Open(FileName, "Disk", 48, 900000, static_cast<ULONG>(partSize));
        FTotal = FContents->TotalSize();
        FPlaced = 0;
        CABMessage(0, FTotal, FormatText("%s in preparation", {FileName}), 1);
        for (int index = 0; index < FContents->Count(); ++index) {
            TCABItem* item = FContents->Item(index);
            CABMessage(0, item->Size, item->BareName, 4);
            FStatus = "Compress " + item->BareName;
            FCurrent = 0;
            FCurrentSize = item->Size;
            FWriter->AddFile(item->FullPath, item->NameInCabinet, MultiDisk ? 0 : FOptions, item->Compression);
        }
        CABMessage(0, 0, "Flushing Buffers...", 0);
        FWriter->FlushCabinet(true);
    } catch (...) {
        FWriter->Close(); // deletes the temporary files
        throw;
    }
    CABMessage(0, 0, "Closing Cabinet...", 0);
    FWriter->Close();
    CABMessage(0, 0, "Compression of " + FileName + " done!", 0);
    End();
    return true;
}

void TCABArchiver::CheckExtractPreconditions()
{
    if (FileName.empty())
        Raise(2);
    if (ExtractDir.empty())
        Raise(3);
    if (!FileExists(FileName))
        Raise(4);
    if (!DirectoryExists(ExtractDir)) {
        CreateFolderPath(ExtractDir);
        if (!DirectoryExists(ExtractDir))
            Raise(6);
    }
}

void TCABArchiver::CreateItemFolders(bool selectedOnly)
{
    if (FileDirExtraction())
        return;
    for (int index = 0; index < FContents->Count(); ++index) {
        const TCABItem* item = FContents->Item(index);
        if ((selectedOnly && !item->Selected) || UnsafeName(item->NameInCabinet) || item->Folder.empty())
            continue;
        CreateFolderPath(JoinPath(ExtractDir, item->Folder));
    }
}

void TCABArchiver::RunReader(int mode)
{
    FMode = mode;
    FReader->Extract(FileName, ExtractDir);
}

void TCABArchiver::OnCopy(const std::string& name, long size, TFileCopyAction& action, INT_PTR& handle)
{
    action = fcaSkip;
    switch (FMode) {
    case 1: {
        TCABItem* item = FContents->AddItem();
        item->SetFileName(name);
        item->Size = static_cast<std::int32_t>(size);
        FFound += size;
        return;
    }
    case 2:
        if (FContents->IndexOfName(name) >= 0)
            FFound += size;
        return;
    case 3: {
        const int index = FContents->IndexOfName(name);
        if (index < 0 || !FContents->Item(index)->Selected)
            return;
        break;
    }
    default:
        break;
    }
    if (UnsafeName(name)) {
        CABMessage(0, 0, "Skipped unsafe name " + name, 0);
        return;
    }
    FTotal += size;
    CABMessage(FTotal, 0, name, FMode == 3 ? 3 : 2);
    if (FileDirExtraction()) {
        handle = FReader->OpenDestination(JoinPath(ExtractDir, BareNameOf(name)));
        action = handle == -1 ? fcaAbort : fcaCopy;
        return;
    }
    if (!FolderOf(name).empty())
        CreateFolderPath(JoinPath(ExtractDir, FolderOf(name)));
    action = fcaDefaultCopy;
}

bool TCABArchiver::ExtractAll()
{
    Start();
    CABMessage(0, 0, "Preparation in run...", 0);
    CheckExtractPreconditions();
    const std::string cabinetName = ExtractFileName(FileName);
    try {
        ClearContents();
        FFound = 0;
        RunReader(1);
        CreateItemFolders(false);
        CABMessage(0, 0, "Preparing " + cabinetName, 1);
        FTotal = 0;
        RunReader(0);
        CABMessage(0, 0, "Extract all files from " + cabinetName + " done!", 0);
    } catch (const Exception&) {
        if (!FSpanning)
            Raise(5);
    }
    End();
    return true;
}

bool TCABArchiver::ExtractFile()
{
    Start();
    CABMessage(0, 0, "Preparation in run...", 0);
    if (FContents->Count() == 0)
        Raise(1);
    CheckExtractPreconditions();
    const std::string cabinetName = ExtractFileName(FileName);
    try {
        CreateItemFolders(true);
        FFound = 0;
        RunReader(2);
        CABMessage(0, 0, "Preparing " + cabinetName, 0);
        CABMessage(0, 0, "", 1);
        FTotal = 0;
        RunReader(3);
        CABMessage(0, 0, "Extract selected files from " + cabinetName + " done!", 0);
    } catch (const Exception&) {
        if (!FSpanning)
            Raise(5);
    }
    End();
    return true;
}

bool TCABArchiver::ExtractSpan()
{
    struct TSpanMark {
        bool& flag;
        explicit TSpanMark(bool& value) : flag(value) { flag = true; }
        ~TSpanMark() { flag = false; }
    } mark(FSpanning);
    const std::string first = FileName;
    ExtractAll();
    for (int number = 1;; ++number) {
        const std::string member = SetMemberName(first, number);
        if (!FileExists(member))
            break;
        FileName = member;
        ExtractAll();
    }
    return true;
}

std::int64_t TCABArchiver::GetContents()
{
    if (FileName.empty())
        Raise(2);
    if (!FileExists(FileName))
        Raise(4);
    ClearContents();
    FFound = 0;
    RunReader(1);
    return FContents->TotalSize();
}
