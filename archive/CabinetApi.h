#pragma once
// The cabinet library under its Windows names: the compression interface (FCI) writes cabinet
// files, the decompression interface (FDI) reads them. Both run in-process; every file access
// goes through the caller's callbacks.

#include "platform/os/WinBase.h"

#include <cstdint>

using USHORT = std::uint16_t;
using INT_PTR = std::intptr_t;
using TCOMP = USHORT;

constexpr int CB_MAX_DISK_NAME = 256;
constexpr int CB_MAX_CABINET_NAME = 256;
constexpr int CB_MAX_CAB_PATH = 256;
constexpr int CB_MAX_FILENAME = 256;

// The error record both interfaces fill.
struct ERF {
    int erfOper = 0;  // FCIERR_* or FDIERROR_*
    int erfType = 0;  // the C run time's error number, when there is one
    BOOL fError = FALSE;
};
using PERF = ERF*;

// --- Compression types ---------------------------------------------------------------------------

constexpr TCOMP tcompMASK_TYPE = 0x000F;
constexpr TCOMP tcompTYPE_NONE = 0x0000;
constexpr TCOMP tcompTYPE_MSZIP = 0x0001;
constexpr TCOMP tcompTYPE_QUANTUM = 0x0002;
constexpr TCOMP tcompTYPE_LZX = 0x0003;
constexpr TCOMP tcompBAD = 0x000F;
constexpr TCOMP tcompMASK_LZX_WINDOW = 0x1F00;
constexpr TCOMP tcompLZX_WINDOW_LO = 0x0F00;
constexpr TCOMP tcompLZX_WINDOW_HI = 0x1500;
constexpr TCOMP tcompSHIFT_LZX_WINDOW = 8;

constexpr TCOMP TOMPTYPE_LZX(int window) { return static_cast<TCOMP>(tcompTYPE_LZX | (window << tcompSHIFT_LZX_WINDOW)); }

// File attribute in a cabinet entry: run the file after extraction.
constexpr USHORT _A_EXEC = 0x40;

// --- Compression (FCI) ---------------------------------------------------------------------------

enum FCIERROR {
    FCIERR_NONE = 0,
    FCIERR_OPEN_SRC = 1,
    FCIERR_READ_SRC = 2,
    FCIERR_ALLOC_FAIL = 3,
    FCIERR_TEMP_FILE = 4,
    FCIERR_BAD_COMPR_TYPE = 5,
    FCIERR_CAB_FILE = 6,
    FCIERR_USER_ABORT = 7,
    FCIERR_MCI_FAIL = 8,
    FCIERR_CAB_FORMAT_LIMIT = 9,
};

// The parameters of the cabinet being written; the library advances iCab and the caller's
// get-next-cabinet callback renames the next one.
struct CCAB {
    ULONG cb = 0;              // maximum size of one cabinet file
    ULONG cbFolderThresh = 0;  // a new folder starts once a folder's data passes this size
    UINT cbReserveCFHeader = 0;
    UINT cbReserveCFFolder = 0;
    UINT cbReserveCFData = 0;
    int iCab = 0;
    int iDisk = 0;
    int fFailOnIncompressible = 0;
    USHORT setID = 0;
    char szDisk[CB_MAX_DISK_NAME] = {};
    char szCab[CB_MAX_CABINET_NAME] = {};
    char szCabPath[CB_MAX_CAB_PATH] = {};
};
using PCCAB = CCAB*;

using HFCI = void*;

constexpr long statusFile = 0;    // after each data block: compressed and uncompressed bytes
constexpr long statusFolder = 1;  // while a folder is copied into the cabinet
constexpr long statusCabinet = 2; // before a cabinet is written: estimated and actual size

using PFNFCIALLOC = void* (*)(ULONG cb);
using PFNFCIFREE = void (*)(void* memory);
using PFNFCIOPEN = INT_PTR (*)(char* pszFile, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = UINT (*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCIWRITE = UINT (*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCICLOSE = int (*)(INT_PTR hf, int* err, void* pv);
using PFNFCISEEK = long (*)(INT_PTR hf, long dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int (*)(char* pszFile, int* err, void* pv);
using PFNFCIGETTEMPFILE = BOOL (*)(char* pszTempName, int cbTempName, void* pv);
using PFNFCIFILEPLACED = int (*)(PCCAB pccab, char* pszFile, long cbFile, BOOL fContinuation, void* pv);
using PFNFCIGETNEXTCABINET = BOOL (*)(PCCAB pccab, ULONG cbPrevCab, void* pv);
using PFNFCISTATUS = long (*)(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv);
using PFNFCIGETOPENINFO = INT_PTR (*)(char* pszName, USHORT* pdate, USHORT* ptime, USHORT* pattribs, int* err,
                                      void* pv);

// The open flags the library passes to the open callbacks (those of the C run time).
constexpr int _O_RDONLY = 0x0000;
constexpr int _O_WRONLY = 0x0001;
constexpr int _O_RDWR = 0x0002;
constexpr int _O_APPEND = 0x0008;
constexpr int _O_CREAT = 0x0100;
constexpr int _O_TRUNC = 0x0200;
constexpr int _O_EXCL = 0x0400;
constexpr int _O_BINARY = 0x8000;
constexpr int _S_IREAD = 0x0100;
constexpr int _S_IWRITE = 0x0080;

HFCI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf, PFNFCIOPEN pfnopen,
               PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek,
               PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf, PCCAB pccab, void* pv);
// Adds a file: MSZIP with zlib, LZX as uncompressed LZX blocks, or stored. Quantum and unknown
// types fail with FCIERR_BAD_COMPR_TYPE.
BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute,
                PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi,
                TCOMP typeCompress);
BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);
BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);
// Deletes the temporary files and frees the context.
BOOL FCIDestroy(HFCI hfci);

// --- Decompression (FDI) -------------------------------------------------------------------------

enum FDIERROR {
    FDIERROR_NONE = 0,
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET = 2,
    FDIERROR_UNKNOWN_CABINET_VERSION = 3,
    FDIERROR_CORRUPT_CABINET = 4,
    FDIERROR_ALLOC_FAIL = 5,
    FDIERROR_BAD_COMPR_TYPE = 6,
    FDIERROR_MDI_FAIL = 7,
    FDIERROR_TARGET_FILE = 8,
    FDIERROR_RESERVE_MISMATCH = 9,
    FDIERROR_WRONG_CABINET = 10,
    FDIERROR_USER_ABORT = 11,
    FDIERROR_EOF = 12,
};

enum FDINOTIFICATIONTYPE {
    fdintCABINET_INFO,
    fdintPARTIAL_FILE,
    fdintCOPY_FILE,
    fdintCLOSE_FILE_INFO,
    fdintNEXT_CABINET,
    fdintENUMERATE,
};

// What each notification carries:
// - cabinet info: psz1 next cabinet, psz2 its disk, psz3 this cabinet's path, setID, iCabinet;
// - partial file: psz1 the file, psz2 the cabinet it starts in, psz3 that cabinet's disk;
// - copy file: psz1 the file, cb its size, date, time, attribs; answer a handle, 0 skip, -1 stop;
// - close file info: psz1, hf, date, time, attribs, cb 1 when the file is to be run, iFolder;
// - next cabinet: psz1 its name, psz2 its disk, psz3 the path (a buffer of CB_MAX_CAB_PATH the
//   handler may change), fdie why it is asked for.
struct FDINOTIFICATION {
    long cb = 0;
    char* psz1 = nullptr;
    char* psz2 = nullptr;
    char* psz3 = nullptr;
    void* pv = nullptr;
    INT_PTR hf = 0;
    USHORT date = 0;
    USHORT time = 0;
    USHORT attribs = 0;
    USHORT setID = 0;
    USHORT iCabinet = 0;
    USHORT iFolder = 0;
    FDIERROR fdie = FDIERROR_NONE;
};
using PFDINOTIFICATION = FDINOTIFICATION*;

using HFDI = void*;

constexpr int cpuUNKNOWN = -1;
constexpr int cpu80286 = 0;
constexpr int cpu80386 = 1;

using PFNALLOC = void* (*)(ULONG cb);
using PFNFREE = void (*)(void* pv);
using PFNOPEN = INT_PTR (*)(char* pszFile, int oflag, int pmode);
using PFNREAD = UINT (*)(INT_PTR hf, void* pv, UINT cb);
using PFNWRITE = UINT (*)(INT_PTR hf, void* pv, UINT cb);
using PFNCLOSE = int (*)(INT_PTR hf);
using PFNSEEK = long (*)(INT_PTR hf, long dist, int seektype);
using PFNFDINOTIFY = INT_PTR (*)(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
using PFNFDIDECRYPT = int (*)(void* pfdid);

// The CPU type is accepted and ignored.
HFDI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
               PFNCLOSE pfnclose, PFNSEEK pfnseek, int cpuType, PERF perf);
// Reads pszCabPath + pszCabinet and reports its files through pfnfdin; a folder that continues in
// the next cabinet of a set is followed into it. Failures set the ERF and return FALSE.
BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin,
             PFNFDIDECRYPT pfnfdid, void* pvUser);
BOOL FDIDestroy(HFDI hfdi);
