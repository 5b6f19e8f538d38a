#pragma once
// One run of the unzip engine's fuzz target: the input is written as an archive, tested, then
// extracted into a private folder; anything that appears outside that folder aborts the run.

#include "fuzz/UnZipFuzzCase.h"

#include "archive/UnzCore.h"
#include "archive/ZipCoreApi.h"

#include <cstring>

// Inputs with a central header that promises more than this are not run: the disk would fill up.
inline bool UnzCoreFuzzClaimsTooMuch(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + ZipCentralHeaderSize <= size; ++i)
        if (GetLE32(data + i) == ZipCentralHeaderSignature && GetLE32(data + i + 24) > FuzzMaxUncompressed)
            return true;
    return false;
}

// Answers as the component does without handlers, but removes files with a bad CRC and answers
// every password prompt with a wrong password.
inline int UnzCoreFuzzCallback(TZCallBackStruct* record)
{
    switch (record->ActionCode) {
    case ZipCoreApi::zcaCrcError:
        record->ErrorCode = 0;
        break;
    case ZipCoreApi::zcaPassword:
        std::strcpy(record->Text, "sbagliata");
        record->ErrorCode = 1;
        break;
    default:
        break;
    }
    return 0;
}

inline void RunUnzCoreFuzzCase(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    if (UnzCoreFuzzClaimsTooMuch(data, size))
        return;
    const fs::path& root = FuzzRoot();
    const fs::path archive = root / "core.zip";
    const fs::path work = root / "core-work";
    const fs::path into = work / "out";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(into);
    const std::string archiveName = archive.string();
    const std::string base = into.string();

    TUnzipCmdRecord record;
    record.Version = ZipCoreRecordVersion;
    record.Seven = ZipCoreEndMarker;
    record.Callback = &UnzCoreFuzzCallback;
    record.ArchiveName = archiveName.c_str();
    record.ExtrBaseDir = base.c_str();
    record.PasswordReqCount = 2;
    record.Test = 1;
    UnzCoreExec(&record);
    record.Test = 0;
    record.DirNames = 1;
    record.OverWrite = 1;
    UnzCoreExec(&record);

    // Only the archives and the work folders in the root, only the extraction folder in work.
    for (const fs::path& folder : {root, work}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name != "core.zip" && name != "core-work" && name != "out" && name != "input.zip" && name != "work") {
                std::fprintf(stderr, "extraction escaped its folder: %s\n", entry.path().c_str());
                std::abort();
            }
        }
    }
    // Nothing stays behind for the extraction target, which shares the root.
    std::error_code ignored;
    fs::remove_all(work, ignored);
    fs::remove(archive, ignored);
}
