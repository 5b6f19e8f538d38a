#pragma once
// TCABArchiver packs a list of files into a cabinet file, optionally split into parts of a given
// size, and extracts all or the selected files of a cabinet or of a split set. It reports every
// step through OnCABMessage; failures raise.

#include "archive/Cabinet.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class TCompression { None, MsZip, Lzx15, Lzx16, Lzx17, Lzx18, Lzx19, Lzx20, Lzx21 };
enum class TDisk { InOctect, InKilobyte, InMegabyte };
// The display a message is for, 0 to 6: 0 the status line, 1 and 2 the whole work, 3 the bytes
// placed, 4 and 5 the current file, 6 the time.
using TStat = int;

using TCABMessageEvent = std::function<void(TObject* Sender, std::int64_t Position, std::int64_t Total,
                                            const std::string& Message, TStat Mode, const std::string& Lapse)>;

class TCABArchiver;

class TCABItem : public TObject {
    TESS_CLASS(TCABItem, TObject)
public:
    // Fills every field from a file name (a path on disk, or a name stored in a cabinet).
    void SetFileName(const std::string& fileName);

    std::string BareName;
    std::string Folder;
    std::string Path;
    std::string BareNameUpper;
    std::string FolderUpper;
    std::string PathUpper;
    std::string NameInCabinet;
    std::string FullPath;
    std::string NameInCabinetUpper;
    std::string Key; // the path without its drive, folded upper case
    bool BareNames = false;
    bool Selected = false;
    std::int32_t Size = -1;
    TCabinetCompression Compression;
};

class TCABContents : public TStringList {
    TESS_CLASS(TCABContents, TStringList)
public:
    explicit TCABContents(TCABArchiver* archiver) : FArchiver(archiver) {}

    // A new item with the list's bare-names flag and the archiver's compression.
    TCABItem* AddItem();
    // Adds the item of a file on disk.
    TCABItem* AddFile(const std::string& fileName);
    TCABItem* Item(int index) const;
    // The index of the item whose key matches name in folded upper case, or -1.
    int IndexOfName(const std::string& name) const;
    std::int64_t TotalSize() const;
    void Clear() override;

    bool FileDirExtraction = false;

private:
    TCABArchiver* FArchiver;
    std::vector<std::unique_ptr<TCABItem>> FItems;
};

class TCABArchiver : public TComponent {
    TESS_CLASS(TCABArchiver, TComponent)
public:
    explicit TCABArchiver(TComponent* AOwner);
    ~TCABArchiver() override;

    bool Compress();
    bool ExtractAll();
    bool ExtractFile();
    bool ExtractSpan();
    std::int64_t GetContents();
    void ClearContents();
    TCABItem* GetCabItem(int index) const;
    TCABContents& Contents() { return *FContents; }

    void CABMessage(std::int64_t position, std::int64_t total, const std::string& message, TStat mode);
    void Start();
    void End();
    std::string AnsiTime() const;
    void Raise(int code);

    std::string FileName;
    TCABMessageEvent OnCABMessage;
    bool FileDirExtraction() const { return FContents->FileDirExtraction; }
    void SetFileDirExtraction(bool value) { FContents->FileDirExtraction = value; }
    std::string ExtractDir;
    TCompression Compression = TCompression::None;
    bool MultiDisk = false;
    TDisk TypeCut = TDisk::InOctect;
    int Size = 0;

    TCabinetWriter& Writer() { return *FWriter; }
    TCabinetReader& Reader() { return *FReader; }

private:
    void CheckExtractPreconditions();
    void CreateItemFolders(bool selectedOnly);
    void RunReader(int mode);
    void OnCopy(const std::string& name, long size, TFileCopyAction& action, INT_PTR& handle);

    TCabinetWriter* FWriter;
    TCabinetReader* FReader;
    TStreamCabinetFileHandler* FHandler;
    std::unique_ptr<TCABContents> FContents;
    int FMode = 0;
    int FOptions = 0;
    std::uint32_t FStartTick = 0;
    std::uint32_t FDuration = 0;
    std::int64_t FPlaced = 0;
    std::int64_t FCurrent = 0;
    std::int64_t FCurrentSize = 0;
    std::int64_t FTotal = 0;
    std::int64_t FFound = 0;
    std::string FStatus;
    bool FSpanning = false;
};
