#pragma once
// Temporary folders, files, hand-made archives and the real zip tools for the archive tests.

#include "DecoderHarness.h"

#include "archive/UnZip.h"
#include "archive/Zip.h"
#include "archive/ZipFormat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/time.h>

namespace fs = std::filesystem;

inline TBytes ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const TBytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const fs::path& path, const std::string& text)
{
    WriteBytes(path, TBytes(text.begin(), text.end()));
}

inline TBytes TextBytes(const std::string& text)
{
    return TBytes(text.begin(), text.end());
}

// 2009-03-05 10:20:30 UTC, the moment of the document-file fixture.
constexpr std::time_t FixtureMoment = 1236248430;

inline void SetModificationTime(const fs::path& path, std::time_t moment)
{
    struct timeval times[2] = {{moment, 0}, {moment, 0}};
    utimes(path.c_str(), times);
}

inline std::time_t ModificationTime(const fs::path& path)
{
    struct stat info{};
    lstat(path.c_str(), &info);
    return info.st_mtime;
}

// The generator of the LCG text: bytes of "abcdefgh ".
inline TBytes LcgBytes(std::size_t size)
{
    TBytes text(size);
    std::uint64_t x = 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = (1103515245ull * x + 12345ull) % (1ull << 31);
        text[i] = static_cast<std::uint8_t>("abcdefgh "[(x >> 16) % 9]);
    }
    return text;
}

// Runs a shell command; returns its exit status, with stdout and stderr in output.
inline int RunCommand(const std::string& command, std::string* output = nullptr)
{
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    std::size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, count);
    int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string SevenZip()
{
    static const std::string tool = RunCommand("command -v 7zz") == 0 ? "7zz" : "7z";
    return tool;
}

inline std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// unzip -t and 7-Zip's test both accept the archive.
inline void ExpectPeersAccept(const fs::path& archive)
{
    std::string output;
    EXPECT_EQ(RunCommand("unzip -t " + Quoted(archive), &output), 0) << output;
    EXPECT_NE(output.find("No errors detected in compressed data of "), std::string::npos) << output;
    EXPECT_EQ(RunCommand(SevenZip() + " t " + Quoted(archive), &output), 0) << output;
    EXPECT_NE(output.find("Everything is Ok"), std::string::npos) << output;
}

// One member of a hand-made archive; the header fields are written as given.
struct TRawMember {
    std::string Name;
    TBytes Data;
    std::uint16_t Method = 0;
    std::uint16_t Flags = 0;
    std::uint32_t Crc = 0;
    std::uint32_t UncompressedSize = 0;
    std::optional<std::uint32_t> CompressedSize; // the size of Data when not given
    TBytes Extra;
};

inline TRawMember StoredMember(const std::string& name, const std::string& text)
{
    TRawMember member;
    member.Name = name;
    member.Data = TextBytes(text);
    member.Crc = ZipCrc32(text.data(), text.size());
    member.UncompressedSize = static_cast<std::uint32_t>(text.size());
    return member;
}

// Local headers, data, central directory and end record.
inline TBytes MakeArchive(const std::vector<TRawMember>& members, bool withDirectory = true)
{
    TBytes archive;
    TBytes directory;
    auto append = [](TBytes& to, const std::uint8_t* data, std::size_t size) {
        to.insert(to.end(), data, data + size);
    };
    for (const TRawMember& member : members) {
        TZipLocalHeader header;
        header.Method = member.Method;
        header.Flags = member.Flags;
        header.Date = 0x3A65;
        header.Time = 0x528F;
        header.Crc = member.Crc;
        header.CompressedSize =
            member.CompressedSize.value_or(static_cast<std::uint32_t>(member.Data.size()));
        header.UncompressedSize = member.UncompressedSize;
        header.NameLength = static_cast<std::uint16_t>(member.Name.size());
        header.ExtraLength = static_cast<std::uint16_t>(member.Extra.size());
        std::uint8_t central[ZipCentralHeaderSize];
        EncodeCentralHeader(header, static_cast<std::uint32_t>(archive.size()), central);
        std::uint8_t local[ZipLocalHeaderSize];
        EncodeLocalHeader(header, local);
        append(archive, local, sizeof local);
        append(archive, reinterpret_cast<const std::uint8_t*>(member.Name.data()), member.Name.size());
        append(archive, member.Extra.data(), member.Extra.size());
        append(archive, member.Data.data(), member.Data.size());
        PutLE16(central + 30, header.ExtraLength);
        append(directory, central, sizeof central);
        append(directory, reinterpret_cast<const std::uint8_t*>(member.Name.data()), member.Name.size());
        append(directory, member.Extra.data(), member.Extra.size());
    }
    if (!withDirectory)
        return archive;
    std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
    append(archive, directory.data(), directory.size());
    std::uint8_t end[ZipEndRecordSize];
    EncodeEndRecord(static_cast<std::uint16_t>(members.size()),
                    static_cast<std::uint32_t>(directory.size()), offset, end);
    append(archive, end, sizeof end);
    return archive;
}

// Every test works in a fresh folder that is removed afterwards.
class TArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 0);
        tzset();
        char pattern[] = "/tmp/tess-archive-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }

    // Extracts with every message collected.
    bool ExtractAll(const fs::path& archive, const fs::path& into,
                    const std::vector<std::string>& masks = {})
    {
        TUnZip unzip(nullptr);
        unzip.SetArcName(archive.string());
        unzip.SetExtrPath(into.string());
        for (const std::string& mask : masks)
            unzip.Files()->Add(mask);
        unzip.Overwrite = true;
        unzip.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };
        bool result = unzip.Extract();
        Damaged = unzip.DamagedCount();
        return result;
    }

    bool CompressFiles(const fs::path& archive, const std::vector<std::string>& files, TZip* zip = nullptr)
    {
        TZip local(nullptr);
        TZip& z = zip ? *zip : local;
        z.SetArcName(archive.string());
        for (const std::string& file : files)
            z.Files()->Add(file);
        z.Overwrite = true;
        z.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };
        return z.Compress();
    }

    fs::path Dir;
    std::vector<std::string> Messages;
    int Damaged = 0;
};
