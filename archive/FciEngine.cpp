// The compression side of the cabinet engine. Files are cut into data blocks of 32 KiB of input
// that go, compressed, into a temporary file through the caller's callbacks; a cabinet file is
// written from it when it is flushed or full. A full cabinet ends on a block boundary; the
// folder then continues in the next cabinet of the set and a file cut there is listed in both.
//
// MSZIP blocks are raw deflate streams made by zlib, each with the previous 32 KiB of input as
// its dictionary. LZX is written as uncompressed LZX blocks, one per 32 KiB frame: every reader
// decodes them, but the data takes no less room than its input.

#include "archive/CabinetApi.h"
#include "archive/CabinetFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

namespace CabinetWriterEngine {

using namespace CabinetFormat;

struct TFciFile {
    std::string Name;
    std::uint32_t Size = 0;
    std::uint32_t Offset = 0; // uncompressed offset in the whole folder
    int Folder = 0;           // index among the folders of the cabinet
    USHORT Date = 0;
    USHORT Time = 0;
    USHORT Attribs = 0;
    bool FromPrev = false;
};

struct TFciFolder {
    std::uint32_t DataStart = 0; // offset of its first block in the data file
    std::uint32_t Blocks = 0;
    TCOMP Type = tcompTYPE_NONE;
};

class TFciContext {
public:
    PERF Erf = nullptr;
    PFNFCIFILEPLACED FilePlaced = nullptr;
    PFNFCIALLOC Alloc = nullptr;
    PFNFCIFREE Free = nullptr;
    PFNFCIOPEN Open = nullptr;
    PFNFCIREAD Read = nullptr;
    PFNFCIWRITE Write = nullptr;
    PFNFCICLOSE Close = nullptr;
    PFNFCISEEK Seek = nullptr;
    PFNFCIDELETE Delete = nullptr;
    PFNFCIGETTEMPFILE GetTempFile = nullptr;
    CCAB Cab;
    void* Pv = nullptr;

    ~TFciContext();
    bool AddFile(char* source, char* name, BOOL execute, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status,
                 PFNFCIGETOPENINFO openInfo, TCOMP type);
    bool FlushFolder(PFNFCIGETNEXTCABINET next, PFNFCISTATUS status);
    bool FlushCabinet(bool getNext, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status);
    void DeleteTemporary();

private:
    // Data of the cabinet being built.
    std::vector<TFciFolder> folders_;
    std::vector<TFciFile> files_;
    std::uint32_t dataBytes_ = 0;
    INT_PTR dataFile_ = -1;
    std::string dataFileName_;
    bool hasPrev_ = false;
    std::string prevCab_;
    std::string prevDisk_;

    // The open folder.
    bool folderOpen_ = false;
    bool folderStartedBefore_ = false; // it began in an earlier cabinet of the set
    std::uint32_t folderEmitted_ = 0;  // uncompressed bytes already in whole blocks
    std::uint32_t stayBefore_ = 0;     // while a split block cuts the cabinet: the end of that block
    std::uint32_t folderFed_ = 0;      // uncompressed bytes given to the folder
    std::vector<unsigned char> pending_;
    std::vector<unsigned char> dictionary_;
    std::unique_ptr<z_stream> deflater_;

    PFNFCIGETNEXTCABINET next_ = nullptr;
    PFNFCISTATUS status_ = nullptr;

    bool Fail(int oper, int type = 0);
    bool EnsureDataFile();
    bool OpenFolder(TCOMP type);
    bool CloseFolder();
    bool Feed(const unsigned char* data, std::size_t count);
    bool EmitBlock(std::size_t count);
    bool WriteDataPiece(const unsigned char* data, std::size_t size, std::size_t uncompressed);
    bool Compress(const unsigned char* data, std::size_t count, std::vector<unsigned char>& out);
    std::uint32_t EstimatedSize(std::size_t extra) const;
    std::uint32_t HeaderSize(bool hasNext, std::size_t nextNames) const;
    bool CutCabinet();
    bool WriteCabinet(bool hasNext, bool folderContinues, const std::string& nextCab, const std::string& nextDisk);
    bool WriteAll(INT_PTR file, const void* data, std::size_t count, int oper);
    bool ReportStatus(UINT type, ULONG first, ULONG second);
};

std::uint32_t Checksum(const unsigned char* data, std::size_t count, std::uint32_t seed)
{
    std::uint32_t sum = seed;
    std::size_t words = count / 4;
    for (; words > 0; --words, data += 4)
        sum ^= static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8)
               | (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    std::uint32_t rest = 0;
    switch (count % 4) {
    case 3:
        rest |= static_cast<std::uint32_t>(*data++) << 16;
        [[fallthrough]];
    case 2:
        rest |= static_cast<std::uint32_t>(*data++) << 8;
        [[fallthrough]];
    case 1:
        rest |= *data;
        break;
    default:
        break;
    }
    return sum ^ rest;
}

void Put16(std::vector<unsigned char>& out, unsigned value)
{
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutText(std::vector<unsigned char>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

bool SupportedType(TCOMP type)
{
    switch (type & tcompMASK_TYPE) {
    case tcompTYPE_NONE:
    case tcompTYPE_MSZIP:
        return (type & ~tcompMASK_TYPE) == 0;
    case tcompTYPE_LZX: {
        const int window = (type & tcompMASK_LZX_WINDOW) >> tcompSHIFT_LZX_WINDOW;
        return window >= 15 && window <= 21 && (type & ~(tcompMASK_TYPE | tcompMASK_LZX_WINDOW)) == 0;
    }
    default:
        return false;
    }
}

// The words of an LZX bit stream: 16 bits little-endian, filled from the top bit down.
void PutLzxBits(std::vector<unsigned char>& out, std::uint32_t bits32)
{
    Put16(out, bits32 >> 16);
    Put16(out, bits32 & 0xFFFF);
}

TFciContext::~TFciContext()
{
    DeleteTemporary();
}

bool TFciContext::Fail(int oper, int type)
{
    Erf->erfOper = oper;
    Erf->erfType = type;
    Erf->fError = TRUE;
    return false;
}

void TFciContext::DeleteTemporary()
{
    if (dataFile_ != -1) {
        int err = 0;
        Close(dataFile_, &err, Pv);
        dataFile_ = -1;
        Delete(dataFileName_.data(), &err, Pv);
    }
}

bool TFciContext::EnsureDataFile()
{
    if (dataFile_ != -1)
        return true;
    char name[MAX_PATH] = {};
    if (!GetTempFile(name, sizeof name, Pv))
        return Fail(FCIERR_TEMP_FILE);
    int err = 0;
    const INT_PTR file = Open(name, _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE, &err, Pv);
    if (file == -1)
        return Fail(FCIERR_TEMP_FILE, err);
    dataFile_ = file;
    dataFileName_ = name;
    return true;
}

bool TFciContext::WriteAll(INT_PTR file, const void* data, std::size_t count, int oper)
{
    int err = 0;
    if (count == 0)
        return true;
    const UINT written = Write(file, const_cast<void*>(data), static_cast<UINT>(count), &err, Pv);
    if (written != count || err != 0)
        return Fail(oper, err);
    return true;
}

bool TFciContext::ReportStatus(UINT type, ULONG first, ULONG second)
{
    if (status_ && status_(type, first, second, Pv) == -1)
        return Fail(FCIERR_USER_ABORT);
    return true;
}

bool TFciContext::OpenFolder(TCOMP type)
{
    if (folders_.size() >= 0xFFFF)
        return Fail(FCIERR_CAB_FORMAT_LIMIT);
    TFciFolder folder;
    folder.DataStart = dataBytes_;
    folder.Type = type;
    folders_.push_back(folder);
    folderOpen_ = true;
    folderStartedBefore_ = false;
    folderEmitted_ = 0;
    folderFed_ = 0;
    pending_.clear();
    dictionary_.clear();
    deflater_.reset();
    if ((type & tcompMASK_TYPE) == tcompTYPE_MSZIP) {
        deflater_ = std::make_unique<z_stream>();
        std::memset(deflater_.get(), 0, sizeof(z_stream));
        if (deflateInit2(deflater_.get(), Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            deflater_.reset();
            return Fail(FCIERR_ALLOC_FAIL);
        }
    }
    return true;
}

bool TFciContext::CloseFolder()
{
    if (!folderOpen_)
        return true;
    if (!pending_.empty() && !EmitBlock(pending_.size()))
        return false;
    if (deflater_)
        deflateEnd(deflater_.get());
    deflater_.reset();
    folderOpen_ = false;
    return true;
}

bool TFciContext::Compress(const unsigned char* data, std::size_t count, std::vector<unsigned char>& out)
{
    const TCOMP type = folders_.back().Type;
    out.clear();
    switch (type & tcompMASK_TYPE) {
    case tcompTYPE_MSZIP: {
        z_stream& z = *deflater_;
        deflateReset(&z);
        if (!dictionary_.empty())
            deflateSetDictionary(&z, dictionary_.data(), static_cast<uInt>(dictionary_.size()));
        out.resize(2 + deflateBound(&z, static_cast<uLong>(count)) + 16);
        out[0] = 'C';
        out[1] = 'K';
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = static_cast<uInt>(count);
        z.next_out = out.data() + 2;
        z.avail_out = static_cast<uInt>(out.size() - 2);
        if (deflate(&z, Z_FINISH) != Z_STREAM_END)
            return Fail(FCIERR_MCI_FAIL);
        out.resize(out.size() - z.avail_out);
        dictionary_.assign(data, data + count);
        break;
    }
    case tcompTYPE_LZX: {
        // Block type 3 (uncompressed) with its 24-bit length; the first block of a folder starts
        // with the bit that says no call translation follows. The stream is then padded to 16
        // bits, the three repeated offsets follow, then the bytes and a pad byte for an odd count.
        const bool first = folderEmitted_ == 0;
        const std::uint32_t length = static_cast<std::uint32_t>(count);
        const std::uint32_t bits = first ? ((3u << 28) | (length << 4)) : ((3u << 29) | (length << 5));
        PutLzxBits(out, bits);
        for (int repeat = 0; repeat < 3; ++repeat)
            Put32(out, 1);
        out.insert(out.end(), data, data + count);
        if (count % 2 == 1)
            out.push_back(0);
        break;
    }
    default:
        out.assign(data, data + count);
        break;
    }
    return true;
}

std::uint32_t TFciContext::HeaderSize(bool hasNext, std::size_t nextNames) const
{
    std::uint32_t size = headerSize;
    if (hasPrev_)
        size += static_cast<std::uint32_t>(prevCab_.size() + prevDisk_.size() + 2);
    if (hasNext)
        size += static_cast<std::uint32_t>(nextNames + 2);
    return size;
}

std::uint32_t TFciContext::EstimatedSize(std::size_t extra) const
{
    // Room is kept for the longest names of a next cabinet, known only once it is asked for.
    std::uint64_t size = HeaderSize(true, 2 * (CB_MAX_CABINET_NAME - 1));
    size += static_cast<std::uint64_t>(folders_.size()) * folderEntrySize;
    for (const TFciFile& file : files_)
        size += fileEntrySize + file.Name.size() + 1;
    size += dataBytes_ + extra;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
}

bool TFciContext::WriteDataPiece(const unsigned char* data, std::size_t size, std::size_t uncompressed)
{
    if (folders_.back().Blocks >= 0xFFFF)
        return Fail(FCIERR_CAB_FORMAT_LIMIT);
    std::vector<unsigned char> block;
    block.reserve(dataHeaderSize + size);
    unsigned char counts[4] = {static_cast<unsigned char>(size & 0xFF), static_cast<unsigned char>(size >> 8),
                               static_cast<unsigned char>(uncompressed & 0xFF),
                               static_cast<unsigned char>(uncompressed >> 8)};
    const std::uint32_t sum = Checksum(counts, 4, Checksum(data, size, 0));
    Put32(block, sum);
    block.insert(block.end(), counts, counts + 4);
    block.insert(block.end(), data, data + size);
    if (!EnsureDataFile())
        return false;
    if (!WriteAll(dataFile_, block.data(), block.size(), FCIERR_TEMP_FILE))
        return false;
    dataBytes_ += static_cast<std::uint32_t>(block.size());
    folders_.back().Blocks += 1;
    return true;
}

bool TFciContext::EmitBlock(std::size_t count)
{
    std::vector<unsigned char> payload;
    if (!Compress(pending_.data(), count, payload))
        return false;
    if (payload.size() > 0xFFFF)
        return Fail(FCIERR_CAB_FORMAT_LIMIT);
    std::size_t written = 0;
    if (EstimatedSize(dataHeaderSize + payload.size()) > Cab.cb) {
        // The block is split: its first part fills this cabinet (with no uncompressed count, as
        // the format marks a continued block), the rest opens the next one. A cabinet then never
        // ends at the end of a folder, and every file with bytes in the block continues.
        const std::uint32_t used = EstimatedSize(dataHeaderSize);
        if (used < Cab.cb) {
            written = std::min<std::size_t>(Cab.cb - used, payload.size() - 1);
            if (!WriteDataPiece(payload.data(), written, 0))
                return false;
            stayBefore_ = folderEmitted_ + static_cast<std::uint32_t>(count);
        }
        const bool cut = CutCabinet();
        stayBefore_ = 0;
        if (!cut)
            return false;
        if (EstimatedSize(dataHeaderSize + payload.size() - written) > Cab.cb)
            return Fail(FCIERR_CAB_FORMAT_LIMIT); // not even an empty cabinet holds the block
    }
    if (!WriteDataPiece(payload.data() + written, payload.size() - written, count))
        return false;
    folderEmitted_ += static_cast<std::uint32_t>(count);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    return ReportStatus(statusFile, static_cast<ULONG>(payload.size()), static_cast<ULONG>(count));
}

bool TFciContext::Feed(const unsigned char* data, std::size_t count)
{
    pending_.insert(pending_.end(), data, data + count);
    folderFed_ += static_cast<std::uint32_t>(count);
    while (pending_.size() >= static_cast<std::size_t>(blockSize))
        if (!EmitBlock(blockSize))
            return false;
    return true;
}

// Ends the cabinet at the blocks written so far; the open folder goes on in the next one.
bool TFciContext::CutCabinet()
{
    CCAB nextCab = Cab;
    nextCab.iCab += 1;
    if (!next_ || !next_(&nextCab, EstimatedSize(0), Pv))
        return Fail(FCIERR_USER_ABORT);

    // Split the file list: what starts in the written blocks stays, the rest moves on, and a file
    // cut at the boundary is listed in both cabinets.
    const int openFolder = static_cast<int>(folders_.size()) - 1;
    const bool folderHasBlocks = folderOpen_ && folders_.back().Blocks > 0;
    std::vector<TFciFile> stay;
    std::vector<TFciFile> moved;
    for (const TFciFile& file : files_) {
        if (!folderOpen_ || file.Folder != openFolder) {
            stay.push_back(file);
            continue;
        }
        if (folderHasBlocks && file.Offset < std::max(folderEmitted_, stayBefore_)) {
            stay.push_back(file);
            if (file.Offset + file.Size > folderEmitted_) {
                TFciFile continued = file;
                continued.FromPrev = true;
                moved.push_back(continued);
            }
        } else {
            moved.push_back(file);
        }
    }
    std::vector<TFciFolder> nextFolders;
    if (folderOpen_) {
        TFciFolder continuing = folders_.back();
        continuing.Blocks = 0;
        continuing.DataStart = 0;
        nextFolders.push_back(continuing);
        if (!folderHasBlocks)
            folders_.pop_back();
    }
    files_ = stay;
    if (!WriteCabinet(true, folderHasBlocks, nextCab.szCab, nextCab.szDisk))
        return false;

    prevCab_ = Cab.szCab;
    prevDisk_ = Cab.szDisk;
    hasPrev_ = true;
    Cab = nextCab;
    folders_ = nextFolders;
    for (TFciFile& file : moved)
        file.Folder = 0;
    files_ = moved;
    dataBytes_ = 0;
    if (folderOpen_ && folderHasBlocks)
        folderStartedBefore_ = true;
    int err = 0;
    if (dataFile_ != -1 && Seek(dataFile_, 0, SEEK_SET, &err, Pv) != 0)
        return Fail(FCIERR_TEMP_FILE, err);
    return true;
}

bool TFciContext::WriteCabinet(bool hasNext, bool folderContinues, const std::string& nextCab,
                               const std::string& nextDisk)
{
    if (files_.size() > 0xFFFF)
        return Fail(FCIERR_CAB_FORMAT_LIMIT);
    const std::uint32_t header = HeaderSize(hasNext, nextCab.size() + nextDisk.size());
    std::uint32_t filesOffset = header + static_cast<std::uint32_t>(folders_.size()) * folderEntrySize;
    std::uint32_t dataOffset = filesOffset;
    for (const TFciFile& file : files_)
        dataOffset += static_cast<std::uint32_t>(fileEntrySize + file.Name.size() + 1);
    const std::uint32_t total = dataOffset + dataBytes_;
    if (status_) {
        const long wanted = status_(statusCabinet, EstimatedSize(0), total, Pv);
        if (wanted == -1)
            return Fail(FCIERR_USER_ABORT);
    }

    std::vector<unsigned char> head;
    head.insert(head.end(), {'M', 'S', 'C', 'F'});
    Put32(head, 0);
    Put32(head, total);
    Put32(head, 0);
    Put32(head, filesOffset);
    Put32(head, 0);
    head.push_back(versionMinor);
    head.push_back(versionMajor);
    Put16(head, static_cast<unsigned>(folders_.size()));
    Put16(head, static_cast<unsigned>(files_.size()));
    Put16(head, (hasPrev_ ? flagPrevCabinet : 0) | (hasNext ? flagNextCabinet : 0));
    Put16(head, Cab.setID);
    Put16(head, static_cast<unsigned>(Cab.iCab & 0xFFFF));
    if (hasPrev_) {
        PutText(head, prevCab_);
        PutText(head, prevDisk_);
    }
    if (hasNext) {
        PutText(head, nextCab);
        PutText(head, nextDisk);
    }
    for (const TFciFolder& folder : folders_) {
        Put32(head, dataOffset + folder.DataStart);
        Put16(head, folder.Blocks);
        Put16(head, folder.Type);
    }
    const int lastFolder = static_cast<int>(folders_.size()) - 1;
    for (const TFciFile& file : files_) {
        const bool toNext = folderContinues && file.Folder == lastFolder && file.Offset + file.Size > folderEmitted_;
        std::uint16_t folderIndex = static_cast<std::uint16_t>(file.Folder);
        if (file.FromPrev && toNext)
            folderIndex = continuedPrevAndNext;
        else if (file.FromPrev)
            folderIndex = continuedFromPrev;
        else if (toNext)
            folderIndex = continuedToNext;
        Put32(head, file.Size);
        Put32(head, file.Offset);
        Put16(head, folderIndex);
        Put16(head, file.Date);
        Put16(head, file.Time);
        Put16(head, file.Attribs);
        PutText(head, file.Name);
    }

    const std::string path = std::string(Cab.szCabPath) + Cab.szCab;
    int err = 0;
    const INT_PTR cabinet = Open(const_cast<char*>(path.c_str()), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY,
                                 _S_IREAD | _S_IWRITE, &err, Pv);
    if (cabinet == -1)
        return Fail(FCIERR_CAB_FILE, err);
    bool ok = WriteAll(cabinet, head.data(), head.size(), FCIERR_CAB_FILE);
    if (ok && dataBytes_ > 0) {
        ok = Seek(dataFile_, 0, SEEK_SET, &err, Pv) == 0 || Fail(FCIERR_TEMP_FILE, err);
        std::vector<unsigned char> buffer(64 * 1024);
        std::uint32_t copied = 0;
        while (ok && copied < dataBytes_) {
            const UINT want = static_cast<UINT>(std::min<std::uint32_t>(dataBytes_ - copied, buffer.size()));
            const UINT got = Read(dataFile_, buffer.data(), want, &err, Pv);
            if (got != want || err != 0) {
                ok = Fail(FCIERR_TEMP_FILE, err);
                break;
            }
            ok = WriteAll(cabinet, buffer.data(), got, FCIERR_CAB_FILE);
            copied += got;
            ok = ok && ReportStatus(statusFolder, copied, dataBytes_);
        }
    }
    int closeErr = 0;
    if (Close(cabinet, &closeErr, Pv) != 0 && ok)
        ok = Fail(FCIERR_CAB_FILE, closeErr);
    if (!ok) {
        Delete(const_cast<char*>(path.c_str()), &err, Pv);
        return false;
    }
    for (const TFciFile& file : files_)
        if (FilePlaced && FilePlaced(&Cab, const_cast<char*>(file.Name.c_str()), static_cast<long>(file.Size),
                                     file.FromPrev ? TRUE : FALSE, Pv) == -1)
            return Fail(FCIERR_USER_ABORT);
    return true;
}

bool TFciContext::AddFile(char* source, char* name, BOOL execute, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status,
                          PFNFCIGETOPENINFO openInfo, TCOMP type)
{
    next_ = next;
    status_ = status;
    if (!SupportedType(type))
        return Fail(FCIERR_BAD_COMPR_TYPE);
    if (!name || std::strlen(name) >= CB_MAX_FILENAME)
        return Fail(FCIERR_OPEN_SRC);
    if (folderOpen_ && folders_.back().Type != type && !CloseFolder())
        return false;
    // A folder carried over from the previous cabinet holds only the files cut there: readers that
    // join a set match the continued files of both cabinets one to one.
    if (folderOpen_ && folderStartedBefore_ && !CloseFolder())
        return false;
    if (!folderOpen_ && !OpenFolder(type))
        return false;

    USHORT date = 0;
    USHORT time = 0;
    USHORT attribs = 0;
    int err = 0;
    const INT_PTR input = openInfo(source, &date, &time, &attribs, &err, Pv);
    if (input == -1)
        return Fail(FCIERR_OPEN_SRC, err);

    // The size is taken first: a cabinet cut while the file is read already lists it whole.
    const long size = Seek(input, 0, SEEK_END, &err, Pv);
    if (size < 0 || Seek(input, 0, SEEK_SET, &err, Pv) != 0) {
        Close(input, &err, Pv);
        return Fail(FCIERR_READ_SRC, err);
    }
    if (static_cast<std::uint64_t>(folderFed_) + static_cast<std::uint64_t>(size) > 0x7FFF8000u) {
        Close(input, &err, Pv);
        return Fail(FCIERR_CAB_FORMAT_LIMIT);
    }
    TFciFile file;
    file.Name = name;
    file.Size = static_cast<std::uint32_t>(size);
    file.Offset = folderFed_;
    file.Folder = static_cast<int>(folders_.size()) - 1;
    file.Date = date;
    file.Time = time;
    file.Attribs = static_cast<USHORT>((attribs & 0x27) | (execute ? _A_EXEC : 0));
    files_.push_back(file);

    std::vector<unsigned char> buffer(blockSize);
    std::uint64_t remaining = static_cast<std::uint64_t>(size);
    bool ok = true;
    while (ok && remaining > 0) {
        err = 0;
        const UINT want = static_cast<UINT>(std::min<std::uint64_t>(remaining, buffer.size()));
        const UINT got = Read(input, buffer.data(), want, &err, Pv);
        if (got != want || err != 0) {
            ok = Fail(FCIERR_READ_SRC, err);
            break;
        }
        remaining -= got;
        ok = Feed(buffer.data(), got);
    }
    int closeErr = 0;
    Close(input, &closeErr, Pv);
    if (!ok)
        return false;
    if (folderOpen_ && Cab.cbFolderThresh > 0
        && dataBytes_ - std::min(dataBytes_, folders_.back().DataStart) >= Cab.cbFolderThresh)
        return CloseFolder();
    return true;
}

bool TFciContext::FlushFolder(PFNFCIGETNEXTCABINET next, PFNFCISTATUS status)
{
    next_ = next;
    status_ = status;
    return CloseFolder();
}

bool TFciContext::FlushCabinet(bool getNext, PFNFCIGETNEXTCABINET next, PFNFCISTATUS status)
{
    // A next cabinet is asked for only while data remains for it; the last cabinet of a set links
    // to none.
    next_ = getNext ? next : nullptr;
    status_ = status;
    if (!CloseFolder())
        return false;
    if (!WriteCabinet(false, false, {}, {}))
        return false;
    // The next cabinet starts empty, as a new set member.
    folders_.clear();
    files_.clear();
    dataBytes_ = 0;
    hasPrev_ = false;
    Cab.iCab += 1;
    int err = 0;
    if (dataFile_ != -1 && Seek(dataFile_, 0, SEEK_SET, &err, Pv) != 0)
        return Fail(FCIERR_TEMP_FILE, err);
    return true;
}

} // namespace CabinetWriterEngine

HFCI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf, PFNFCIOPEN pfnopen,
               PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek,
               PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf, PCCAB pccab, void* pv)
{
    using namespace CabinetWriterEngine;
    if (!perf)
        return nullptr;
    *perf = ERF{};
    if (!pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek || !pfndelete || !pfnfcigtf || !pccab
        || pccab->cb == 0) {
        perf->erfOper = FCIERR_NONE;
        perf->fError = TRUE;
        return nullptr;
    }
    auto* context = new TFciContext;
    context->Erf = perf;
    context->FilePlaced = pfnfcifp;
    context->Alloc = pfna;
    context->Free = pfnf;
    context->Open = pfnopen;
    context->Read = pfnread;
    context->Write = pfnwrite;
    context->Close = pfnclose;
    context->Seek = pfnseek;
    context->Delete = pfndelete;
    context->GetTempFile = pfnfcigtf;
    context->Cab = *pccab;
    context->Pv = pv;
    return context;
}

BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute, PFNFCIGETNEXTCABINET pfnfcignc,
                PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi, TCOMP typeCompress)
{
    using namespace CabinetWriterEngine;
    auto* context = static_cast<TFciContext*>(hfci);
    if (!context || !pfnfcigoi)
        return FALSE;
    return context->AddFile(pszSourceFile, pszFileName, fExecute, pfnfcignc, pfnfcis, pfnfcigoi, typeCompress)
               ? TRUE
               : FALSE;
}

BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis)
{
    using namespace CabinetWriterEngine;
    auto* context = static_cast<TFciContext*>(hfci);
    return context && context->FlushFolder(pfnfcignc, pfnfcis) ? TRUE : FALSE;
}

BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis)
{
    using namespace CabinetWriterEngine;
    auto* context = static_cast<TFciContext*>(hfci);
    return context && context->FlushCabinet(fGetNextCab != FALSE, pfnfcignc, pfnfcis) ? TRUE : FALSE;
}

BOOL FCIDestroy(HFCI hfci)
{
    using namespace CabinetWriterEngine;
    auto* context = static_cast<TFciContext*>(hfci);
    if (!context)
        return FALSE;
    delete context;
    return TRUE;
}
