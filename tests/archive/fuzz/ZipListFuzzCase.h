#pragma once
// One run of the ZIP component's listing fuzz target: the input is written as an archive, listed
// by the component (unattended, so no box is shown) and its comment read. The entries kept must
// fit in the bytes that were there.

#include "fuzz/UnZipFuzzCase.h"

#include "archive/ZipArchiver.h"

#include <cstdio>
#include <cstdlib>

inline void RunZipListFuzzCase(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    const fs::path archive = FuzzRoot() / "list.zip";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.SetZipFileName(archive.string());
    const std::string comment = zip.GetZipComment();
    // Each entry's header, name, extra field and comment are bytes of their own in the file; the
    // archive comment may be among them.
    std::size_t listed = 0;
    for (const ZipDirEntry& entry : zip.Entries)
        listed += ZipCentralHeaderSize + entry.FileName.size() + entry.ExtraData.size() + entry.FileComment.size();
    if (listed > size || comment.size() > size) {
        std::fprintf(stderr, "the listing holds more than the archive: %zu of %zu bytes\n", listed, size);
        std::abort();
    }
    std::error_code ignored;
    fs::remove(archive, ignored);
}
