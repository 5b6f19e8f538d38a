#pragma once
// Components over the cabinet library: TCabinetWriter writes cabinet files through its
// compression interface, TCabinetReader reads them through its decompression interface. All file
// access goes through an exchangeable file handler; each library event becomes a virtual
// operation that calls the published event when one is assigned.

#include "archive/CabinetApi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// File operations; each sets Error to 0 on success or to the system error code.
class TCabinetFileHandler : public TComponent {
    TESS_CLASS(TCabinetFileHandler, TComponent)
public:
    using TComponent::TComponent;
    virtual INT_PTR Open(const std::string& FileName, int OpenFlags, int& Error) = 0;
    virtual UINT Read(INT_PTR Handle, void* Buffer, UINT Count, int& Error) = 0;
    virtual UINT Write(INT_PTR Handle, const void* Buffer, UINT Count, int& Error) = 0;
    virtual int Close(INT_PTR Handle, int& Error) = 0;
    virtual long Seek(INT_PTR Handle, long Distance, int& Error, int Origin) = 0;
    virtual int Delete(const std::string& FileName, int& Error) = 0;
};

// One TFileStream per open file, found by its handle.
class TStreamCabinetFileHandler : public TCabinetFileHandler {
    TESS_CLASS(TStreamCabinetFileHandler, TCabinetFileHandler)
public:
    using TCabinetFileHandler::TCabinetFileHandler;
    ~TStreamCabinetFileHandler() override;
    // Flags with 0x100 create the file; otherwise it is opened for reading, or writing with 0x1.
    // -1 when it cannot be opened or created.
    INT_PTR Open(const std::string& FileName, int OpenFlags, int& Error) override;
    UINT Read(INT_PTR Handle, void* Buffer, UINT Count, int& Error) override;
    UINT Write(INT_PTR Handle, const void* Buffer, UINT Count, int& Error) override;
    int Close(INT_PTR Handle, int& Error) override;
    long Seek(INT_PTR Handle, long Distance, int& Error, int Origin) override;
    int Delete(const std::string& FileName, int& Error) override;

private:
    TFileStream* Find(INT_PTR Handle) const;
    std::vector<std::unique_ptr<TFileStream>> FStreams;
};

class ECabinetError : public Exception {
    TESS_CLASS(ECabinetError, Exception)
public:
    ECabinetError(int errorCode, int errorType);
    int ErrorCode = 0;
    int ErrorType = 0;
};

class TCabinetInterface : public TComponent {
    TESS_CLASS(TCabinetInterface, TComponent)
public:
    using TComponent::TComponent;
    TCabinetFileHandler* FileHandler() const { return FFileHandler; }
    void SetFileHandler(TCabinetFileHandler* value) { FFileHandler = value; }
    const ERF& ErrorRecord() const { return FErf; }
    // Raises ECabinetError for a failed call with the error flag set, except the user's stop (11).
    void CheckResult(bool result);

protected:
    TCabinetFileHandler& Handler();
    TCabinetFileHandler* FFileHandler = nullptr;
    ERF FErf;
    void* FContext = nullptr;
};

using TFileStatusEvent = std::function<void(TObject* Sender, ULONG CompressedSize, ULONG UncompressedSize, long& ResultCode)>;
using TFolderStatusEvent = std::function<void(TObject* Sender, ULONG SizeCopied, ULONG TotalSize, long& ResultCode)>;
using TCabinetStatusEvent = std::function<void(TObject* Sender, ULONG PreEstimatedSize, ULONG ActualSize, long& WantedSize)>;
using TGetNextCabinetEvent = std::function<void(TObject* Sender, CCAB& CabParameters, std::string& NewCabFileName,
                                                ULONG PreviousCabEstimatedSize, bool& AbortCreation)>;
using TFilePlacedEvent = std::function<void(TObject* Sender, CCAB& CabParameters, const std::string& FileName,
                                            long FileLength, bool Continuation, bool& AbortProcessing)>;
using TGetOpenInfoEvent = std::function<void(TObject* Sender, const std::string& FileName, USHORT& Date, USHORT& Time,
                                             USHORT& Attributes, INT_PTR& FileHandle, int& ResultCode)>;
using TGetTempFileEvent = std::function<void(TObject* Sender, std::string& TempFileName, bool& Success)>;

// The four bytes of a compression value: the type, the LZX window, the Quantum level and memory.
struct TCabinetCompression {
    std::uint8_t Type = 0;
    std::uint8_t LzxWindow = 0;
    std::uint8_t QuantumLevel = 0;
    std::uint8_t QuantumMemory = 0;
};
// The library's compression type for a compression value.
TCOMP CompressionType(const TCabinetCompression& compression);

class TCabinetWriter : public TCabinetInterface {
    TESS_CLASS(TCabinetWriter, TCabinetInterface)
public:
    explicit TCabinetWriter(TComponent* AOwner);
    ~TCabinetWriter() override;

    void Open(const std::string& CabinetFileName, const std::string& DiskName, USHORT SetId, ULONG FolderThreshold,
              ULONG MaximumCabinetSize);
    // Bit 0 of Flags marks the file to be run after extraction.
    void AddFile(const std::string& SourceFile, const std::string& NameInCabinet, int Flags,
                 const TCabinetCompression& Compression);
    void FlushCabinet(bool GetNextCabinet);
    void Close();

    bool FailOnIncompressible = true;
    bool FileSupport = true;
    TFileStatusEvent OnFileStatus;
    TFolderStatusEvent OnFolderStatus;
    TCabinetStatusEvent OnCabinetStatus;
    TGetNextCabinetEvent OnGetNextCabinet;
    TFilePlacedEvent OnFilePlacedEvent;
    TGetOpenInfoEvent OnGetOpenInfo;
    TGetTempFileEvent OnGetTempFile;

    virtual void DoFileStatus(ULONG CompressedSize, ULONG UncompressedSize, long& ResultCode);
    virtual void DoFolderStatus(ULONG SizeCopied, ULONG TotalSize, long& ResultCode);
    virtual void DoCabinetStatus(ULONG PreEstimatedSize, ULONG ActualSize, long& WantedSize);
    virtual void DoGetNextCabinet(CCAB& CabParameters, std::string& NewCabFileName, ULONG PreviousCabEstimatedSize,
                                  bool& AbortCreation);
    virtual void DoFilePlaced(CCAB& CabParameters, const std::string& FileName, long FileLength, bool Continuation,
                              bool& AbortProcessing);
    virtual void DoGetTempFile(std::string& TempFileName, bool& Success);
    virtual void DoGetOpenInfo(const std::string& FileName, USHORT& Date, USHORT& Time, USHORT& Attributes,
                               INT_PTR& FileHandle, int& ResultCode);

private:
    CCAB FCab;
};

enum TCpuType { cptAuto, cpt80286, cpt80386 };
enum TFileCopyAction { fcaAbort = 0, fcaSkip = 1, fcaCopy = 2, fcaDefaultCopy = 3 };

using TCabinetInfoEvent = std::function<void(TObject* Sender, const std::string& CabinetName,
                                             const std::string& CabinetDisk, const std::string& CabinetPath,
                                             USHORT SetId, USHORT CabinetNumber, bool& Abort)>;
using TPartialFileEvent = std::function<void(TObject* Sender, const std::string& FileName,
                                             const std::string& FirstCabinetName, const std::string& FirstCabinetDisk,
                                             bool& Abort)>;
using TCopyFileEvent = std::function<void(TObject* Sender, const std::string& FileName, long UncompressedSize,
                                          USHORT Date, USHORT Time, USHORT Attribs, TFileCopyAction& Action,
                                          INT_PTR& DestFileHandle)>;
using TCloseCopiedFileEvent = std::function<void(TObject* Sender, const std::string& FileName, INT_PTR FileHandle,
                                                 USHORT Date, USHORT Time, USHORT Attribs, USHORT FolderIndex,
                                                 bool Execute, bool& Abort)>;
using TNextCabinetEvent = std::function<void(TObject* Sender, const std::string& NextCabinetName,
                                             const std::string& NextCabinetDisk, std::string& CabinetPath,
                                             FDIERROR ErrorIndication, bool& Abort)>;

class TCabinetReader : public TCabinetInterface {
    TESS_CLASS(TCabinetReader, TCabinetInterface)
public:
    explicit TCabinetReader(TComponent* AOwner);
    ~TCabinetReader() override;

    void Extract(const std::string& CabinetFile, const std::string& Destination, int Flags = 0);
    void Close();
    const std::string& DestinationPath() const { return FDestinationPath; }
    // Opens a destination file through the file handler (binary, create) and remembers its name,
    // so that the default close step sets that file's time and attributes.
    INT_PTR OpenDestination(const std::string& FileName);

    TCpuType CpuType = cptAuto;
    bool FileSupport = true;
    TCabinetInfoEvent OnCabinetInfo;
    TPartialFileEvent OnPartialFile;
    TCopyFileEvent OnCopyFile;
    TCloseCopiedFileEvent OnCloseCopiedFile;
    TNextCabinetEvent OnNextCabinet;

    virtual void DoCabinetInfo(const std::string& CabinetName, const std::string& CabinetDisk,
                               const std::string& CabinetPath, USHORT SetId, USHORT CabinetNumber, bool& Abort);
    virtual void DoPartialFile(const std::string& FileName, const std::string& FirstCabinetName,
                               const std::string& FirstCabinetDisk, bool& Abort);
    virtual void DoCopyFile(const std::string& FileName, long UncompressedSize, USHORT Date, USHORT Time,
                            USHORT Attribs, TFileCopyAction& Action, INT_PTR& DestFileHandle);
    virtual void DoCloseCopiedFile(const std::string& FileName, INT_PTR FileHandle, USHORT Date, USHORT Time,
                                   USHORT Attribs, USHORT FolderIndex, bool Execute, bool& Abort);
    virtual void DoNextCabinet(const std::string& NextCabinetName, const std::string& NextCabinetDisk,
                               std::string& CabinetPath, FDIERROR ErrorIndication, bool& Abort);

private:
    friend struct TCabinetReaderAccess;
    std::string FDestinationPath;
    std::map<INT_PTR, std::string> FOpenedNames;
};
